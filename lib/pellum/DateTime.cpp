#include "pellum/System/DateTime.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Pellum::System {

namespace {

constexpr int64_t kMicrosPerMinute = 60 * DateTime::kMicrosPerSecond;
constexpr int64_t kMicrosPerDay = 24 * 60 * kMicrosPerMinute;

// Floor division and the matching non-negative remainder.
constexpr int64_t FloorDiv(int64_t a, int64_t b) {
   return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
constexpr int64_t DaysFromCivil(int64_t year, int month, int day) {
   year -= month <= 2 ? 1 : 0;
   const int64_t era = FloorDiv(year, 400);
   const int64_t yearOfEra = year - era * 400;
   const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
   const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
   return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
   int64_t year;
   int month;
   int day;
};

constexpr CivilDate CivilFromDays(int64_t days) {
   days += 719468;
   const int64_t era = FloorDiv(days, 146097);
   const int64_t dayOfEra = days - era * 146097;
   const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
   const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
   const int64_t mp = (5 * dayOfYear + 2) / 153;
   const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
   const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
   return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(2000, 3, 1) == 11017);
static_assert(CivilFromDays(-1).year == 1969 && CivilFromDays(-1).month == 12 && CivilFromDays(-1).day == 31);

constexpr bool IsLeapYear(int64_t year) {
   return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInMonth(int64_t year, int month) {
   constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
   return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

void CheckOffset(int32_t offsetMinutes) {
   if (offsetMinutes < -DateTime::kMaxOffsetMinutes || offsetMinutes > DateTime::kMaxOffsetMinutes) {
      throw Exception(ASPrint("date-time offset of %1 minutes is outside -14:00..+14:00", offsetMinutes));
   }
}

void CheckField(const char* name, int value, int low, int high) {
   if (value < low || value > high) {
      throw Exception(ASPrint("date-time %1 %2 is out of range %3..%4", name, value, low, high));
   }
}

// Reads the ISO-8601 forms documented in the header.
class Reader {
public:
   explicit Reader(std::string_view text) : _text(text) {}

   DateTime Read() {
      if (_text.empty()) {
         Fail("the text is empty");
      }
      DateTime::Fields f;
      f.year = Digits(4, "year");
      Expect('-', "'-' after the year");
      f.month = Digits(2, "month");
      InRange("month", f.month, 1, 12);
      Expect('-', "'-' after the month");
      f.day = Digits(2, "day");
      if (f.day < 1 || f.day > DaysInMonth(f.year, f.month)) {
         Fail(ASPrint("day %1 does not exist in %2-%3", f.day, Pad(f.year, 4), Pad(f.month, 2)));
      }
      if (AtEnd()) {
         return DateTime::FromFields(f);
      }
      if (Peek() != 'T' && Peek() != 't' && Peek() != ' ') {
         Fail(ASPrint("expected 'T' after the date at offset %1", _pos));
      }
      ++_pos;
      f.hour = Digits(2, "hour");
      InRange("hour", f.hour, 0, 23);
      Expect(':', "':' after the hour");
      f.minute = Digits(2, "minute");
      InRange("minute", f.minute, 0, 59);
      if (!AtEnd() && Peek() == ':') {
         ++_pos;
         f.second = Digits(2, "second");
         InRange("second", f.second, 0, 59);
         if (!AtEnd() && (Peek() == '.' || Peek() == ',')) {
            ++_pos;
            f.microsecond = Fraction();
         }
      }
      if (!AtEnd()) {
         f.offsetMinutes = Zone();
      }
      if (!AtEnd()) {
         Fail(ASPrint("unexpected \"%1\" at offset %2", _text.substr(_pos), _pos));
      }
      return DateTime::FromFields(f);
   }

private:
   [[noreturn]] void Fail(const std::string& what) const {
      throw Exception(ASPrint("invalid ISO-8601 date-time \"%1\": %2", _text, what));
   }

   static std::string Pad(int value, int width) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
      return buffer;
   }

   bool AtEnd() const { return _pos >= _text.size(); }
   char Peek() const { return _text[_pos]; }
   static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

   void Expect(char c, const char* what) {
      if (AtEnd() || Peek() != c) {
         Fail(ASPrint("expected %1 at offset %2", what, _pos));
      }
      ++_pos;
   }

   int Digits(int count, const char* field) {
      int value = 0;
      for (int i = 0; i < count; ++i) {
         if (AtEnd() || !IsDigit(Peek())) {
            Fail(ASPrint("expected %1 digits for the %2 at offset %3", count, field, _pos - i));
         }
         value = value * 10 + (Peek() - '0');
         ++_pos;
      }
      return value;
   }

   void InRange(const char* field, int value, int low, int high) const {
      if (value < low || value > high) {
         Fail(ASPrint("%1 %2 is out of range %3..%4", field, value, low, high));
      }
   }

   int Fraction() {
      const std::size_t start = _pos;
      int micros = 0;
      while (!AtEnd() && IsDigit(Peek())) {
         if (_pos - start < 6) {
            micros = micros * 10 + (Peek() - '0');
         }
         ++_pos;
      }
      const std::size_t digits = _pos - start;
      if (digits == 0) {
         Fail(ASPrint("expected digits of the fraction of a second at offset %1", start));
      }
      if (digits > 9) {
         Fail("the fraction of a second has more than 9 digits");
      }
      for (std::size_t i = digits; i < 6; ++i) {
         micros *= 10;
      }
      return micros;
   }

   int Zone() {
      const char sign = Peek();
      if (sign == 'Z' || sign == 'z') {
         ++_pos;
         return 0;
      }
      if (sign != '+' && sign != '-') {
         Fail(ASPrint("expected a time zone (Z, +hh:mm or -hh:mm) at offset %1", _pos));
      }
      ++_pos;
      const int hours = Digits(2, "offset hours");
      int minutes = 0;
      if (!AtEnd() && Peek() == ':') {
         ++_pos;
         minutes = Digits(2, "offset minutes");
      } else if (!AtEnd() && IsDigit(Peek())) {
         minutes = Digits(2, "offset minutes");
      }
      InRange("offset minutes", minutes, 0, 59);
      const int total = hours * 60 + minutes;
      if (total > DateTime::kMaxOffsetMinutes) {
         Fail(ASPrint("offset %1%2:%3 is beyond 14:00", sign, Pad(hours, 2), Pad(minutes, 2)));
      }
      return sign == '-' ? -total : total;
   }

   std::string_view _text;
   std::size_t _pos = 0;
};

} // namespace

DateTime DateTime::FromUtcTime(int64_t utcMicros, int32_t offsetMinutes) {
   CheckOffset(offsetMinutes);
   DateTime value;
   value._utcMicros = utcMicros;
   value._offsetMinutes = offsetMinutes;
   return value;
}

DateTime DateTime::FromFields(const Fields& f) {
   CheckField("month", f.month, 1, 12);
   if (f.day < 1 || f.day > DaysInMonth(f.year, f.month)) {
      throw Exception(
          ASPrint("date-time day %1 does not exist in month %2 of year %3", f.day, f.month, f.year));
   }
   CheckField("hour", f.hour, 0, 23);
   CheckField("minute", f.minute, 0, 59);
   CheckField("second", f.second, 0, 59);
   CheckField("microsecond", f.microsecond, 0, 999999);
   CheckOffset(f.offsetMinutes);
   // 128 bits: a year far enough from 1970 overflows the 64-bit count, which is refused below.
   const __int128 utc = __int128{DaysFromCivil(f.year, f.month, f.day)} * kMicrosPerDay +
                        ((int64_t{f.hour} * 60 + f.minute) * 60 + f.second) * kMicrosPerSecond +
                        f.microsecond - int64_t{f.offsetMinutes} * kMicrosPerMinute;
   if (utc < INT64_MIN || utc > INT64_MAX) {
      throw Exception(ASPrint("date-time year %1 is outside the range of the microsecond count", f.year));
   }
   return FromUtcTime(static_cast<int64_t>(utc), f.offsetMinutes);
}

DateTime DateTime::Now() {
   const auto since = std::chrono::system_clock::now().time_since_epoch();
   return FromUtcTime(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

DateTime DateTime::Parse(std::string_view text) {
   return Reader(text).Read();
}

DateTime DateTime::WithOffset(int32_t offsetMinutes) const {
   return FromUtcTime(_utcMicros, offsetMinutes);
}

DateTime::Fields DateTime::GetFields() const noexcept {
   // Split into whole days and the time of day first (the remainder, not days * kMicrosPerDay, which
   // leaves the 64-bit range at its ends), so that no sum can overflow.
   int64_t days = FloorDiv(_utcMicros, kMicrosPerDay);
   const int64_t remainder = _utcMicros % kMicrosPerDay;
   int64_t timeOfDay =
       (remainder < 0 ? remainder + kMicrosPerDay : remainder) + int64_t{_offsetMinutes} * kMicrosPerMinute;
   if (timeOfDay < 0) {
      timeOfDay += kMicrosPerDay;
      --days;
   } else if (timeOfDay >= kMicrosPerDay) {
      timeOfDay -= kMicrosPerDay;
      ++days;
   }
   const CivilDate date = CivilFromDays(days);
   Fields f;
   f.year = static_cast<int>(date.year);
   f.month = date.month;
   f.day = date.day;
   f.microsecond = static_cast<int>(timeOfDay % kMicrosPerSecond);
   const int64_t seconds = timeOfDay / kMicrosPerSecond;
   f.second = static_cast<int>(seconds % 60);
   f.minute = static_cast<int>(seconds / 60 % 60);
   f.hour = static_cast<int>(seconds / 3600);
   f.offsetMinutes = _offsetMinutes;
   return f;
}

std::string DateTime::ToString() const {
   const Fields f = GetFields();
   char buffer[64];
   int n = std::snprintf(buffer, sizeof buffer, "%s%04d-%02d-%02dT%02d:%02d:%02d", f.year < 0 ? "-" : "",
                         std::abs(f.year), f.month, f.day, f.hour, f.minute, f.second);
   std::string out(buffer, static_cast<std::size_t>(n));
   if (f.microsecond != 0) {
      std::snprintf(buffer, sizeof buffer, ".%06d", f.microsecond);
      std::string fraction = buffer;
      while (fraction.back() == '0') {
         fraction.pop_back();
      }
      out += fraction;
   }
   if (f.offsetMinutes == 0) {
      out += 'Z';
   } else {
      const int magnitude = std::abs(f.offsetMinutes);
      std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", f.offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                    magnitude % 60);
      out += buffer;
   }
   return out;
}

std::ostream& operator<<(std::ostream& out, const DateTime& value) {
   return out << value.ToString();
}

} // namespace Pellum::System
