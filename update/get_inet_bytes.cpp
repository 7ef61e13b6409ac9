#include <windows.h>

#include <string>

#include "platform/utf16.h"
#include "update/get_inet_file.h"

namespace deskfind {

// Through a file in the user's temporary folder that is removed as soon as it has been read.
DownloadResult GetInetBytes(std::string_view address, const DownloadRules& rules, std::string& body,
                            DownloadWatch* watch) {
  body.clear();
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  // A unique empty file that the download replaces.
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"dfb", 0, name) == 0) return {};
  const std::wstring path = name;
  DownloadedFile file;
  DownloadResult result = GetInetFile(address, Utf8(path), rules, &file, watch);
  if (!result.Done()) {
    DeleteFileW(name);  // the empty file the download left in place
    return result;
  }
  FILE_DISPOSITION_INFO remove{TRUE};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) > rules.maxBytes) {
    result.status = DownloadResult::Status::kFailed;
  } else {
    body.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!body.empty() &&
        (!ReadFile(file.Get(), body.data(), static_cast<DWORD>(body.size()), &read, nullptr) ||
         read != body.size())) {
      body.clear();
      result.status = DownloadResult::Status::kFailed;
    }
  }
  SetFileInformationByHandle(file.Get(), FileDispositionInfo, &remove, sizeof(remove));
  return result;
}

}  // namespace deskfind
