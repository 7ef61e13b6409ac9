#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/win32_handles.h"
#include "update/download_result.h"
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

// The downloaded file, open for reading and shared for reading only: nothing can change, rename
// or remove it while the handle lives.
using DownloadedFile = FileHandle;

// Fetches address (http, following up to 5 redirects to http or https; no fragment is sent) over
// the system's proxy settings, bypassing every cache, into the file localPath (both UTF-8). The
// body goes to a temporary file beside the target and replaces the target only when the reply
// was a complete 200 and the body passed every rule; otherwise nothing is left behind (or
// leftBehind names what could not be removed) and an earlier file of that name is untouched.
// Temporary files that earlier downloads left in the folder are removed first. When `keep` is
// given it receives the file, held open as DownloadedFile describes. Throws LocalFileError
// when the local file cannot be created, written or moved.
DownloadResult GetInetFile(std::string_view address, std::string_view localPath,
                           const DownloadRules& rules = {}, DownloadedFile* keep = nullptr);

// Fetches address as GetInetFile does (the same redirects, deadlines and rules) into
// memory only; `body` holds the whole body when the result is done.
DownloadResult GetInetBytes(std::string_view address, const DownloadRules& rules,
                            std::string& body);

}  // namespace deskfind
