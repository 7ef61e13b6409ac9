#pragma once

#include <windows.h>

#include <string_view>

namespace deskfind {

// Opens an address with the shell's default action while Shift is held down, so that the
// browser opens it in a new window. Shift is released however the shell call ends.
void OpenWithShiftHeld(HWND owner, std::string_view address);

}  // namespace deskfind
