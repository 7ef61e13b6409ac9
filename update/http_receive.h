#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "update/download_result.h"
#include "update/download_rules.h"
#include "update/download_watch.h"
#include "update/temporary_file.h"

namespace deskfind {

// Fetches address (http, following up to 5 redirects to http or https) over the system's proxy
// settings, bypassing every cache, into a TemporaryFile beside `target` that it creates once the
// server has answered 200. kDone when the whole body came within the rules' size and time;
// `progress` counts the bytes as they come. Stops, failed, at the next piece of the body once
// `stop` is set; `created` learns of the file as soon as it exists. Throws LocalFileError when
// the file cannot be created or written.
DownloadResult::Status ReceiveOverHttp(const std::wstring& address, const std::wstring& target,
                                       const DownloadRules& rules, const Deadline& deadline,
                                       const std::atomic<bool>& stop, DownloadProgress& progress,
                                       std::unique_ptr<TemporaryFile>& file,
                                       const std::function<void(TemporaryFile&)>& created);

}  // namespace deskfind
