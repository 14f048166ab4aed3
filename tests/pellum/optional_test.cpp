// Layout and semantics of Optional: reflection code reads and writes the value and the flag in place.
#include <gtest/gtest.h>

#include <cstring>

#include "pellum/Optional.h"
#include "pellum/System/DateTime.h"

using Pellum::Optional;
using Pellum::OptionalLayout;

namespace {

template <class T> constexpr bool HasValueThenFlag() {
   return OptionalLayout<T>::valueOffset == 0 && OptionalLayout<T>::flagOffset == sizeof(T);
}

} // namespace

static_assert(HasValueThenFlag<int>() && HasValueThenFlag<long>() && HasValueThenFlag<double>() &&
              HasValueThenFlag<signed char>() && HasValueThenFlag<Pellum::System::DateTime>());
static_assert(sizeof(Optional<int>) == 8 && sizeof(Optional<long>) == 16 &&
              sizeof(Optional<signed char>) == 2);
static_assert(sizeof(Optional<Pellum::System::DateTime>) == 24);
static_assert(sizeof(Optional<std::string>) == sizeof(std::string) + alignof(std::string));

TEST(Optional, FlagByteFollowsTheValue) {
   Optional<long> value;
   unsigned char bytes[sizeof value];
   std::memcpy(bytes, &value, sizeof value);
   EXPECT_EQ(bytes[OptionalLayout<long>::flagOffset], 0);
   value = 42;
   std::memcpy(bytes, &value, sizeof value);
   EXPECT_EQ(bytes[OptionalLayout<long>::flagOffset], 1);
   long stored = 0;
   std::memcpy(&stored, bytes + OptionalLayout<long>::valueOffset, sizeof stored);
   EXPECT_EQ(stored, 42);
}

TEST(Optional, ResetClearsTheFlagAndKeepsTheValue) {
   Optional<std::string> text("kept");
   text.Reset();
   EXPECT_FALSE(text.IsSet());
   EXPECT_EQ(text.GetStored(), "kept");
   EXPECT_EQ(text.GetValueOr("fallback"), "fallback");
   try {
      text.GetValue();
      ADD_FAILURE() << "an unset value was read";
   } catch (const Pellum::Exception& e) {
      EXPECT_STREQ(e.what(), "the optional value is not set");
   }
   text.SetIsSet(true);
   EXPECT_EQ(text.GetValue(), "kept");
}

TEST(Optional, EqualityIgnoresTheValueOfUnsetOptionals) {
   Optional<int> a(1);
   Optional<int> b(2);
   EXPECT_FALSE(a == b);
   a.Reset();
   b.Reset();
   EXPECT_TRUE(a == b);
   b = 1;
   EXPECT_FALSE(a == b);
   a.Swap(b);
   EXPECT_TRUE(a.IsSet());
   EXPECT_EQ(a.GetValue(), 1);
   EXPECT_FALSE(b.IsSet());
   EXPECT_EQ(b.GetStored(), 1);
}
