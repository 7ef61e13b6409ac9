#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace deskfind {

// The address as it is requested: a fragment ("#...") belongs to the reader, and a server asked
// for it answers for a file that does not exist.
std::string RequestAddress(std::string_view address);

// Whether a redirect from `from` to the absolute address `to` is followed: `to` as it is then
// requested, or nullopt for any scheme but http and https, and for a step down from https to
// http, which would hand the rest of the download to anyone on the way.
std::optional<std::string> RedirectAddress(std::string_view from, std::string_view to);

}  // namespace deskfind
