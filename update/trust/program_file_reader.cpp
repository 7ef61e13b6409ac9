#include "update/trust/program_file_reader.h"

#include <vector>

#include "platform/services.h"
#include "platform/win32_handles.h"
#include "update/trust/crypt_message.h"

namespace deskfind {
namespace {

ReadBytesAt ReaderOf(HANDLE file) {
  return [file](std::uint64_t offset, unsigned char* into, std::size_t size) {
    // One read of at most a 32-bit size: larger pieces are never asked for.
    if (size > MAXDWORD) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return size == 0 ||
           (ReadFile(file, into, static_cast<DWORD>(size), &read, &at) && read == size);
  };
}

std::optional<std::uint64_t> SizeOf(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

FileHandle OpenForReading(const std::wstring& path) {
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return FileHandle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

}  // namespace

std::optional<std::vector<unsigned char>> ContentsOf(HANDLE file) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  if (!size || *size > MAXDWORD) return std::nullopt;
  std::vector<unsigned char> bytes(static_cast<std::size_t>(*size));
  if (!ReaderOf(file)(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

bool HasLengthAndSha256(HANDLE file, std::uint64_t length,
                        const std::array<std::uint8_t, 32>& sha256) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  if (!size || *size != length) return false;
  const std::optional<std::vector<unsigned char>> bytes = ContentsOf(file);
  return bytes && Sha256Of(bytes->data(), bytes->size()) == sha256;
}

FileHandle OpenRunningProgram() { return OpenForReading(ProgramPath()); }

bool IsWindowsProgram(HANDLE file) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  return size && IsWindowsProgram(ReaderOf(file), *size);
}

CertificateTable CertificateTableOf(HANDLE file) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  if (!size) return CertificateTable::kMalformed;
  return CertificateTableOf(ReaderOf(file), *size);
}

std::optional<ProgramVersion> ProgramVersionOf(HANDLE file) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  if (!size) return std::nullopt;
  return ProgramVersionOf(ReaderOf(file), *size);
}

std::optional<std::vector<unsigned char>> SignatureOf(HANDLE file) {
  const std::optional<std::uint64_t> size = SizeOf(file);
  const ReadBytesAt read = ReaderOf(file);
  const std::optional<SignatureBytes> at = size ? SignatureBytesOf(read, *size) : std::nullopt;
  if (!at) return std::nullopt;
  std::vector<unsigned char> bytes(at->size);
  if (!read(at->offset, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

std::optional<ProgramVersion> ProgramVersionAt(const std::wstring& path) {
  const FileHandle file = OpenForReading(path);
  if (!file) return std::nullopt;
  return ProgramVersionOf(file.Get());
}

ProgramVersion RunningProgramVersion() {
  return ProgramVersionAt(ProgramPath()).value_or(ProgramVersion{});
}

}  // namespace deskfind
