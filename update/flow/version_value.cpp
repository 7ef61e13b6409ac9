#include "update/flow/version_value.h"

#include <cstddef>
#include <limits>

namespace deskfind {
namespace {

constexpr int kDecimals = 4;         // VersionValue::kScale is ten to this power
constexpr int kMaxWholeDigits = 19;  // 10^19 is above any magnitude a VersionValue holds
// Exponents are clamped here while they are read. Any text that fits in memory has far fewer
// digits, so a clamped exponent still overflows, or still rounds to zero, as the true one does.
constexpr std::int64_t kExponentLimit = 1'000'000'000'000'000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int DigitValue(char c) { return c - '0'; }

// Multiplies the integer written by digits (no leading zeros) by 10^shift and rounds it to a
// whole number, half to even. nullopt when the result has more than kMaxWholeDigits digits.
std::optional<std::uint64_t> ScaleAndRound(std::string_view digits, std::int64_t shift) {
  const auto length = static_cast<std::int64_t>(digits.size());
  if (digits.empty()) return 0;
  if (shift >= 0) {
    if (length + shift > kMaxWholeDigits) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) value = value * 10 + static_cast<std::uint64_t>(DigitValue(c));
    for (std::int64_t i = 0; i < shift; ++i) value *= 10;
    return value;
  }
  const std::int64_t dropped = -shift;
  if (dropped > length) return 0;  // below a tenth of a unit
  const auto kept = static_cast<std::size_t>(length - dropped);
  if (kept > kMaxWholeDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < kept; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(DigitValue(digits[i]));
  }
  const char firstDropped = digits[kept];
  const bool restIsZero = digits.find_first_not_of('0', kept + 1) == std::string_view::npos;
  if (firstDropped > '5' || (firstDropped == '5' && (!restIsZero || value % 2 == 1))) {
    ++value;  // at most 10^19, still within std::uint64_t
  }
  return value;
}

}  // namespace

std::string FirstLine(std::string_view fileBytes) {
  return std::string(fileBytes.substr(0, fileBytes.find_first_of("\r\n")));
}

std::optional<VersionValue> ParseVersion(std::string_view text, std::string_view decimalSeparator) {
  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  };
  auto at = [&](char c) { return pos < text.size() && text[pos] == c; };
  auto atDigit = [&] { return pos < text.size() && IsDigit(text[pos]); };

  skipBlanks();
  bool negative = false;
  if (at('+') || at('-')) negative = text[pos++] == '-';

  // The mantissa's digits without leading zeros, and how many of all its digits follow the
  // separator.
  std::string digits;
  bool anyDigit = false;
  std::int64_t fractionDigits = 0;
  auto readDigits = [&](bool fraction) {
    for (; atDigit(); ++pos) {
      anyDigit = true;
      if (fraction) ++fractionDigits;
      if (!digits.empty() || text[pos] != '0') digits.push_back(text[pos]);
    }
  };
  readDigits(false);
  for (const std::string_view separator :
       {decimalSeparator, std::string_view("."), std::string_view(",")}) {
    if (!separator.empty() && text.compare(pos, separator.size(), separator) == 0) {
      pos += separator.size();
      readDigits(true);
      break;
    }
  }
  if (!anyDigit) return std::nullopt;

  std::int64_t exponent = 0;
  if (at('E') || at('e')) {
    ++pos;
    bool negativeExponent = false;
    if (at('+') || at('-')) negativeExponent = text[pos++] == '-';
    if (!atDigit()) return std::nullopt;
    for (; atDigit(); ++pos) {
      if (exponent < kExponentLimit) exponent = exponent * 10 + DigitValue(text[pos]);
    }
    if (negativeExponent) exponent = -exponent;
  }
  skipBlanks();
  if (pos != text.size()) return std::nullopt;

  const std::optional<std::uint64_t> magnitude =
      ScaleAndRound(digits, exponent - fractionDigits + kDecimals);
  if (!magnitude) return std::nullopt;
  constexpr auto kMaxPositive =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (*magnitude > kMaxPositive + (negative ? 1 : 0)) return std::nullopt;
  if (!negative) return VersionValue{static_cast<std::int64_t>(*magnitude)};
  if (*magnitude == kMaxPositive + 1) return VersionValue{std::numeric_limits<std::int64_t>::min()};
  return VersionValue{-static_cast<std::int64_t>(*magnitude)};
}

std::optional<std::array<std::uint16_t, 4>> FileVersionOf(VersionValue value) {
  constexpr std::int64_t kMaxPart = 0xFFFF;
  if (value.scaled < 0 || value.scaled / VersionValue::kScale > kMaxPart) return std::nullopt;
  return std::array<std::uint16_t, 4>{
      static_cast<std::uint16_t>(value.scaled / VersionValue::kScale),
      static_cast<std::uint16_t>(value.scaled % VersionValue::kScale), 0, 0};
}

}  // namespace deskfind
