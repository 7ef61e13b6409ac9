#include "update/accepted_version_store.h"

#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"
#include "update/download/result.h"

namespace deskfind {
namespace {

constexpr wchar_t kKey[] = L"Software\\Столвер\\deskfind";
constexpr wchar_t kIssuedValue[] = L"VersionIssued";
// FILETIME counts 100-nanosecond steps from 1601-01-01.
constexpr ULONGLONG kStepsPerSecond = 10'000'000;
constexpr ULONGLONG kSecondsFrom1601To1970 = 11'644'473'600;

// The file, named with the system's reason for the last error.
[[noreturn]] void ThrowStoreError(const std::string& path) {
  throw LocalFileError(path, LastErrorText());
}

}  // namespace

std::optional<UtcSeconds> AcceptedIssued() {
  wchar_t text[64] = {};
  DWORD size = sizeof(text);
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kIssuedValue, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return ParseUtcTime(Utf8(text));
}

void KeepAcceptedIssued(UtcSeconds issued) {
  const std::optional<UtcSeconds> kept = AcceptedIssued();
  if (kept && *kept >= issued) return;
  const std::wstring text = Utf16(UtcTimeText(issued));
  const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  if (RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kIssuedValue, REG_SZ, text.c_str(), size) !=
      ERROR_SUCCESS) {
    throw std::runtime_error("cannot keep the version data's time");
  }
}

UtcSeconds UtcNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return static_cast<UtcSeconds>(FileTimeTicks(now) / kStepsPerSecond - kSecondsFrom1601To1970);
}

std::int64_t LocalOffsetAt(UtcSeconds moment) {
  if (moment < 0) return 0;
  const ULONGLONG steps =
      (static_cast<ULONGLONG>(moment) + kSecondsFrom1601To1970) * kStepsPerSecond;
  const FILETIME utcTime{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  FILETIME localTime{};
  if (!FileTimeToSystemTime(&utcTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      !SystemTimeToFileTime(&local, &localTime)) {
    return 0;
  }
  return (static_cast<std::int64_t>(FileTimeTicks(localTime)) - static_cast<std::int64_t>(steps)) /
         static_cast<std::int64_t>(kStepsPerSecond);
}

void StoreVersionFile(const std::string& path, std::string_view bytes) {
  const std::wstring target = Utf16(path);
  const std::wstring written = target + L".new";
  const HANDLE created = CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) ThrowStoreError(path);
  FileHandle file(created);
  DWORD done = 0;
  bool stored =
      WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
      done == bytes.size();
  DWORD error = GetLastError();
  file.Reset();  // a file open for writing cannot be moved
  if (stored) {
    stored = MoveFileExW(written.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    error = GetLastError();
  }
  if (!stored) {
    DeleteFileW(written.c_str());
    SetLastError(error);
    ThrowStoreError(path);
  }
}

}  // namespace deskfind
