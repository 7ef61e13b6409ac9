#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "update/program_image.h"
#include "update/signature.h"

namespace deskfind {

// What a download must satisfy before its body takes the target's name.
struct DownloadRules {
  static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
  static constexpr DWORD kDefaultWaitMilliseconds = 30000;
  static constexpr DWORD kDefaultTotalMilliseconds = 30000;

  // A longer body is refused; reading stops one byte past it.
  std::size_t maxBytes = kUnlimited;
  // The longest wait for the server: to connect, to send, and for each piece of the body.
  DWORD waitMilliseconds = kDefaultWaitMilliseconds;
  // The whole download, redirects included: no wait goes past it, not even one for the
  // connection or the headers.
  DWORD totalMilliseconds = kDefaultTotalMilliseconds;
  // The body must be a Windows program: "MZ" and the "PE" signature it points to.
  bool windowsProgram = false;
  // When set, the body must carry an intact signature made with exactly this certificate.
  const Certificate* signer = nullptr;
  // When set, the body must be a newer version of this program (IsNewerVersionOf).
  const ProgramVersion* newerThan = nullptr;
  // When set, the body's file version must be at least this one.
  const std::array<std::uint16_t, 4>* atLeast = nullptr;
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
