#pragma once

#include <windows.h>

#include "platform/win32_handles.h"

namespace deskfind {

// A new version, started under the name the update gave it (deskfind<version>.exe), puts an
// exact copy of itself in the place of an older deskfind.exe beside it, the file the customer's
// shortcut starts: else the next start is the old version again, and the update never holds.
// On a thread of its own, and silently whatever happens. The old copy ends just after the
// hand-over, so a deskfind.exe that cannot be replaced yet is tried again for a while; one that
// cannot be replaced then (still running from another window, read-only, a full disk) stays as
// it is until the next start. The copy is written beside it and on the disk before it takes
// the name in one step: an interruption leaves the old file or the new, each whole, and any
// temporary file is one a download's clean-up removes.
class InstalledProgramReplacement {
 public:
  // Starts the work when this copy runs under a downloaded version's name; a copy named
  // deskfind.exe looks for nothing.
  InstalledProgramReplacement();
  InstalledProgramReplacement(const InstalledProgramReplacement&) = delete;
  InstalledProgramReplacement& operator=(const InstalledProgramReplacement&) = delete;
  // Stops the waiting for the old copy, and returns once the thread has ended: the process must
  // not end while it runs. A copy or a move under way is finished first; it takes a moment.
  ~InstalledProgramReplacement();

 private:
  static DWORD WINAPI Replace(void* stop);

  EventHandle stop_;
  ThreadHandle thread_;
};

}  // namespace deskfind
