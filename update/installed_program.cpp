#include "update/installed_program.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/utf16.h"
#include "update/download/rules.h"
#include "update/download/temporary_file.h"
#include "update/flow/update_flow.h"
#include "update/trust/program_file_reader.h"

namespace deskfind {
namespace {

// The old copy closes its window as it starts this one, and is gone within a second or two.
constexpr DWORD kOldCopyEndMilliseconds = 15 * 1000;
constexpr DWORD kRetryMilliseconds = 250;

void ReplaceInstalledProgram(HANDLE stop) {
  const std::wstring installed = ProgramFolder() + Utf16(kInstalledProgramName);
  const FileHandle own = OpenRunningProgram();
  const std::optional<ProgramVersion> ownVersion = own ? ProgramVersionOf(own.Get()) : std::nullopt;
  if (!ownVersion ||
      !TakesTheInstalledPlace(Utf8(ProgramFileName()), *ownVersion, ProgramVersionAt(installed))) {
    return;
  }
  // Whoever made it read-only meant it to stay as it is; Windows would refuse the move, but not
  // every file system does.
  if (GetFileAttributesW(installed.c_str()) & FILE_ATTRIBUTE_READONLY) return;
  const std::optional<std::vector<unsigned char>> bytes = ContentsOf(own.Get());
  if (!bytes) return;
  TemporaryFile copy(installed);
  copy.Write(reinterpret_cast<const char*>(bytes->data()), static_cast<DWORD>(bytes->size()));
  copy.Close();
  // A running program's file cannot be replaced: while the old copy ends, wait for it.
  const Deadline oldCopyEnds(GetTickCount64(), kOldCopyEndMilliseconds);
  while (!copy.MoveByName()) {
    const DWORD error = GetLastError();
    const DWORD wait = oldCopyEnds.Cut(kRetryMilliseconds);
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || wait == 0 ||
        WaitForSingleObject(stop, wait) != WAIT_TIMEOUT) {
      return;
    }
  }
}

}  // namespace

InstalledProgramReplacement::InstalledProgramReplacement() {
  if (!IsDownloadedProgramName(Utf8(ProgramFileName()))) return;
  stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (stop_) thread_.Reset(CreateThread(nullptr, 0, Replace, stop_.Get(), 0, nullptr));
}

InstalledProgramReplacement::~InstalledProgramReplacement() {
  if (!thread_) return;
  SetEvent(stop_.Get());
  WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI InstalledProgramReplacement::Replace(void* stop) {
  // Behind the windows, which the customer is using meanwhile.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  try {
    ReplaceInstalledProgram(static_cast<HANDLE>(stop));
  } catch (...) {
    // Nothing is shown, and nothing has changed: the next start tries again.
  }
  return 0;
}

}  // namespace deskfind
