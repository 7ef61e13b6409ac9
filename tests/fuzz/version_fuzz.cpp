// Feeds arbitrary bytes through FirstLine and ParseVersion and checks every answer against a
// reference written differently: a regular expression for the accepted form and 128-bit
// division for the rounding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "update/flow/version_value.h"

namespace deskfind {
namespace {

__extension__ typedef unsigned __int128 Wide;

// Longer lines are only run through the parser: std::regex recurses per character.
constexpr std::size_t kMaxCheckedLength = 300;
constexpr int kWideDigits = 38;  // 10^38 < 2^128

struct Separator {
  std::string_view text;
  std::regex form;  // groups: 1 sign, 2 whole digits, 3 fraction digits, 4 exponent
};

// "." and "," are separators in every locale, besides the locale's own.
std::regex FormFor(const std::string& escapedSeparator) {
  return std::regex("^ *([+-]?)([0-9]*)(?:(?:" + escapedSeparator +
                    "|\\.|,)([0-9]*))?(?:[eE]([+-]?[0-9]+))? *$");
}

const Separator* Separators() {
  static const Separator separators[] = {
      {",", FormFor(",")}, {".", FormFor("\\.")}, {"\xD9\xAB", FormFor("\xD9\xAB")}};
  return separators;
}

Wide PowerOfTen(int n) {
  Wide value = 1;
  while (n-- > 0) value *= 10;
  return value;
}

[[noreturn]] void Fail(const char* what, std::string_view line, std::string_view separator) {
  std::fprintf(stderr, "%s: line \"%.*s\" separator \"%.*s\"\n", what,
               static_cast<int>(line.size()), line.data(), static_cast<int>(separator.size()),
               separator.data());
  std::abort();
}

// The value of a line the form accepts, or nullopt when it is out of range.
std::optional<VersionValue> Reference(const std::smatch& parts) {
  const bool negative = parts[1] == "-";
  const std::string whole = parts[2], fraction = parts[3];
  std::string digits = whole + fraction;
  digits.erase(0, digits.find_first_not_of('0'));
  if (digits.empty()) return VersionValue{0};

  // An exponent this long decides the outcome by its sign alone for lines of checked length.
  std::string exponentText = parts[4];
  const bool negativeExponent = !exponentText.empty() && exponentText[0] == '-';
  if (!exponentText.empty() && (exponentText[0] == '-' || exponentText[0] == '+')) {
    exponentText.erase(0, 1);
  }
  exponentText.erase(0, exponentText.find_first_not_of('0'));
  if (exponentText.size() > 6) {
    if (negativeExponent) return VersionValue{0};
    return std::nullopt;
  }
  long exponent = exponentText.empty() ? 0 : std::stol(exponentText);
  if (negativeExponent) exponent = -exponent;

  // value * 10^4 = digits * 10^shift, and the result has about digits + shift whole digits.
  long shift = exponent - static_cast<long>(fraction.size()) + 4;
  const long order = static_cast<long>(digits.size()) + shift;  // 10^(order-1) <= value < 10^order
  if (order > 20) return std::nullopt;
  if (order < 0) return VersionValue{0};

  // Keep at most kWideDigits digits; any non-zero digit cut off only breaks a tie.
  bool sticky = false;
  if (static_cast<int>(digits.size()) > kWideDigits) {
    sticky = digits.find_first_not_of('0', kWideDigits) != std::string::npos;
    shift += static_cast<long>(digits.size()) - kWideDigits;
    digits.resize(kWideDigits);
  }
  Wide mantissa = 0;
  for (char c : digits) mantissa = mantissa * 10 + static_cast<Wide>(c - '0');

  Wide rounded;
  if (shift >= 0) {
    rounded = mantissa * PowerOfTen(static_cast<int>(shift));  // order <= 20 keeps it small
  } else {
    const Wide divisor = PowerOfTen(static_cast<int>(-shift));
    const Wide quotient = mantissa / divisor, twiceRemainder = mantissa % divisor * 2;
    const bool up =
        twiceRemainder > divisor || (twiceRemainder == divisor && (sticky || quotient % 2 == 1));
    rounded = quotient + (up ? 1 : 0);
  }
  const Wide limit =
      static_cast<Wide>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  if (rounded > limit) return std::nullopt;
  const auto low = static_cast<std::uint64_t>(rounded);
  return VersionValue{negative ? static_cast<std::int64_t>(0 - low)
                               : static_cast<std::int64_t>(low)};
}

}  // namespace
}  // namespace deskfind

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace deskfind;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string line = FirstLine(bytes);
  if (line.size() > bytes.size() || bytes.compare(0, line.size(), line) != 0 ||
      line.find_first_of("\r\n") != std::string::npos ||
      (line.size() < bytes.size() && bytes[line.size()] != '\r' && bytes[line.size()] != '\n')) {
    Fail("FirstLine", line, "");
  }

  for (int i = 0; i < 3; ++i) {
    const Separator& separator = Separators()[i];
    const std::optional<VersionValue> parsed = ParseVersion(line, separator.text);
    if (line.size() > kMaxCheckedLength) continue;

    std::smatch parts;
    std::optional<VersionValue> expected;
    // The form's digit groups may both be empty; the parser needs a digit in one of them.
    if (std::regex_match(line, parts, separator.form) &&
        (parts[2].length() + parts[3].length()) > 0) {
      expected = Reference(parts);
    }
    if (parsed != expected) Fail("ParseVersion disagrees with the reference", line, separator.text);
  }
  return 0;
}
