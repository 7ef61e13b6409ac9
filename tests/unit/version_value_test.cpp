#include "update/flow/version_value.h"

#include <array>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "update/flow/version_dates.h"

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

// 2026-12-09T10:00:00Z and the days around it.
constexpr UtcSeconds kDay = kSecondsPerDay;
constexpr UtcSeconds kIssued = 1796810400;

TEST(UtcTime, ReadsOnlyRealMomentsInTheOneForm) {
  const std::tuple<const char*, std::optional<UtcSeconds>> cases[] = {
      {"2026-12-09T10:00:00Z", kIssued},
      {"1970-01-01T00:00:00Z", 0},
      {"2000-02-29T00:00:00Z", 951782400},  // a leap year that is a multiple of 400
      {"2028-02-29T23:59:59Z", 1835481599},
      {"2026-02-29T00:00:00Z", std::nullopt},  // 29 February of a common year
      {"2100-02-29T00:00:00Z", std::nullopt},  // a century that is no leap year
      {"2026-04-31T00:00:00Z", std::nullopt},
      {"2026-13-01T00:00:00Z", std::nullopt},
      {"2026-00-10T00:00:00Z", std::nullopt},
      {"2026-12-00T00:00:00Z", std::nullopt},
      {"2026-12-09T24:00:00Z", std::nullopt},
      {"2026-12-09T10:60:00Z", std::nullopt},
      {"2026-12-09T10:00:60Z", std::nullopt},  // no leap seconds
      {"2026-12-09T10:00:00", std::nullopt},
      {"2026-12-09T10:00:00+00:00", std::nullopt},
      {"2026-12-09 10:00:00Z", std::nullopt},
      {"2026-12-9T10:00:00Z", std::nullopt},
      {"2026-12-09T10:00:00.5Z", std::nullopt},
      {"2026-12-09T10:00:00Z ", std::nullopt},
      {" 2026-12-09T10:00:00Z", std::nullopt},
      {"+026-12-09T10:00:00Z", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, moment] : cases) EXPECT_EQ(ParseUtcTime(text), moment) << text;
  for (const UtcSeconds moment : {UtcSeconds{0}, kIssued, UtcSeconds{951782400}, 253402300799}) {
    EXPECT_EQ(ParseUtcTime(UtcTimeText(moment)), moment) << moment;
  }
  EXPECT_EQ(DayText(kIssued), "09.12.2026");
  EXPECT_EQ(DayText(951782400 + kDay - 1), "29.02.2000");
  // The customer's own day: 22:00 UTC is the next day in Moscow, midnight UTC the day before
  // in New York.
  EXPECT_EQ(DayText(kIssued + 12 * 3600, 3 * 3600), "10.12.2026");
  EXPECT_EQ(DayText(kIssued - 10 * 3600, -5 * 3600), "08.12.2026");
}

TEST(VersionDates, ReadsOneIssuedAndOneExpiresLineAfterTheFirst) {
  using namespace std::string_literals;
  const VersionDates dates{kIssued, kIssued + 45 * kDay};
  const std::string issued = "issued 2026-12-09T10:00:00Z";
  const std::string expires = "expires 2027-01-23T10:00:00Z";
  const std::string longLine(70000, 'x');
  const std::tuple<std::string, std::optional<VersionDates>> cases[] = {
      {"1,1\r\n" + issued + "\r\n" + expires + "\r\n", dates},
      {"1,1\n" + issued + "\n" + expires, dates},
      {"1,1\r" + issued + "\r" + expires + "\r", dates},
      {"1,1\r\n" + expires + "\r\n\r\n" + issued + "\n", dates},  // either order, empty lines
      {"1,1\r\nnotes\r\n" + issued + "\r\n" + longLine + "\r\n" + expires, dates},
      {longLine + "\r\n" + issued + "\r\n" + expires, dates},
      {"1,1\r\n" + issued + "\r\n", std::nullopt},
      {"1,1\r\n" + expires + "\r\n", std::nullopt},
      {"1,1", std::nullopt},
      {"", std::nullopt},
      // The first line is the version text, whatever it says.
      {issued + "\r\n" + expires, std::nullopt},
      {"1,1\r\n" + issued + "\r\n" + issued + "\r\n" + expires, std::nullopt},
      {"1,1\r\n" + issued + "\r\n" + expires + "\r\n" + expires, std::nullopt},
      {"1,1\r\n" + issued + "\r\nexpires 2027-02-29T10:00:00Z", std::nullopt},
      {"1,1\r\n" + issued + "\r\nexpires 2027-01-23", std::nullopt},
      {"1,1\r\n" + issued + "\r\nexpires  2027-01-23T10:00:00Z", std::nullopt},
      {"1,1\r\n" + issued + "\r\nexpires 2027-01-23T10:00:00Z" + longLine, std::nullopt},
      {"1,1\r\n" + issued + "\r\n" + expires + "\0"s, std::nullopt},
      {"1,1\r\nIssued 2026-12-09T10:00:00Z\r\n" + expires, std::nullopt},
  };
  for (const auto& [file, expected] : cases) {
    EXPECT_EQ(ReadVersionDates(file), expected) << file.substr(0, 80);
  }
}

TEST(VersionDates, NameTheProgramByOneLengthAndOneSha256Line) {
  using namespace std::string_literals;
  const std::string hex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
  const NamedProgram program{612345,
                             {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa,
                              0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                              0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff}};
  const std::string length = "program-length 612345";
  const std::string sha256 = "program-sha256 " + hex;
  std::string upper = sha256;
  for (char& c : upper) c = c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
  const std::vector<std::pair<std::string, std::optional<NamedProgram>>> cases = {
      {"1,1\r\n" + length + "\r\n" + sha256 + "\r\n", program},
      {"1,1\n" + sha256 + "\nissued x\n" + length, program},
      {"1,1\r\n" + length + "\r\n", std::nullopt},
      {"1,1\r\n" + sha256 + "\r\n", std::nullopt},
      {"1,1\r\n" + length + "\r\n" + length + "\r\n" + sha256, std::nullopt},
      {"1,1\r\n" + length + "\r\n" + sha256 + "\r\n" + sha256, std::nullopt},
      {"1,1\r\n" + length + "\r\n" + upper, std::nullopt},
      {"1,1\r\n" + length + "\r\nprogram-sha256 " + hex.substr(1), std::nullopt},
      {"1,1\r\n" + length + "\r\nprogram-sha256 " + hex + "0", std::nullopt},
      {"1,1\r\nprogram-length +612345\r\n" + sha256, std::nullopt},
      {"1,1\r\nprogram-length -1\r\n" + sha256, std::nullopt},
      {"1,1\r\nprogram-length 0612345\r\n" + sha256, std::nullopt},
      {"1,1\r\nprogram-length 612345 \r\n" + sha256, std::nullopt},
      {"1,1\r\nprogram-length 18446744073709551616\r\n" + sha256, std::nullopt},
      {"1,1\r\nprogram-length 18446744073709551615\r\n" + sha256,
       NamedProgram{18446744073709551615u, program.sha256}},
      {length + "\r\n" + sha256, std::nullopt},  // the first line is the version's
  };
  for (const auto& [file, expected] : cases) {
    EXPECT_EQ(ReadNamedProgram(file), expected) << file.substr(0, 90);
  }
}

TEST(Freshness, ChecksSignatureExpiryClockAndAgeInThisOrder) {
  const std::optional<UtcSeconds> none;
  const VersionDates dates{kIssued, kIssued + 45 * kDay};
  const UtcSeconds now = kIssued + kDay;
  struct Case {
    const char* name;
    bool signedByShop;
    std::optional<VersionDates> dates;
    std::optional<UtcSeconds> stored;
    UtcSeconds releaseTime;
    UtcSeconds now;
    Freshness outcome;
  };
  const Case cases[] = {
      {"fresh", true, dates, none, 0, now, Freshness::kAccepted},
      {"the same issued again", true, dates, kIssued, 0, now, Freshness::kAccepted},
      {"newer than the stored", true, dates, kIssued - 1, 0, now, Freshness::kAccepted},
      {"issued at the release", true, dates, none, kIssued, now, Freshness::kAccepted},
      {"not signed", false, dates, none, 0, now, Freshness::kNotSigned},
      {"no dates", true, std::nullopt, none, 0, now, Freshness::kNotSigned},
      {"not signed and expired", false, VersionDates{0, 1}, none, 0, now, Freshness::kNotSigned},
      {"expires now", true, dates, none, 0, dates.expires, Freshness::kExpired},
      {"expired", true, dates, none, 0, dates.expires + 1, Freshness::kExpired},
      {"expired and older", true, dates, kIssued + 1, 0, dates.expires, Freshness::kExpired},
      {"a day ahead of the clock", true, dates, none, 0, kIssued - kDay, Freshness::kAccepted},
      {"more than a day ahead", true, dates, none, 0, kIssued - kDay - 1, Freshness::kClockBehind},
      {"ahead and older", true, dates, kIssued + 1, 0, kIssued - kDay - 1, Freshness::kClockBehind},
      {"older than the stored", true, dates, kIssued + 1, 0, now, Freshness::kOlder},
      {"older than the release", true, dates, none, kIssued + 1, now, Freshness::kOlder},
      {"stored below the release", true, dates, kIssued - kDay, kIssued + 1, now,
       Freshness::kOlder},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideFreshness(c.signedByShop, c.dates, c.stored, c.releaseTime, c.now), c.outcome)
        << c.name;
  }
}

// The version a file's name carries and the file version it must have sort alike.
TEST(FileVersionOf, IsTheWholePartThenTheFourDecimalPlaces) {
  using FileVersion = std::optional<std::array<std::uint16_t, 4>>;
  EXPECT_EQ(FileVersionOf(*Comma("1,1")), FileVersion({1, 1000, 0, 0}));
  EXPECT_EQ(FileVersionOf(*Comma("1,05")), FileVersion({1, 500, 0, 0}));
  EXPECT_EQ(FileVersionOf(*Comma("1,0001")), FileVersion({1, 1, 0, 0}));
  EXPECT_EQ(FileVersionOf(*Comma("2")), FileVersion({2, 0, 0, 0}));
  EXPECT_EQ(FileVersionOf(*Comma("1,9999")), FileVersion({1, 9999, 0, 0}));
  EXPECT_EQ(FileVersionOf(*Comma("65535,5")), FileVersion({65535, 5000, 0, 0}));
  EXPECT_LT(*FileVersionOf(*Comma("1,09")), *FileVersionOf(*Comma("1,1")));
  EXPECT_EQ(FileVersionOf(kCurrentVersion),
            FileVersion({DESKFIND_VERSION_MAJOR, DESKFIND_VERSION_MINOR, 0, 0}));
  // No file version carries these.
  EXPECT_EQ(FileVersionOf(*Comma("65536")), std::nullopt);
  EXPECT_EQ(FileVersionOf(*Comma("-1,1")), std::nullopt);
}

}  // namespace
}  // namespace deskfind
