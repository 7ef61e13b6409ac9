#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "update/download/progress.h"
#include "update/download/result.h"
#include "update/download/rules.h"
#include "update/download/temporary_file.h"

namespace deskfind {

// Fetches address (http, following up to 5 redirects to http or https; no fragment is sent) over
// the system's proxy settings, bypassing every cache, into the file localPath (both UTF-8). The
// body goes to a temporary file beside the target and replaces the target only when the reply
// was a complete 200 and the rules accepted the body; otherwise nothing is left behind (or
// leftBehind names what could not be removed) and an earlier file of that name is untouched.
// Temporary files that earlier downloads left in the folder are removed first. When `keep` is
// given it receives the file, held open as DownloadedFile describes. `watch`, when given, waits
// for the download in place of a silent wait and may give it up: the result is then kCancelled
// and nothing is stored. Throws LocalFileError when the local file cannot be created, written or
// moved.
DownloadResult GetInetFile(std::string_view address, std::string_view localPath,
                           const DownloadRules& rules = {}, DownloadedFile* keep = nullptr,
                           DownloadWatch* watch = nullptr);

// Fetches address as GetInetFile does (the same redirects, deadlines, watch and size limit)
// into memory only: no file is made. `body` holds the whole body when the result is done, and
// is empty otherwise. The rules' acceptance is not asked.
DownloadResult GetInetBytes(std::string_view address, const DownloadRules& rules, std::string& body,
                            DownloadWatch* watch = nullptr);

}  // namespace deskfind
