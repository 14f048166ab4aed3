// Pellum::System::DateTime: an instant in time, with the time-zone offset it is to be shown in.
//
// The value is 16 bytes: a signed 64-bit count of microseconds since 1970-01-01T00:00:00Z (UTC, leap
// seconds not counted), a signed 32-bit offset from UTC in minutes, and four reserved bytes that are
// always zero. The offset only affects rendering: two date-times are equal when their UTC counts are
// equal, whatever their offsets. A default-constructed DateTime is the epoch, in UTC.
//
// Text form (ISO-8601 extended format, proleptic Gregorian calendar):
//   ToString()  "2026-12-05T15:05:43.123456Z", "2026-12-05T17:05:43+02:00"
//               the fraction is left out when it is zero and has its trailing zeros removed otherwise;
//               offset 0 renders as "Z".
//   Parse()     YYYY-MM-DD, optionally followed by 'T' (or 't' or one space) and hh:mm, hh:mm:ss or
//               hh:mm:ss.fraction (1 to 9 digits; digits beyond microseconds are truncated), optionally
//               followed by a zone: Z, z, +hh:mm, -hh:mm, +hhmm or +hh. Without a zone the text is read as
//               UTC. Years 0000 to 9999, offsets up to 14:00. Anything else raises Pellum::Exception
//               naming the text and what is wrong with it.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "pellum/Export.h"

namespace Pellum::System {

class PELLUM_API DateTime {
public:
   static constexpr int64_t kMicrosPerSecond = 1000000;
   static constexpr int32_t kMaxOffsetMinutes = 14 * 60;

   // Broken-down calendar fields of a date-time in the offset it is shown in.
   struct Fields {
      int year = 1970;     // 0 to 9999 for values that render in the standard form
      int month = 1;       // 1..12
      int day = 1;         // 1..31
      int hour = 0;        // 0..23
      int minute = 0;      // 0..59
      int second = 0;      // 0..59
      int microsecond = 0; // 0..999999
      int offsetMinutes = 0;
   };

   constexpr DateTime() noexcept = default;

   // The instant `utcMicros` microseconds after the epoch, shown at `offsetMinutes` east of UTC.
   // Throws Pellum::Exception when the offset is outside ±14:00.
   static DateTime FromUtcTime(int64_t utcMicros, int32_t offsetMinutes = 0);
   // The instant of the given calendar fields (read in fields.offsetMinutes). Throws Pellum::Exception
   // naming the field when one is out of range (February 30th included).
   static DateTime FromFields(const Fields& fields);
   // The current time of the system clock, in UTC.
   static DateTime Now();
   // Reads the ISO-8601 text described above; throws Pellum::Exception on bad input.
   static DateTime Parse(std::string_view text);

   // Microseconds since 1970-01-01T00:00:00Z.
   constexpr int64_t GetUtcTime() const noexcept { return _utcMicros; }
   constexpr int32_t GetOffsetMinutes() const noexcept { return _offsetMinutes; }
   // The same instant shown at another offset (throws like FromUtcTime).
   DateTime WithOffset(int32_t offsetMinutes) const;
   // Calendar fields in this value's offset.
   Fields GetFields() const noexcept;

   std::string ToString() const;

   friend constexpr bool operator==(const DateTime& a, const DateTime& b) noexcept {
      return a._utcMicros == b._utcMicros;
   }
   friend constexpr std::strong_ordering operator<=>(const DateTime& a, const DateTime& b) noexcept {
      return a._utcMicros <=> b._utcMicros;
   }

private:
   int64_t _utcMicros = 0;
   int32_t _offsetMinutes = 0;
   int32_t _reserved = 0;
};

static_assert(sizeof(DateTime) == 16, "DateTime is 16 bytes: UTC count, offset, reserved");

PELLUM_API std::ostream& operator<<(std::ostream& out, const DateTime& value);

} // namespace Pellum::System
