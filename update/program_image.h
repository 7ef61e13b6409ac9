#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace deskfind {

// Reads exactly `size` bytes at `offset` of a file into `into`; false when they are not all
// there or cannot be read. The file may be hostile: every offset it holds is checked before use.
using ReadBytesAt =
    std::function<bool(std::uint64_t offset, unsigned char* into, std::size_t size)>;

// True for a Windows program: "MZ", the "PE" signature the DOS header points to, and headers
// that can be read whole (a file with only "MZ" is started as a DOS program, if at all).
bool IsWindowsProgram(const ReadBytesAt& read);

// The certificate table of a Windows program (its headers' security directory).
enum class CertificateTable {
  kNone,          // the headers name no table: the program is not signed
  kOneSignature,  // one PKCS#7 signature of the current revision, filling a table at the end
  kMalformed,     // anything else, unreadable headers included
};

// What the table of the file (of `fileSize` bytes) is, read from its headers.
CertificateTable CertificateTableOf(const ReadBytesAt& read, std::uint64_t fileSize);

// What a program's version resource says of it.
struct ProgramVersion {
  // The name's UTF-16LE bytes, as stored: it is only compared. Empty when unknown: then no
  // program is newer.
  std::string productName;
  // The fixed file version, most significant part first.
  std::array<std::uint16_t, 4> fileVersion{};
};

// The product name (from the first string table that has one) and the fixed file version of
// the program's version resource; nullopt when either is missing or the resource is malformed.
std::optional<ProgramVersion> ProgramVersionOf(const ReadBytesAt& read);

// True when `candidate` is the same product as `running` with a greater file version, all four
// parts compared in order.
bool IsNewerVersionOf(const ProgramVersion& candidate, const ProgramVersion& running);

}  // namespace deskfind
