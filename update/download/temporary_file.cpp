#include "update/download/temporary_file.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "platform/services.h"
#include "platform/utf16.h"
#include "update/download/limits.h"
#include "update/download/result.h"

namespace deskfind {
namespace {

// Temporary files are named so that nothing else matches: deskfind-download-<8 hex digits>.part.
constexpr std::wstring_view kTemporaryPrefix = L"deskfind-download-";
constexpr std::wstring_view kTemporarySuffix = L".part";
constexpr std::size_t kTemporaryDigits = 8;

bool IsTemporaryName(std::wstring_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
      name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
      name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
    return false;
  }
  const std::wstring_view digits = name.substr(kTemporaryPrefix.size(), kTemporaryDigits);
  return std::all_of(digits.begin(), digits.end(), [](wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
  });
}

// Eight lower-case hexadecimal digits (the formatting functions of the C library would bring
// their floating-point code into the program for this).
std::wstring HexDigits(unsigned value) {
  std::wstring digits(kTemporaryDigits, L'0');
  for (std::size_t i = kTemporaryDigits; i-- > 0; value >>= 4) {
    digits[i] = L"0123456789abcdef"[value & 0xF];
  }
  return digits;
}

constexpr ULONGLONG kStaleAfter100ns = kStaleTemporaryFileSeconds * 10'000'000;

}  // namespace

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void RemoveStaleTemporaryFiles(const std::wstring& folder) {
  const std::wstring pattern =
      folder + std::wstring(kTemporaryPrefix) + L"*" + std::wstring(kTemporarySuffix);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const ULONGLONG touched =
        std::max(FileTimeTicks(found.ftCreationTime), FileTimeTicks(found.ftLastWriteTime));
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryName(found.cFileName) &&
        touched + kStaleAfter100ns < FileTimeTicks(now)) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

TemporaryFile::TemporaryFile(const std::wstring& target) : target_(target) {
  static std::atomic<unsigned> next{static_cast<unsigned>(GetTickCount()) ^
                                    (static_cast<unsigned>(GetCurrentProcessId()) << 16)};
  const std::wstring folder = FolderOf(target);
  for (int attempt = 0; !file_; ++attempt) {
    path_ = folder + std::wstring(kTemporaryPrefix) + HexDigits(next++) +
            std::wstring(kTemporarySuffix);
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      file_.Reset(file);
    } else if (GetLastError() != ERROR_FILE_EXISTS || attempt == kMaxAttempts) {
      path_.clear();
      Fail();
    }
  }
  pending_.reserve(kWriteBytes);
}

TemporaryFile::~TemporaryFile() {
  file_.Reset();
  if (!path_.empty()) DeleteFileW(path_.c_str());
}

void TemporaryFile::RemoveWhenClosed() {
  FILE_DISPOSITION_INFO disposition{TRUE};
  SetFileInformationByHandle(file_.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

void TemporaryFile::Fail() const { throw LocalFileError(Utf8(target_), LastErrorText()); }

void TemporaryFile::Write(const char* data, DWORD size) {
  if (pending_.size() + size > kWriteBytes) Flush();
  pending_.insert(pending_.end(), data, data + size);
}

HANDLE TemporaryFile::Seal() {
  Flush();
  file_.Reset();
  const HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_SHARING_VIOLATION) return nullptr;
    Fail();
  }
  file_.Reset(file);
  return file;
}

void TemporaryFile::MoveOver() {
  const std::size_t nameBytes = target_.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes +
                                    sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, target_.c_str(), nameBytes + sizeof(wchar_t));
  if (!SetFileInformationByHandle(file_.Get(), FileRenameInfo, rename,
                                  static_cast<DWORD>(buffer.size()))) {
    Fail();
  }
  path_.clear();
}

void TemporaryFile::Close() {
  Flush();
  if (!FlushFileBuffers(file_.Get())) Fail();
  file_.Reset();
}

bool TemporaryFile::MoveByName() {
  if (!MoveFileExW(path_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  path_.clear();
  return true;
}

bool TemporaryFile::Remove() {
  file_.Reset();
  const bool removed = DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  if (removed) path_.clear();
  return removed;
}

void TemporaryFile::Flush() {
  if (pending_.empty()) return;
  const auto size = static_cast<DWORD>(pending_.size());
  DWORD written = 0;
  if (!WriteFile(file_.Get(), pending_.data(), size, &written, nullptr) || written != size) Fail();
  pending_.clear();
}

}  // namespace deskfind
