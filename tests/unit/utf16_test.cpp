#include "platform/utf16.h"

#include <gtest/gtest.h>

namespace deskfind {
namespace {

TEST(Utf16, ConvertsRussianAndAsciiBothWays) {
  const std::string text = "Стол компьютерный x 96 см.\r";
  const std::wstring wide = Utf16(text);
  ASSERT_EQ(wide.size(), 27u);
  EXPECT_EQ(static_cast<unsigned>(wide[0]), 0x0421u);  // С
  EXPECT_EQ(static_cast<unsigned>(wide[18]), static_cast<unsigned>('x'));
  EXPECT_EQ(Utf8(wide), text);
}

TEST(Utf16, SurrogatePairsRoundTrip) {
  const std::string emoji = "\xF0\x9F\x99\x82";  // U+1F642
  const std::wstring wide = Utf16(emoji);
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(static_cast<unsigned>(wide[0]), 0xD83Du);
  EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xDE42u);
  EXPECT_EQ(Utf8(wide), emoji);
}

TEST(Utf16, MalformedInputBecomesReplacementCharacters) {
  // A cut-off sequence, a stray continuation byte, an overlong form and an encoded surrogate.
  for (const char* bad : {"\xD0", "\x80", "\xC0\xAF", "\xED\xA0\x80"}) {
    const std::wstring wide = Utf16(bad);
    ASSERT_FALSE(wide.empty()) << bad;
    EXPECT_EQ(static_cast<unsigned>(wide[0]), 0xFFFDu);
  }
  EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace deskfind
