#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_handles.h"
#include "update/trust/program_image_reader.h"

namespace deskfind {

// The certificate table and the version of the program file behind `file`, an open handle with
// read access, read at fixed offsets, wherever the file pointer stands.
bool IsWindowsProgram(HANDLE file);
CertificateTable CertificateTableOf(HANDLE file);
std::optional<ProgramVersion> ProgramVersionOf(HANDLE file);
// The PKCS#7 signature of a certificate table of the kOneSignature kind; nullopt for any other.
std::optional<std::vector<unsigned char>> SignatureOf(HANDLE file);

// True when the file behind `file` has exactly `length` bytes and this SHA-256.
bool HasLengthAndSha256(HANDLE file, std::uint64_t length,
                        const std::array<std::uint8_t, 32>& sha256);
// Every byte of the file behind `file`; nullopt when it cannot be read whole.
std::optional<std::vector<unsigned char>> ContentsOf(HANDLE file);

// The running program's own file, open for reading and letting others read, write, rename and
// remove it; null (the last error set) when it cannot be opened.
FileHandle OpenRunningProgram();

// The version of the program file at `path`; nullopt when the file or its version cannot be
// read.
std::optional<ProgramVersion> ProgramVersionAt(const std::wstring& path);
// The running program's version, read from its own file; one that no program is newer than
// when the file or its version cannot be read.
ProgramVersion RunningProgramVersion();

}  // namespace deskfind
