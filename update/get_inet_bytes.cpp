#include <windows.h>

#include <string>

#include "platform/utf16.h"
#include "update/get_inet_file.h"

namespace deskfind {

// Through a file in the user's temporary folder, removed on every path as soon as it has been
// read: a body that may still be on disk afterwards is no body.
DownloadResult GetInetBytes(std::string_view address, const DownloadRules& rules, std::string& body,
                            DownloadWatch* watch) {
  body.clear();
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  // A unique empty file that the download replaces.
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"dfb", 0, name) == 0) return {};
  DownloadedFile file;
  DownloadResult result;
  try {
    result = GetInetFile(address, Utf8(name), rules, &file, watch);
  } catch (...) {
    DeleteFileW(name);
    throw;
  }
  if (result.Done()) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) ||
        static_cast<ULONGLONG>(size.QuadPart) > rules.maxBytes) {
      result.status = DownloadResult::Status::kFailed;
    } else {
      body.resize(static_cast<std::size_t>(size.QuadPart));
      DWORD read = 0;
      if (!body.empty() &&
          (!ReadFile(file.Get(), body.data(), static_cast<DWORD>(body.size()), &read, nullptr) ||
           read != body.size())) {
        result.status = DownloadResult::Status::kFailed;
      }
    }
  }
  file.Reset();  // it shares no deletion
  if (!DeleteFileW(name) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    if (result.Done()) result.status = DownloadResult::Status::kFailed;
    result.leftBehind = Utf8(name);
  }
  if (!result.Done()) body.clear();
  return result;
}

}  // namespace deskfind
