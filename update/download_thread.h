#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "update/download_result.h"
#include "update/download_rules.h"
#include "update/download_watch.h"
#include "update/temporary_file.h"

namespace deskfind {

// What the receiving thread hands over: how the network part ended, what it threw, and the
// file with the body (null when none was made).
struct ReceivedBody {
  DownloadResult::Status status = DownloadResult::Status::kFailed;
  std::exception_ptr error;
  std::unique_ptr<TemporaryFile> file;
};

// A download's network part on a thread of its own, which the caller waits for no longer than
// the deadline and may give up on at any moment: no time-out of the library bounds a whole
// call (a server that sends its headers a byte at a time keeps HttpSendRequestW going), and
// closing the handles from another thread does not end a blocked call. A thread given up on
// stops at the next piece of the body, or when its blocked call returns, and then removes its
// own temporary file. The system's own thread, lock and event: the C++ library's pull a
// threads library into the program, a sixth of its size.
class ReceivingThread {
 public:
  // The thread's own waits end a little before `totalMilliseconds` from `start` (GetTickCount64),
  // so that a thread that is not stuck in a call hands over before the caller gives up on it.
  ReceivingThread(std::wstring address, std::wstring target, const DownloadRules& rules,
                  ULONGLONG start);
  ReceivingThread(const ReceivingThread&) = delete;
  ReceivingThread& operator=(const ReceivingThread&) = delete;
  // Gives the thread up if nothing was taken over.
  ~ReceivingThread();

  // False when the thread cannot be started.
  bool Start();
  // Set once the thread has handed over.
  HANDLE HandedOver() const;
  const DownloadProgress& Progress() const;
  // What the thread handed over; nullopt when it has not yet, and then it is given up.
  std::optional<ReceivedBody> TakeOverOrGiveUp();

 private:
  struct Shared;
  static DWORD WINAPI Receive(void* parameter);
  std::shared_ptr<Shared> shared_;
  bool finished_ = false;
};

}  // namespace deskfind
