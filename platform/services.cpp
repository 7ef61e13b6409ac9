#include "platform/services.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"

namespace deskfind {

bool RegisterWindowClassOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, UINT style,
                             HBRUSH background) {
  WNDCLASSEXW windowClass{};
  if (GetClassInfoExW(instance, name, &windowClass)) return true;
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0;
}

int MonitorDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow =
      reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return getDpiForWindow ? static_cast<int>(getDpiForWindow(window)) : 0;
}

INT_PTR ShellOpen(HWND owner, std::string_view verb, std::string_view target) {
  const std::wstring wideVerb = Utf16(verb);
  const std::wstring wideTarget = Utf16(target);
  static const DynamicLibrary shell(L"shell32.dll");
  static const auto shellExecute = shell.Get<decltype(&ShellExecuteW)>("ShellExecuteW");
  if (!shellExecute) return SE_ERR_NOASSOC;
  HINSTANCE result = shellExecute(owner, verb.empty() ? nullptr : wideVerb.c_str(),
                                  wideTarget.c_str(), nullptr, nullptr, SW_SHOW);
  return reinterpret_cast<INT_PTR>(result);
}

void PressShift() { keybd_event(VK_SHIFT, 0, 0, 0); }

void ReleaseShift() { keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0); }

bool WriteUserRegistryString(std::string_view keyPath, std::string_view valueName,
                             std::string_view value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(keyPath).c_str(), 0, KEY_SET_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegistryKey key(opened);
  const std::wstring data = Utf16(value);
  const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.Get(), Utf16(valueName).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

std::string UserDecimalSeparator() {
  wchar_t separator[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8)) return ".";
  return Utf8(separator);
}

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramFolder() {
  const std::wstring path = ProgramPath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring ProgramFileName() {
  const std::wstring path = ProgramPath();
  return path.substr(path.find_last_of(L"\\/") + 1);
}

std::string LastErrorText() {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!message.empty() && std::wcschr(L"\r\n ", message.back())) message.pop_back();
  if (message.empty()) return "ошибка " + std::to_string(error);
  return Utf8(message);
}

ULONGLONG FileTimeTicks(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace deskfind
