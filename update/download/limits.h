#pragma once

#include <cstddef>
#include <cstdint>

namespace deskfind {

// Every limit of the update's downloads, in one place: the download's rules take their
// defaults from here, the window side its sizes and times, the clean-up its stale age.

// The longest wait for the server: to connect, to send, and for each piece of the body.
inline constexpr std::uint32_t kServerWaitMilliseconds = 30 * 1000;
// A version file or its signature, the whole download, redirects included.
inline constexpr std::uint32_t kVersionDownloadMilliseconds = 30 * 1000;
// The program file, the whole download: 0.6 MB on the slowest line still in use.
inline constexpr std::uint32_t kProgramDownloadMilliseconds = 10 * 60 * 1000;

// A longer version file is not ours: it counts as a failed download.
inline constexpr std::size_t kMaxVersionFileBytes = 64 * std::size_t{1024};
// The version file's signature is a few hundred bytes; a longer one is not ours.
inline constexpr std::size_t kMaxVersionSignatureBytes = 16 * std::size_t{1024};
// The program is about 0.6 MB; a body many times that is not ours, and must not fill the disk.
inline constexpr std::size_t kMaxProgramFileBytes = 32 * std::size_t{1024} * 1024;

// A download's temporary file younger than this may belong to a download of another running
// copy: no download lasts longer than the longest, and the margin covers its checks.
inline constexpr std::uint64_t kStaleTemporaryFileSeconds =
    kProgramDownloadMilliseconds / 1000 + 5 * 60;

}  // namespace deskfind
