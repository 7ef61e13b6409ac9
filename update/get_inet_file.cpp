#include "update/get_inet_file.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/utf16.h"
#include "update/download_address.h"
#include "update/download_thread.h"
#include "update/program_file.h"

namespace deskfind {
namespace {

using Status = DownloadResult::Status;

// The rules' checks of a whole body, on the caller's thread: they may read what the caller owns.
Status Check(const DownloadRules& rules, TemporaryFile& file) {
  const HANDLE sealed = file.Seal();
  if (!sealed) return Status::kFailed;
  if (rules.windowsProgram && !IsWindowsProgram(sealed)) return Status::kFailed;
  if (rules.signer && !SignedBy(sealed, file.Path(), *rules.signer)) return Status::kNotSigned;
  if (rules.newerThan || rules.atLeast) {
    const std::optional<ProgramVersion> version = ProgramVersionOf(sealed);
    if (!version || (rules.newerThan && !IsNewerVersionOf(*version, *rules.newerThan)) ||
        (rules.atLeast && version->fileVersion < *rules.atLeast)) {
      return Status::kNotNewer;
    }
  }
  return Status::kDone;
}

// Waits for the thread without a word.
class SilentWatch final : public DownloadWatch {
 public:
  Outcome Wait(HANDLE ended, DWORD milliseconds, const DownloadProgress&) override {
    return WaitForSingleObject(ended, milliseconds) == WAIT_OBJECT_0 ? Outcome::kEnded
                                                                     : Outcome::kTimedOut;
  }
};

}  // namespace

DownloadResult GetInetFile(std::string_view address, std::string_view localPath,
                           const DownloadRules& rules, DownloadedFile* keep, DownloadWatch* watch) {
  const std::wstring target = Utf16(localPath);
  const ULONGLONG start = GetTickCount64();
  const Deadline deadline(start, rules.totalMilliseconds);
  RemoveStaleTemporaryFiles(FolderOf(target));
  ReceivingThread thread(Utf16(RequestAddress(address)), target, rules, start);
  if (!thread.Start()) return {};

  SilentWatch silent;
  const DownloadWatch::Outcome outcome =
      (watch ? *watch : silent)
          .Wait(thread.HandedOver(), deadline.Cut(rules.totalMilliseconds), thread.Progress());
  std::optional<ReceivedBody> received = thread.TakeOverOrGiveUp();
  if (outcome == DownloadWatch::Outcome::kCancelled) {
    // The customer chose this: whatever came is dropped, on the way out or by the thread.
    return {Status::kCancelled, {}};
  }
  if (!received) return {};
  if (received->error) std::rethrow_exception(received->error);

  DownloadResult result;
  result.status = received->status;
  std::unique_ptr<TemporaryFile>& file = received->file;  // removed here on every path
  if (result.Done()) result.status = Check(rules, *file);
  if (result.Done()) {
    file->MoveOver();
    if (keep) *keep = file->Release();
  } else if (file && !file->Remove()) {
    result.leftBehind = Utf8(file->Path());
  }
  return result;
}

}  // namespace deskfind
