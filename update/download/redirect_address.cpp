#include "update/download/redirect_address.h"

#include <cctype>

namespace deskfind {
namespace {

// The scheme in lower case; empty when the address names none.
std::string SchemeOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return {};
  std::string scheme(address.substr(0, colon));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme;
}

}  // namespace

std::string RequestAddress(std::string_view address) {
  return std::string(address.substr(0, address.find('#')));
}

std::optional<std::string> RedirectAddress(std::string_view from, std::string_view to) {
  std::string next = RequestAddress(to);
  const std::string scheme = SchemeOf(next);
  if (scheme == "https" || (scheme == "http" && SchemeOf(RequestAddress(from)) == "http")) {
    return next;
  }
  return std::nullopt;
}

}  // namespace deskfind
