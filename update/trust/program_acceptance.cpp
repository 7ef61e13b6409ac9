#include "update/trust/program_acceptance.h"

#include <optional>

#include "update/trust/program_file_reader.h"
#include "update/trust/version_data_signature.h"

namespace deskfind {

ProgramVerdict AcceptProgramFile(HANDLE file, const std::wstring& path,
                                 const ProgramRequirements& requirements) {
  if (!IsWindowsProgram(file)) return ProgramVerdict::kNotAProgram;
  // Another program than the one the shop named is refused as one the shop did not sign, even
  // when it did: a withdrawn release or a test build must not take its place.
  if (requirements.length && requirements.sha256 &&
      !HasLengthAndSha256(file, *requirements.length, *requirements.sha256)) {
    return ProgramVerdict::kNotSigned;
  }
  if (requirements.signer) {
    const std::optional<Certificate> signer = IntactSigner(file, path);
    if (!signer) return ProgramVerdict::kNotSigned;
    const bool vouched =
        *signer != *requirements.signer && requirements.versionData &&
        requirements.versionSignature &&
        VersionDataSignedBy(*requirements.versionData, *requirements.versionSignature, *signer);
    if (ProgramSignerOf(*requirements.signer, *signer, vouched) == ProgramSigner::kRefused) {
      return ProgramVerdict::kNotSigned;
    }
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
