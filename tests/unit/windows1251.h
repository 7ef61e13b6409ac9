#pragma once

#include <string>
#include <string_view>

#include "platform/utf16.h"

namespace deskfind::testing {

// The bytes a text has in the Windows-1251 code page; '?' for anything outside it
// beyond ASCII and Russian letters, which is all the program's texts use.
inline std::string Windows1251(std::string_view utf8) {
  std::string out;
  for (wchar_t unit : Utf16(utf8)) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit >= 0x0410 && unit <= 0x044F) {
      out += static_cast<char>(0xC0 + (unit - 0x0410));
    } else if (unit == 0x0401) {
      out += static_cast<char>(0xA8);
    } else if (unit == 0x0451) {
      out += static_cast<char>(0xB8);
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace deskfind::testing
