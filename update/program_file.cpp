#include "update/program_file.h"

#include "platform/services.h"
#include "platform/win32_handles.h"

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

}  // namespace

bool IsWindowsProgram(HANDLE file) { return IsWindowsProgram(ReaderOf(file)); }

CertificateTable CertificateTableOf(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return CertificateTable::kMalformed;
  return CertificateTableOf(ReaderOf(file), static_cast<std::uint64_t>(size.QuadPart));
}

std::optional<ProgramVersion> ProgramVersionOf(HANDLE file) {
  return ProgramVersionOf(ReaderOf(file));
}

ProgramVersion RunningProgramVersion() {
  const HANDLE opened = CreateFileW(ProgramPath().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return {};
  const FileHandle file(opened);
  return ProgramVersionOf(file.Get()).value_or(ProgramVersion{});
}

}  // namespace deskfind
