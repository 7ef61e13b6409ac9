#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "deskfind_version.h"

namespace deskfind {

// A version number as a fixed-point value with four decimal places: 1,1 is stored as 11000.
struct VersionValue {
  static constexpr std::int64_t kScale = 10000;

  std::int64_t scaled = 0;

  friend constexpr bool operator==(VersionValue a, VersionValue b) { return a.scaled == b.scaled; }
  friend constexpr bool operator!=(VersionValue a, VersionValue b) { return a.scaled != b.scaled; }
  friend constexpr bool operator<(VersionValue a, VersionValue b) { return a.scaled < b.scaled; }
  friend constexpr bool operator>(VersionValue a, VersionValue b) { return a.scaled > b.scaled; }
};

// The version of this build of the program: the project's version, as FILEVERSION has it.
inline constexpr VersionValue kCurrentVersion{DESKFIND_VERSION_MAJOR * VersionValue::kScale +
                                              DESKFIND_VERSION_MINOR};

// The text before the first CR or LF (the whole text when there is none), untrimmed.
std::string FirstLine(std::string_view fileBytes);

// Reads a number written as
//   blanks* [+|-] mantissa [(E|e) [+|-] digits] blanks*
// where a blank is the space character and the mantissa is digits, optionally followed by one
// decimal separator and more digits, with at least one digit on either side of the separator
// ("1," and ",5" are numbers, "," is not). The separator is "." or "," whatever the locale (the
// shop has one version file for customers of every locale), or decimalSeparator, the locale's
// own, when that is something else. The value is rounded exactly to four decimals, half to
// even. Anything else, and values outside the range of VersionValue, give nullopt.
std::optional<VersionValue> ParseVersion(std::string_view text, std::string_view decimalSeparator);

inline bool IsNewer(VersionValue value) { return value > kCurrentVersion; }

// The file version (most significant part first) that a program of version `value` carries:
// the whole part, then the four decimal places as a number ("1,1" is 1.1000.0.0, "1,05"
// 1.500.0.0), so that both orders agree. nullopt for a value no file version can carry.
std::optional<std::array<std::uint16_t, 4>> FileVersionOf(VersionValue value);

}  // namespace deskfind
