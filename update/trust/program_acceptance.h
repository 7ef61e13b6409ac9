#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "update/trust/authenticode.h"
#include "update/trust/program_image_reader.h"

namespace deskfind {

// What a downloaded program file must be besides a Windows program ("MZ" and the "PE"
// signature it points to). Each requirement is the caller's and applies when set.
struct ProgramRequirements {
  // Exactly this many bytes with this SHA-256: the program the signed version data names.
  const std::uint64_t* length = nullptr;
  const std::array<std::uint8_t, 32>* sha256 = nullptr;
  // An intact signature made with this certificate, or with one whose key also signed
  // `versionData` (ProgramSignerOf).
  const Certificate* signer = nullptr;
  // The version data this copy accepted, and its signature.
  const std::string* versionData = nullptr;
  const std::string* versionSignature = nullptr;
  // A newer version of this program (IsNewerVersionOf).
  const ProgramVersion* newerThan = nullptr;
  // A file version of at least this one.
  const std::array<std::uint16_t, 4>* atLeast = nullptr;
};

enum class ProgramVerdict { kAccepted, kNotAProgram, kNotSigned, kNotNewer };

// Whether the program file behind `file` (open for reading, `path` its name) may be used.
ProgramVerdict AcceptProgramFile(HANDLE file, const std::wstring& path,
                                 const ProgramRequirements& requirements);

}  // namespace deskfind
