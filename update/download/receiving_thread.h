#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "update/download/progress.h"
#include "update/download/result.h"
#include "update/download/rules.h"
#include "update/download/temporary_file.h"

namespace deskfind {

// What the receiving thread hands over: how the network part ended, what it threw, and the
// body: in its file (null when none was made), or in memory.
struct ReceivedBody {
  DownloadResult::Status status = DownloadResult::Status::kFailed;
  std::exception_ptr error;
  std::unique_ptr<TemporaryFile> file;
  std::string bytes;
};

// A download's network part on a thread of its own, which the caller waits for no longer than
// the deadline and may give up on at any moment: no time-out of the library bounds a whole
// call (a server that sends its headers a byte at a time keeps HttpSendRequestW going), and
// closing the handles from another thread does not end a blocked call. A thread given up on
// stops at the next piece of the body, or when its blocked call returns, and then removes its
// own temporary file. The system's own thread, lock and event: the C++ library's pull a
// threads library into the program, a sixth of its size.
//
// The process never ends while a receiving thread runs, not even one that is ending by itself.
// Ending a process ends every thread it still has once more, and a thread caught in its own end
// then closes its descriptors twice (Wine 8 counts a thread as running until they are closed),
// or leaves the heap's lock held by a thread that is gone: a crash or a hang at exit. So:
// - once the program is asked to end, GiveUpAll marks every download's file for removal at
//   once, before Windows can end the process;
// - the program's last step, after its windows are gone, is EndOnceAllEnded;
// - a test that starts downloads waits for AllEnded before it ends.
class ReceivingThread {
 public:
  // Gives up every download whose caller has not taken it over, as the caller would, and starts
  // no other: each file is removed when its handle closes, whoever closes it and however the
  // process ends.
  static void GiveUpAll();
  // True once every receiving thread started has ended, within `milliseconds`.
  static bool AllEnded(DWORD milliseconds);
  // Returns once every receiving thread has ended. One still held in a call after a short wait
  // (a stalled server) ends the process at once with `exitCode`, without the runtime's exit or
  // the libraries' detach, which would end that thread too; its file was marked for removal
  // when it was given up.
  static void EndOnceAllEnded(int exitCode);

  // The body goes to a temporary file beside `target`, or into memory when `target` is empty.
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
  struct Running;
  struct Registry;
  static Registry& Threads();
  static bool HasEndedAndIsDone(const Running& running);
  static DWORD WINAPI Receive(void* parameter);
  std::shared_ptr<Shared> shared_;
  bool finished_ = false;
};

}  // namespace deskfind
