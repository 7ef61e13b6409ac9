#pragma once

#include <string>
#include <string_view>

namespace deskfind {

// The program's texts are UTF-8; the Windows W functions take UTF-16.
// Invalid UTF-8 becomes U+FFFD rather than being dropped or read past.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace deskfind
