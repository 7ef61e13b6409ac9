#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <string>

#include "update/download/limits.h"
#include "update/download/result.h"

namespace deskfind {

// What a download must satisfy before its body takes the target's name.
struct DownloadRules {
  static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

  // Decides on the finished body, sealed in its file (`file` open for reading, `path` its
  // name), before it takes the target's name: kDone takes it, any other status refuses it with
  // that status. Runs on the caller's thread, so it may read what the caller owns.
  using Acceptance = std::function<DownloadResult::Status(HANDLE file, const std::wstring& path)>;

  // A longer body is refused; reading stops one byte past it.
  std::size_t maxBytes = kUnlimited;
  // The longest wait for the server: to connect, to send, and for each piece of the body.
  DWORD waitMilliseconds = kServerWaitMilliseconds;
  // The whole download, redirects included: no wait goes past it, not even one for the
  // connection or the headers.
  DWORD totalMilliseconds = kVersionDownloadMilliseconds;
  // None: every whole body is taken.
  Acceptance accept;
};

// The time left of a whole download; every wait is cut to it.
class Deadline {
 public:
  // `start` is GetTickCount64's: the caller's and the thread's deadlines start together.
  Deadline(ULONGLONG start, DWORD milliseconds) : end_(start + milliseconds) {}
  // The wait for the next step, at most `wait`; 0 when the time is up.
  DWORD Cut(DWORD wait) const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now < wait ? end_ - now : wait);
  }

 private:
  ULONGLONG end_;
};

}  // namespace deskfind
