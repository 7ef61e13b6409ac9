#include "update/version_number.h"

#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace deskfind {

void PrintTo(VersionValue value, std::ostream* out) { *out << value.scaled << "/10000"; }

namespace {

using Parsed = std::optional<VersionValue>;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

Parsed Comma(std::string_view text) { return ParseVersion(text, ","); }
Parsed Dot(std::string_view text) { return ParseVersion(text, "."); }
Parsed Scaled(std::int64_t scaled) { return VersionValue{scaled}; }

TEST(FirstLine, EndsAtTheFirstCrLfOrCrLfAndKeepsBlanks) {
  EXPECT_EQ(FirstLine("1,1\r2"), "1,1");
  EXPECT_EQ(FirstLine("1,1\n2"), "1,1");
  EXPECT_EQ(FirstLine("1,1\r\n2\r\n"), "1,1");
  EXPECT_EQ(FirstLine(" 1,1 \t\n"), " 1,1 \t");
  EXPECT_EQ(FirstLine("\n1,1"), "");
  EXPECT_EQ(FirstLine("1,1"), "1,1");
  EXPECT_EQ(FirstLine(""), "");
}

TEST(FirstLine, IgnoresNulBytesAndInvalidUtf8AfterTheLineEnd) {
  using namespace std::string_literals;
  EXPECT_EQ(FirstLine("1,2\r\n\0\xFF\xC3(MZ\x90\0\0"s), "1,2");
  EXPECT_EQ(FirstLine("1,2\0\n"s), "1,2\0"s);  // a NUL in the line is not a line end
}

TEST(ParseVersion, AcceptsTheWrittenForms) {
  EXPECT_EQ(Comma("1"), Scaled(10000));
  EXPECT_EQ(Comma("1,0"), Scaled(10000));
  EXPECT_EQ(Comma("1,1"), Scaled(11000));
  EXPECT_EQ(Dot("1.1"), Scaled(11000));
  // One version file serves every locale: "." and "," whatever the locale's own separator.
  EXPECT_EQ(Comma("1.1"), Scaled(11000));
  EXPECT_EQ(Dot("1,1"), Scaled(11000));
  EXPECT_EQ(ParseVersion("1.25", "<>"), Scaled(12500));
  EXPECT_EQ(ParseVersion("1,25", "\xD9\xAB"), Scaled(12500));
  EXPECT_EQ(Comma(" 1 "), Scaled(10000));
  EXPECT_EQ(Dot("+1.5E0"), Scaled(15000));
  EXPECT_EQ(Comma("1e0"), Scaled(10000));
  EXPECT_EQ(Comma("-2"), Scaled(-20000));
  EXPECT_EQ(Comma("  -0,25e+1  "), Scaled(-25000));
  EXPECT_EQ(Comma("15E-1"), Scaled(15000));
  EXPECT_EQ(Comma("007,50"), Scaled(75000));
  EXPECT_EQ(Comma("-0"), Scaled(0));
  EXPECT_EQ(ParseVersion("1<>25", "<>"), Scaled(12500));
  EXPECT_EQ(ParseVersion("1\xD9\xAB"
                         "5",
                         "\xD9\xAB"),
            Scaled(15000));  // U+066B
}

// As a float reader does: digits on either side of the separator are enough.
TEST(ParseVersion, NeedsAMantissaDigitOnEitherSideOfTheSeparator) {
  EXPECT_EQ(Comma("1,"), Scaled(10000));
  EXPECT_EQ(Comma(",5"), Scaled(5000));
  EXPECT_EQ(Comma("-,5e1"), Scaled(-50000));
  for (const char* text : {",", "-,", ",e1", "e1", "+", " ", "1e", "1e+", "1,e"}) {
    EXPECT_EQ(Comma(text), std::nullopt) << '"' << text << '"';
  }
  EXPECT_EQ(ParseVersion("1", ""), Scaled(10000));  // the locale's separator unknown
  EXPECT_EQ(ParseVersion("1,5", ""), Scaled(15000));
  EXPECT_EQ(ParseVersion("1.5", ""), Scaled(15000));
}

TEST(ParseVersion, RejectsEverythingElse) {
  for (const char* text : {"", "1\t", "\t1", "1 000", "0x2", "1,1,1", "abc", "1a", "--1", "+-1",
                           "1e1,5", "1e1e1", "1\xC2\xA0",
                           "\xEF\xBB\xBF"
                           "1",
                           "1 ,1", "1, 1"}) {
    EXPECT_EQ(Comma(text), std::nullopt) << '"' << text << '"';
  }
  // Still one separator at most: thousands separators stay refused in every locale.
  for (const char* text : {"1.1,1", "1,1.1", "1.,1", "1,.1", "1,000.5", "1.000,5", "1..1"}) {
    EXPECT_EQ(Comma(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(Dot(text), std::nullopt) << '"' << text << '"';
  }
  EXPECT_EQ(ParseVersion("1<>5.5", "<>"), std::nullopt);
}

TEST(ParseVersion, RoundsExactlyToFourDecimalsHalfToEven) {
  EXPECT_EQ(Comma("1,00005"), Scaled(10000));
  EXPECT_EQ(Comma("1,00015"), Scaled(10002));
  EXPECT_EQ(Comma("1,00006"), Scaled(10001));
  EXPECT_EQ(Comma("1,000050000000000000000000001"), Scaled(10001));
  EXPECT_EQ(Comma("1,000049999999999999999999999"), Scaled(10000));
  EXPECT_EQ(Comma("-1,00015"), Scaled(-10002));
  EXPECT_EQ(Comma("-1,00025"), Scaled(-10002));
  EXPECT_EQ(Comma("0,00005"), Scaled(0));
  EXPECT_EQ(Comma("5e-5"), Scaled(0));
  EXPECT_EQ(Comma("15e-5"), Scaled(2));
  EXPECT_EQ(Comma("100005E-5"), Scaled(10000));
  EXPECT_EQ(Comma("0,0000999"), Scaled(1));  // carries into the kept digits
  EXPECT_EQ(Comma("0,99995"), Scaled(10000));
}

TEST(ParseVersion, HonoursTheRangeOfTheFixedPointValue) {
  EXPECT_EQ(Comma("922337203685477,5807"), Scaled(kMax));
  EXPECT_EQ(Comma("-922337203685477,5808"), Scaled(kMin));
  EXPECT_EQ(Comma("922337203685477,58074999"), Scaled(kMax));
  EXPECT_EQ(Comma("922337203685477,5808"), std::nullopt);
  EXPECT_EQ(Comma("922337203685477,58075"), std::nullopt);  // rounds up out of range
  EXPECT_EQ(Comma("-922337203685477,5809"), std::nullopt);
  EXPECT_EQ(Comma("1e15"), std::nullopt);
  EXPECT_EQ(Comma("1e999999999"), std::nullopt);
  EXPECT_EQ(Comma("1e" + std::string(5000, '9')), std::nullopt);
  EXPECT_EQ(Comma("1" + std::string(100000, '0')), std::nullopt);
  EXPECT_EQ(Comma("0e999999999"), Scaled(0));
  EXPECT_EQ(Comma("1e-99999"), Scaled(0));
  EXPECT_EQ(Comma("1e-" + std::string(5000, '9')), Scaled(0));
  EXPECT_EQ(Comma("0," + std::string(100000, '0') + "1e100003"), Scaled(1000000));
}

TEST(IsNewer, OnlyAboveVersionOne) {
  EXPECT_EQ(kCurrentVersion, Scaled(10000));
  EXPECT_FALSE(IsNewer(*Comma("1")));
  EXPECT_FALSE(IsNewer(*Comma("1,00005")));
  EXPECT_TRUE(IsNewer(*Comma("1,00006")));
  EXPECT_TRUE(IsNewer(*Comma("1,00015")));
  EXPECT_FALSE(IsNewer(*Comma("-2")));
}

}  // namespace
}  // namespace deskfind
