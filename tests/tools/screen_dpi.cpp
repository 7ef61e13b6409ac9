#include <windows.h>

// Tells a test which DPI a program started now would work with: its exit code is
// GetDeviceCaps(LOGPIXELSY) of the screen, seen by a system-DPI-aware process as the program is.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetProcessDPIAware();
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}
