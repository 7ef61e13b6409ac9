#pragma once

#include <windows.h>

#include <cstddef>
#include <limits>
#include <string_view>

namespace deskfind {

struct DownloadLimits {
  static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
  static constexpr DWORD kDefaultTimeoutMilliseconds = 30000;

  // A longer body is a failed download.
  std::size_t maxBytes = kUnlimited;
  // Applies to connecting, sending the request and each wait for data.
  DWORD timeoutMilliseconds = kDefaultTimeoutMilliseconds;
};

// Fetches address (an http address) over the system's proxy settings, bypassing every cache,
// into the file localPath (both UTF-8). The file is replaced only by a complete body of a
// 200 reply; otherwise nothing is left behind and an earlier file of that name is untouched.
// False when the network side failed: no session, the address cannot be opened, another
// status than 200, a failed read, a body shorter than its Content-Length or over the limit,
// or a time-out. Throws std::runtime_error when the local file cannot be written or moved.
bool GetInetFile(std::string_view address, std::string_view localPath,
                 const DownloadLimits& limits = {});

}  // namespace deskfind
