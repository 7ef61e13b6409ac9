#include "update/download/download.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/utf16.h"
#include "update/download/receiving_thread.h"
#include "update/download/redirect_address.h"

namespace deskfind {
namespace {

using Status = DownloadResult::Status;

// The rules' acceptance of a whole body, on the caller's thread: it may read what the caller
// owns.
Status Accept(const DownloadRules& rules, TemporaryFile& file) {
  const HANDLE sealed = file.Seal();
  if (!sealed) return Status::kFailed;
  return rules.accept ? rules.accept(sealed, file.Path()) : Status::kDone;
}

// Waits for the thread without a word.
class SilentWatch final : public DownloadWatch {
 public:
  Outcome Wait(HANDLE ended, DWORD milliseconds, const DownloadProgress&) override {
    return WaitForSingleObject(ended, milliseconds) == WAIT_OBJECT_0 ? Outcome::kEnded
                                                                     : Outcome::kTimedOut;
  }
};

// What the receiving thread handed over, or how the download ended before it did.
struct Received {
  std::optional<Status> endedEarly;
  ReceivedBody body;
};

// Receives address into a file beside target, or into memory when target is empty, and waits
// for it; rethrows what the thread threw.
Received Receive(std::string_view address, const std::wstring& target, const DownloadRules& rules,
                 DownloadWatch* watch) {
  const ULONGLONG start = GetTickCount64();
  const Deadline deadline(start, rules.totalMilliseconds);
  ReceivingThread thread(Utf16(RequestAddress(address)), target, rules, start);
  if (!thread.Start()) return {Status::kFailed, {}};

  SilentWatch silent;
  const DownloadWatch::Outcome outcome =
      (watch ? *watch : silent)
          .Wait(thread.HandedOver(), deadline.Cut(rules.totalMilliseconds), thread.Progress());
  std::optional<ReceivedBody> received = thread.TakeOverOrGiveUp();
  if (outcome == DownloadWatch::Outcome::kCancelled) {
    // The customer chose this: whatever came is dropped, on the way out or by the thread.
    return {Status::kCancelled, {}};
  }
  if (!received) return {Status::kFailed, {}};
  if (received->error) std::rethrow_exception(received->error);
  return {std::nullopt, std::move(*received)};
}

}  // namespace

DownloadResult GetInetFile(std::string_view address, std::string_view localPath,
                           const DownloadRules& rules, DownloadedFile* keep, DownloadWatch* watch) {
  const std::wstring target = Utf16(localPath);
  RemoveStaleTemporaryFiles(FolderOf(target));
  Received received = Receive(address, target, rules, watch);
  if (received.endedEarly) return {*received.endedEarly, {}};

  DownloadResult result;
  result.status = received.body.status;
  std::unique_ptr<TemporaryFile>& file = received.body.file;  // removed here on every path
  if (result.Done()) result.status = Accept(rules, *file);
  if (result.Done()) {
    file->MoveOver();
    if (keep) *keep = file->Release();
  } else if (file && !file->Remove()) {
    result.leftBehind = Utf8(file->Path());
  }
  return result;
}

DownloadResult GetInetBytes(std::string_view address, const DownloadRules& rules, std::string& body,
                            DownloadWatch* watch) {
  body.clear();
  Received received = Receive(address, std::wstring(), rules, watch);
  if (received.endedEarly) return {*received.endedEarly, {}};
  if (received.body.status == Status::kDone) body = std::move(received.body.bytes);
  return {received.body.status, {}};
}

}  // namespace deskfind
