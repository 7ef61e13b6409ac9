#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "update/download/progress.h"
#include "update/download/result.h"
#include "update/download/rules.h"

namespace deskfind {

// Where a body goes as it comes: opened once the server has answered 200, then written piece
// by piece. Either may throw LocalFileError.
class BodySink {
 public:
  virtual ~BodySink() = default;
  virtual void Open() = 0;
  virtual void Write(const char* data, DWORD size) = 0;
};

// Fetches address (http, following up to 5 redirects to http or https) over the system's proxy
// settings, bypassing every cache, into `sink`, which it opens once the server has answered
// 200. kDone when the whole body came within the rules' size and time; `progress` counts the
// bytes as they come. Stops, failed, at the next piece of the body once `stop` is set.
DownloadResult::Status ReceiveOverHttp(const std::wstring& address, const DownloadRules& rules,
                                       const Deadline& deadline, const std::atomic<bool>& stop,
                                       DownloadProgress& progress, BodySink& sink);

}  // namespace deskfind
