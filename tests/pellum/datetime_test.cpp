// DateTime: the 64-bit UTC count, calendar arithmetic and the ISO-8601 text forms.
#include <gtest/gtest.h>

#include "pellum/Exception.h"
#include "pellum/System/DateTime.h"

using Pellum::System::DateTime;

constexpr int64_t kSecond = 1000000;

TEST(DateTime, CanonicalTextRoundTrips) {
   for (const char* text :
        {"1970-01-01T00:00:00Z", "2026-12-05T15:05:43.123456Z", "2026-12-05T17:05:43+02:00",
         "1969-12-31T23:59:59.999999Z", "0000-01-01T00:00:00Z", "9999-12-31T23:59:59.999999Z",
         "2000-02-29T12:00:00-05:30", "2024-03-10T01:02:03.5Z", "1900-03-01T00:00:00+14:00"}) {
      const DateTime parsed = DateTime::Parse(text);
      EXPECT_EQ(parsed.ToString(), text);
      EXPECT_EQ(DateTime::Parse(parsed.ToString()).GetUtcTime(), parsed.GetUtcTime()) << text;
   }
}

TEST(DateTime, UtcCountIsMicrosecondsSinceTheEpoch) {
   EXPECT_EQ(DateTime().GetUtcTime(), 0);
   EXPECT_EQ(DateTime().ToString(), "1970-01-01T00:00:00Z");
   EXPECT_EQ(DateTime::Parse("1969-12-31T23:59:59.5Z").GetUtcTime(), -kSecond / 2);

   const auto before = std::chrono::system_clock::now();
   const DateTime now = DateTime::Now();
   const auto after = std::chrono::system_clock::now();
   EXPECT_GE(now.GetUtcTime(),
             std::chrono::duration_cast<std::chrono::microseconds>(before.time_since_epoch()).count());
   EXPECT_LE(now.GetUtcTime(),
             std::chrono::duration_cast<std::chrono::microseconds>(after.time_since_epoch()).count());
}

TEST(DateTime, CalendarAgreesWithTheCLibrary) {
   // Every 7 hours 13 minutes 17 seconds from 1901 to 2099: fields and count must agree with gmtime.
   for (int64_t seconds = -2177452800; seconds < 4102444800; seconds += 7 * 3600 + 13 * 60 + 17) {
      const time_t t = static_cast<time_t>(seconds);
      std::tm expected{};
      ASSERT_NE(gmtime_r(&t, &expected), nullptr);
      const DateTime value = DateTime::FromUtcTime(seconds * kSecond + 250);
      const DateTime::Fields f = value.GetFields();
      ASSERT_EQ(std::tuple(f.year, f.month, f.day, f.hour, f.minute, f.second, f.microsecond),
                std::tuple(expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday, expected.tm_hour,
                           expected.tm_min, expected.tm_sec, 250))
          << seconds;
      ASSERT_EQ(DateTime::FromFields(f), value) << seconds;
   }
}

// Each row: two texts of the same instant.
TEST(DateTime, OffsetsAndTheUsualFormsParseToTheSameInstant) {
   const std::pair<const char*, const char*> rows[] = {
       {"2026-12-05T17:05:43+02:00", "2026-12-05T15:05:43Z"},
       {"2027-01-01T00:15:00+0045", "2026-12-31T23:30:00Z"},
       {"2026-06-01T00:00:00-09", "2026-06-01T09:00:00Z"},
       {"2026-12-05t15:05z", "2026-12-05T15:05:00Z"},
       {"2026-12-05 15:05", "2026-12-05T15:05:00Z"}, // no zone: UTC
       {"2026-12-05T15:05:00,25Z", "2026-12-05T15:05:00.25Z"},
       {"2026-12-05T15:05:00.123456789Z", "2026-12-05T15:05:00.123456Z"}, // beyond the microsecond: truncated
       {"2026-12-05", "2026-12-05T00:00:00Z"},
       // 2100 is no leap year (the years from 1901 to 2099 are compared with the C library).
       {"2100-02-28T23:00:00-01:00", "2100-03-01T00:00:00Z"},
   };
   for (const auto& [text, same] : rows) {
      EXPECT_EQ(DateTime::Parse(text).GetUtcTime(), DateTime::Parse(same).GetUtcTime()) << text;
   }
   const DateTime utc = DateTime::Parse("2026-12-05T15:05:43Z");
   EXPECT_EQ(DateTime::Parse(rows[0].first), utc);
   EXPECT_EQ(DateTime::Parse(rows[0].first).GetOffsetMinutes(), 120);
   EXPECT_LT(DateTime::Parse("2026-12-05T15:05:44+02:00"), utc);
   EXPECT_EQ(utc.WithOffset(-300).ToString(), "2026-12-05T10:05:43-05:00");
   // An offset can move the rendered date across a day, month and year boundary.
   EXPECT_EQ(DateTime::Parse("2026-12-31T23:30:00Z").WithOffset(45).ToString(), "2027-01-01T00:15:00+00:45");
   EXPECT_THROW(DateTime::FromUtcTime(0, 15 * 60), Pellum::Exception);
   EXPECT_THROW(utc.WithOffset(-841), Pellum::Exception);
}

TEST(DateTime, EveryCountRendersUpToTheEndsOfItsRange) {
   // The first and last instants of the 64-bit count, at the extreme offsets too: rendered without
   // overflow, and their fields give the same instant back.
   const struct {
      int64_t utc;
      int32_t offset;
      const char* text;
   } cases[] = {
       {INT64_MIN, 0, "-290308-12-21T19:59:05.224192Z"},
       {INT64_MIN, -840, "-290308-12-21T05:59:05.224192-14:00"},
       {INT64_MIN + 1, 840, "-290308-12-22T09:59:05.224193+14:00"},
       {INT64_MAX, 0, "294247-01-10T04:00:54.775807Z"},
       {INT64_MAX, 840, "294247-01-10T18:00:54.775807+14:00"},
       {INT64_MAX - 1, -840, "294247-01-09T14:00:54.775806-14:00"},
   };
   for (const auto& c : cases) {
      const DateTime value = DateTime::FromUtcTime(c.utc, c.offset);
      EXPECT_EQ(value.ToString(), c.text);
      EXPECT_EQ(DateTime::FromFields(value.GetFields()).GetUtcTime(), c.utc) << c.text;
   }
   // Fields one day beyond either end are refused, not wrapped, and so is a day a month does not have.
   for (const auto& [utc, days] : {std::pair{INT64_MIN, -1}, std::pair{INT64_MAX, 1},
                                   std::pair{DateTime::Parse("2023-02-28").GetUtcTime(), 1}}) {
      DateTime::Fields beyond = DateTime::FromUtcTime(utc).GetFields();
      beyond.day += days;
      EXPECT_THROW(DateTime::FromFields(beyond), Pellum::Exception) << utc;
   }
}

TEST(DateTime, BadInputNamesTheTextAndTheProblem) {
   const std::pair<const char*, const char*> cases[] = {
       {"", "the text is empty"},
       {"26-12-05", "expected 4 digits for the year at offset 0"},
       {"2026/12/05", "expected '-' after the year at offset 4"},
       {"2026-13-01", "month 13 is out of range 1..12"},
       {"2026-00-01", "month 0 is out of range 1..12"},
       {"2026-04-31", "day 31 does not exist in 2026-04"},
       {"1900-02-29", "day 29 does not exist in 1900-02"},
       {"2023-02-29T00:00:00Z", "day 29 does not exist in 2023-02"},
       {"2026-12-05X12:00", "expected 'T' after the date at offset 10"},
       {"2026-12-05T24:00:00Z", "hour 24 is out of range 0..23"},
       {"2026-12-05T12:60Z", "minute 60 is out of range 0..59"},
       {"2026-12-05T12:00:60Z", "second 60 is out of range 0..59"},
       {"2026-12-05T12:00:00.Z", "expected digits of the fraction of a second at offset 20"},
       {"2026-12-05T12:00:00.1234567890Z", "the fraction of a second has more than 9 digits"},
       {"2026-12-05T12:00:00+14:30", "offset +14:30 is beyond 14:00"},
       {"2026-12-05T12:00:00+02:75", "offset minutes 75 is out of range 0..59"},
       {"2026-12-05T12:00:00 UTC", "expected a time zone (Z, +hh:mm or -hh:mm) at offset 19"},
       {"2026-12-05T12:00:00Zjunk", "unexpected \"junk\" at offset 20"},
       {" 2026-12-05", "expected 4 digits for the year at offset 0"},
   };
   for (const auto& [text, problem] : cases) {
      try {
         DateTime::Parse(text);
         ADD_FAILURE() << text;
      } catch (const Pellum::Exception& e) {
         EXPECT_EQ(e.what(), std::string("invalid ISO-8601 date-time \"") + text + "\": " + problem);
      }
   }
}
