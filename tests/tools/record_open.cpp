#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "platform/utf16.h"

// Stands in for the browser in the test prefix: the shell runs it as
//   record_open.exe --log "<log file>" "<address>"
// and it appends the address (UTF-8, one line) to the log. Without --log the log is
// record_open.log next to this program. The address is taken from the raw command line, so
// it arrives exactly as the shell passed it.

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

void SkipSpaces(const wchar_t*& p) {
  while (*p == L' ' || *p == L'\t') ++p;
}

// One token as the shell writes them: either quoted (no escapes inside) or up to a space.
std::wstring NextToken(const wchar_t*& p) {
  SkipSpaces(p);
  std::wstring token;
  if (*p == L'"') {
    for (++p; *p && *p != L'"'; ++p) token += *p;
    if (*p == L'"') ++p;
  } else {
    for (; *p && *p != L' ' && *p != L'\t'; ++p) token += *p;
  }
  return token;
}

std::wstring DefaultLogPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"record_open.log";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const wchar_t* rest = GetCommandLineW();
  NextToken(rest);  // the program itself

  std::wstring logPath = DefaultLogPath();
  const wchar_t* afterOption = rest;
  if (NextToken(afterOption) == L"--log") {
    logPath = NextToken(afterOption);
    rest = afterOption;
  }

  SkipSpaces(rest);
  std::wstring address(rest);
  while (!address.empty() && (address.back() == L' ' || address.back() == L'\t')) {
    address.pop_back();
  }
  if (address.size() >= 2 && address.front() == L'"' && address.back() == L'"' &&
      address.find(L'"', 1) == address.size() - 1) {
    address = address.substr(1, address.size() - 2);
  }

  UniqueHandle log(CreateFileW(logPath.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log.get() == INVALID_HANDLE_VALUE) return 2;
  // One write per line keeps lines whole when two recorders run at once.
  const std::string line = deskfind::Utf8(address) + "\n";
  DWORD written = 0;
  if (!WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
      written != line.size()) {
    return 3;
  }
  return 0;
}
