#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace deskfind {

// Reads exactly `size` bytes at `offset` of a file into `into`; false when they are not all
// there or cannot be read. The file may be hostile: every offset it holds is checked before use.
using ReadBytesAt =
    std::function<bool(std::uint64_t offset, unsigned char* into, std::size_t size)>;

// True for a Windows program of `fileSize` bytes: "MZ", the "PE" signature the DOS header
// points to, headers that can be read whole (a file with only "MZ" is started as a DOS program,
// if at all), and every section's raw data within the file (a cut-off program is no program).
bool IsWindowsProgram(const ReadBytesAt& read, std::uint64_t fileSize);

// The certificate table of a Windows program (its headers' security directory).
enum class CertificateTable {
  kNone,          // the headers name no table: the program is not signed
  kOneSignature,  // one PKCS#7 signature of the current revision, filling a table at the end
  kMalformed,     // anything else, unreadable headers included
};

// What the table of the file (of `fileSize` bytes) is, read from its headers.
CertificateTable CertificateTableOf(const ReadBytesAt& read, std::uint64_t fileSize);

// Where the PKCS#7 signature of a table of the kOneSignature kind lies in the file.
struct SignatureBytes {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};
std::optional<SignatureBytes> SignatureBytesOf(const ReadBytesAt& read, std::uint64_t fileSize);

// What a program's version resource says of it.
struct ProgramVersion {
  // The name's UTF-16LE bytes, as stored: it is only compared. Empty when unknown: then no
  // program is newer.
  std::string productName;
  // The fixed file version, most significant part first.
  std::array<std::uint16_t, 4> fileVersion{};
};

// The product name (from the first string table that has one) and the fixed file version of
// the program's version resource; nullopt when either is missing, the resource is malformed or
// the file (of `fileSize` bytes) is no Windows program.
std::optional<ProgramVersion> ProgramVersionOf(const ReadBytesAt& read, std::uint64_t fileSize);

// True when `candidate` is the same product as `running` with a greater file version, all four
// parts compared in order.
bool IsNewerVersionOf(const ProgramVersion& candidate, const ProgramVersion& running);

// True for the results of the system's signature check (an HRESULT, as its bits) that say the
// file is intact and signed by the certificate it carries. What the system says of that
// certificate's chain or time is no reason to refuse: the shop's certificate need not chain to
// a public root, its end date must not stop the updates of every copy for good, and who signed
// is decided by comparing the certificate itself. Every other result (no signature, a changed
// or extended file, a broken signature) refuses.
bool IsIntactSignatureResult(std::uint32_t status);

// The contents octets of the one DER element that `element` holds, tag and length left out
// (what an Authenticode signature's messageDigest is taken over). nullopt unless `element` is
// exactly one element with a definite length.
std::optional<std::string_view> DerContents(std::string_view element);

}  // namespace deskfind
