#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "deskfind_version.h"

namespace deskfind {

// A moment as seconds since 1970-01-01T00:00:00Z.
using UtcSeconds = std::int64_t;
inline constexpr UtcSeconds kSecondsPerDay = UtcSeconds{24} * 60 * 60;

// The lowest `issued` this copy accepts: the time of its own release (SOURCE_DATE_EPOCH when it
// was built; 0 for a development build), so that a fresh install cannot be given version data
// older than itself.
inline constexpr UtcSeconds kReleaseTime = DESKFIND_RELEASE_TIME;

// "2026-12-09T10:00:00Z" exactly: a real date of the Gregorian calendar and a time of day up to
// 23:59:59, in UTC. Anything else gives nullopt.
std::optional<UtcSeconds> ParseUtcTime(std::string_view text);
// The same form, for storing a moment that ParseUtcTime reads back.
std::string UtcTimeText(UtcSeconds moment);
// The calendar day of the moment, as the boxes show it: "09.12.2026". `utcOffset`, in seconds,
// is the customer's local time minus UTC at that moment: the day is the customer's own.
std::string DayText(UtcSeconds moment, std::int64_t utcOffset = 0);

// When the site's version data was made and until when it holds.
struct VersionDates {
  UtcSeconds issued = 0;
  UtcSeconds expires = 0;
  friend bool operator==(const VersionDates& a, const VersionDates& b) {
    return a.issued == b.issued && a.expires == b.expires;
  }
};

// The lines after the version file's first one (a CR, an LF or the pair ends a line): exactly one
// "issued <time>" and one "expires <time>" line, in either order. Other lines are left to later
// versions of the file; a second line of either name makes the data ambiguous. nullopt when
// either is missing, repeated or not a time that ParseUtcTime reads.
std::optional<VersionDates> ReadVersionDates(std::string_view fileBytes);

// The program file the version data names, byte for byte.
using Sha256Digest = std::array<std::uint8_t, 32>;
struct NamedProgram {
  std::uint64_t length = 0;
  Sha256Digest sha256{};
  friend bool operator==(const NamedProgram& a, const NamedProgram& b) {
    return a.length == b.length && a.sha256 == b.sha256;
  }
};

// The lines after the version file's first one: exactly one "program-length <N>" (decimal, no
// sign, no leading zero, within 64 bits) and one "program-sha256 <H>" (64 lower-case hexadecimal
// digits), in either order. nullopt when either is missing, repeated or malformed.
std::optional<NamedProgram> ReadNamedProgram(std::string_view fileBytes);

// What the checks of signed version data decide, first failure first.
enum class Freshness {
  kAccepted,
  kNotSigned,    // no valid signature of the shop, or no readable dates or program
  kExpired,      // `expires` has come
  kClockBehind,  // `issued` lies more than a day after this computer's clock
  kOlder,        // `issued` is before the newest accepted earlier, or before this release
};

// The checks in their order. `storedIssued` is the newest `issued` this computer accepted before
// (none yet: nullopt); `releaseTime` is the lowest `issued` this copy ever accepts. The same
// `issued` as the stored one passes: the site serves the same data until it is renewed.
Freshness DecideFreshness(bool signedByShop, const std::optional<VersionDates>& dates,
                          std::optional<UtcSeconds> storedIssued, UtcSeconds releaseTime,
                          UtcSeconds now);

}  // namespace deskfind
