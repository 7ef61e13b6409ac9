#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace deskfind {

// The shell's action on a file or address: verb empty for the default action. Returns the
// shell's result: greater than 32 when it succeeded.
INT_PTR ShellOpen(HWND owner, std::string_view verb, std::string_view target);

// A simulated press and release of the Shift key, as if the user held it.
void PressShift();
void ReleaseShift();

// Writes a string value to an existing key under HKEY_CURRENT_USER, never creating the key.
// False when the key is missing or the write fails.
bool WriteUserRegistryString(std::string_view keyPath, std::string_view valueName,
                             std::string_view value);

// The user's locale decimal separator, e.g. "," or "."; UTF-8.
std::string UserDecimalSeparator();

// Registers a window class of this program once; later calls find it registered. False when
// it can be neither found nor registered.
bool RegisterWindowClassOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                             UINT style = 0, HBRUSH background = nullptr);

// The DPI of the monitor the window is on; 0 where the system cannot tell (before Windows 10).
int MonitorDpi(HWND window);

// The running program: its full path, its folder with the trailing backslash, its file name.
std::wstring ProgramPath();
std::wstring ProgramFolder();
std::wstring ProgramFileName();

// The system's text for the last error, without its line break; "ошибка N" when it has none.
std::string LastErrorText();

// A FILETIME as one count of 100-nanosecond steps from 1601-01-01.
ULONGLONG FileTimeTicks(const FILETIME& time);

}  // namespace deskfind
