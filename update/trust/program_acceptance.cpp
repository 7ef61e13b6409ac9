#include "update/trust/program_acceptance.h"

#include <optional>

#include "update/trust/program_file_reader.h"

namespace deskfind {

ProgramVerdict AcceptProgramFile(HANDLE file, const std::wstring& path,
                                 const ProgramRequirements& requirements) {
  if (!IsWindowsProgram(file)) return ProgramVerdict::kNotAProgram;
  if (requirements.signer && !SignedBy(file, path, *requirements.signer)) {
    return ProgramVerdict::kNotSigned;
  }
  if (requirements.newerThan || requirements.atLeast) {
    const std::optional<ProgramVersion> version = ProgramVersionOf(file);
    if (!version ||
        (requirements.newerThan && !IsNewerVersionOf(*version, *requirements.newerThan)) ||
        (requirements.atLeast && version->fileVersion < *requirements.atLeast)) {
      return ProgramVerdict::kNotNewer;
    }
  }
  return ProgramVerdict::kAccepted;
}

}  // namespace deskfind
