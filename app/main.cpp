#include <windows.h>

#include <exception>

#include "app/bigf.h"
#include "assets/resource_ids.h"
#include "platform/application.h"
#include "platform/dynamic_library.h"
#include "platform/utf16.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // First, before anything loads a library by name.
  deskfind::LoadLibrariesFromSystemFolderOnly();
  try {
    deskfind::Application application(instance, IDI_DESKFIND);
    deskfind::Tbigform mainWindow(application);
    return application.Run(mainWindow);
  } catch (const std::exception& error) {
    // Only start-up can get here: handlers report their own errors.
    MessageBoxW(nullptr, deskfind::Utf16(error.what()).c_str(), L"deskfind", MB_OK | MB_ICONERROR);
    return 1;
  }
}
