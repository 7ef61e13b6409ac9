#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

namespace deskfind {

// How far a download has got: written by the thread that receives it, read by the one that
// waits for it.
struct DownloadProgress {
  std::atomic<std::size_t> received{0};
  std::atomic<std::size_t> announced{0};  // the length the server announced; 0 for none
};

// How the caller of a download waits for it: without a word by default, or watching it with
// a way to give up (the update's progress window).
class DownloadWatch {
 public:
  enum class Outcome { kEnded, kTimedOut, kCancelled };

  virtual ~DownloadWatch() = default;
  // Waits until `ended` is set (kEnded), `milliseconds` have passed (kTimedOut) or the user
  // has given up (kCancelled).
  virtual Outcome Wait(HANDLE ended, DWORD milliseconds, const DownloadProgress& progress) = 0;
};

}  // namespace deskfind
