#include <windows.h>

#include <exception>

#include "app/bigf.h"
#include "assets/resource_ids.h"
#include "platform/application.h"
#include "platform/dynamic_library.h"
#include "platform/utf16.h"
#include "update/download/receiving_thread.h"
#include "update/installed_program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // First, before anything loads a library by name.
  deskfind::LoadLibrariesFromSystemFolderOnly();
  int exitCode = 1;
  {
    // A new version started by the update takes the installed copy's place meanwhile.
    const deskfind::InstalledProgramReplacement replacement;
    try {
      deskfind::Application application(instance, IDI_DESKFIND);
      application.OnEnding = deskfind::ReceivingThread::GiveUpAll;
      deskfind::Tbigform mainWindow(application);
      exitCode = application.Run(mainWindow);
    } catch (const std::exception& error) {
      // Only start-up can get here: handlers report their own errors.
      MessageBoxW(nullptr, deskfind::Utf16(error.what()).c_str(), L"deskfind",
                  MB_OK | MB_ICONERROR);
    }
  }
  // The windows are gone; the process must not end while a download's thread still runs.
  deskfind::ReceivingThread::EndOnceAllEnded(exitCode);
  return exitCode;
}
