#include "update/flow/version_dates.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace deskfind {
namespace {

constexpr std::string_view kIssuedLine = "issued ";
constexpr std::string_view kExpiresLine = "expires ";
constexpr std::size_t kTimeLength = 20;  // "YYYY-MM-DDTHH:MM:SSZ"
constexpr std::string_view kProgramLengthLine = "program-length ";
constexpr std::string_view kProgramSha256Line = "program-sha256 ";

// Calls `line` with each line after the first: a CR, an LF or the pair ends a line.
template <typename Line>
void ForEachLineAfterTheFirst(std::string_view fileBytes, Line line) {
  std::size_t end = fileBytes.find_first_of("\r\n");
  while (end != std::string_view::npos) {
    // One line break: CR LF counts as one.
    std::size_t start = end + 1;
    if (fileBytes[end] == '\r' && start < fileBytes.size() && fileBytes[start] == '\n') ++start;
    end = fileBytes.find_first_of("\r\n", start);
    line(fileBytes.substr(start, end - start));
  }
}

// Decimal digits without a sign or a leading zero, within 64 bits.
std::optional<std::uint64_t> ParseLength(std::string_view text) {
  if (text.empty() || (text[0] == '0' && text.size() > 1)) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// Exactly 64 lower-case hexadecimal digits.
std::optional<Sha256Digest> ParseSha256(std::string_view text) {
  Sha256Digest digest{};
  if (text.size() != 2 * digest.size()) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    int nibble = 0;
    if (c >= '0' && c <= '9') {
      nibble = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      nibble = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    digest[i / 2] = static_cast<std::uint8_t>(digest[i / 2] << 4 | nibble);
  }
  return digest;
}

// Takes the value of a line named `name` into `into`: a second line of the name, or one whose
// value does not read, marks the data malformed.
template <typename Value, typename Parse>
void Take(std::string_view line, std::string_view name, Parse parse, std::optional<Value>& into,
          bool& malformed) {
  if (line.substr(0, name.size()) != name) return;
  const std::optional<Value> value = parse(line.substr(name.size()));
  if (!value || into) malformed = true;
  into = value;
}

bool IsLeapYear(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(std::int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (Howard Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDay {
  std::int64_t year;
  int month;
  int day;
};

CivilDay CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const auto month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// The number written by text[from, from + count), all digits; -1 otherwise.
int Digits(std::string_view text, std::size_t from, std::size_t count) {
  int value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

void AppendDigits(std::string& text, std::int64_t value, int count) {
  std::string digits(static_cast<std::size_t>(count), '0');
  for (int i = count; i-- > 0; value /= 10) {
    digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  }
  text += digits;
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

}  // namespace

std::optional<UtcSeconds> ParseUtcTime(std::string_view text) {
  if (text.size() != kTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * kSecondsPerDay + UtcSeconds{hour} * 3600 +
         UtcSeconds{minute} * 60 + second;
}

std::string UtcTimeText(UtcSeconds moment) {
  const std::int64_t days = FloorDiv(moment, kSecondsPerDay);
  const std::int64_t seconds = moment - days * kSecondsPerDay;
  const CivilDay civil = CivilFromDays(days);
  std::string text;
  AppendDigits(text, civil.year, 4);
  text += '-';
  AppendDigits(text, civil.month, 2);
  text += '-';
  AppendDigits(text, civil.day, 2);
  text += 'T';
  AppendDigits(text, seconds / 3600, 2);
  text += ':';
  AppendDigits(text, seconds / 60 % 60, 2);
  text += ':';
  AppendDigits(text, seconds % 60, 2);
  text += 'Z';
  return text;
}

std::string DayText(UtcSeconds moment, std::int64_t utcOffset) {
  const CivilDay civil = CivilFromDays(FloorDiv(moment + utcOffset, kSecondsPerDay));
  std::string text;
  AppendDigits(text, civil.day, 2);
  text += '.';
  AppendDigits(text, civil.month, 2);
  text += '.';
  AppendDigits(text, civil.year, 4);
  return text;
}

std::optional<VersionDates> ReadVersionDates(std::string_view fileBytes) {
  std::optional<UtcSeconds> issued;
  std::optional<UtcSeconds> expires;
  bool malformed = false;
  // Only a named line that reads as a time counts; a named line that does not spoils the data.
  ForEachLineAfterTheFirst(fileBytes, [&](std::string_view line) {
    Take(line, kIssuedLine, ParseUtcTime, issued, malformed);
    Take(line, kExpiresLine, ParseUtcTime, expires, malformed);
  });
  if (malformed || !issued || !expires) return std::nullopt;
  return VersionDates{*issued, *expires};
}

std::optional<NamedProgram> ReadNamedProgram(std::string_view fileBytes) {
  std::optional<std::uint64_t> length;
  std::optional<Sha256Digest> sha256;
  bool malformed = false;
  ForEachLineAfterTheFirst(fileBytes, [&](std::string_view line) {
    Take(line, kProgramLengthLine, ParseLength, length, malformed);
    Take(line, kProgramSha256Line, ParseSha256, sha256, malformed);
  });
  if (malformed || !length || !sha256) return std::nullopt;
  return NamedProgram{*length, *sha256};
}

Freshness DecideFreshness(bool signedByShop, const std::optional<VersionDates>& dates,
                          std::optional<UtcSeconds> storedIssued, UtcSeconds releaseTime,
                          UtcSeconds now) {
  if (!signedByShop || !dates) return Freshness::kNotSigned;
  if (now >= dates->expires) return Freshness::kExpired;
  if (dates->issued > now && dates->issued - now > kSecondsPerDay) return Freshness::kClockBehind;
  const UtcSeconds newestAccepted = std::max(storedIssued.value_or(releaseTime), releaseTime);
  if (dates->issued < newestAccepted) return Freshness::kOlder;
  return Freshness::kAccepted;
}

}  // namespace deskfind
