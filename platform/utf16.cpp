#include "platform/utf16.h"

namespace deskfind {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[pos], advancing pos past it.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  int trailing = 0;
  char32_t point = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    trailing = 1, point = lead & 0x1Fu, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    trailing = 2, point = lead & 0x0Fu, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    trailing = 3, point = lead & 0x07u, smallest = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < trailing; ++i) {
    if (pos >= text.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(text[pos]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    point = (point << 6) | (next & 0x3Fu);
    ++pos;
  }
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  if (point < smallest || point > 0x10FFFF || surrogate) return kReplacement;
  return point;
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::wstring Utf16(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t point = DecodeUtf8(utf8, pos);
    if (point >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(point);
    }
  }
  return out;
}

std::string Utf8(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const auto unit = static_cast<char32_t>(utf16[i]) & 0xFFFF;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size()) {
      const auto low = static_cast<char32_t>(utf16[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    const bool lone_surrogate = unit >= 0xD800 && unit <= 0xDFFF;
    AppendUtf8(out, lone_surrogate ? kReplacement : unit);
  }
  return out;
}

}  // namespace deskfind
