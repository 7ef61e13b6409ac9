#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/flow/version_dates.h"

namespace deskfind {

// The newest `issued` of version data this user's copies have accepted, kept under
// HKEY_CURRENT_USER\Software\<shop>\<program>; nullopt when none is kept or it cannot be read.
std::optional<UtcSeconds> AcceptedIssued();
// Keeps `issued` unless a later one is kept already (another copy may have kept one meanwhile).
// Throws std::runtime_error when it cannot be written.
void KeepAcceptedIssued(UtcSeconds issued);

// This computer's clock.
UtcSeconds UtcNow();
// The local time minus UTC at `moment`, in seconds, by this computer's time zone; 0 when it
// cannot be told.
std::int64_t LocalOffsetAt(UtcSeconds moment);

// Replaces the file at path (UTF-8) with bytes through a file beside it, so that it is never
// found half written. Throws LocalFileError when it cannot.
void StoreVersionFile(const std::string& path, std::string_view bytes);

}  // namespace deskfind
