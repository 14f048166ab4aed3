// Positional formatting and response-code constants.
#include <gtest/gtest.h>

#include "pellum/Http.h"
#include "pellum/Object.h"
#include "pellum/Print.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

using Pellum::ASPrint;
using Pellum::PrintFormatter;
using Pellum::Detail::ASPrintInternal;

namespace {

struct Named : Pellum::ObjectImpl {
   std::string ToString() const override { return "vm-42"; }
};

enum class Color : short { Red = 3 };

} // namespace

TEST(ASPrint, PlaceholdersAreReorderedRepeatedOrKept) {
   EXPECT_EQ(ASPrint("%2 of %1 (%2%%)", "vm-42", 80), "80 of vm-42 (80%)");
   EXPECT_EQ(ASPrint("%1%1%1", 'x'), "xxx");
   // Missing arguments and anything that is not a placeholder stay as written.
   EXPECT_EQ(ASPrint("%1 and %3", "one", "two"), "one and %3");
   EXPECT_EQ(ASPrint("%0 %a 100%"), "%0 %a 100%");
   EXPECT_EQ(ASPrint("%%1 is literal"), "%1 is literal");
   // Only one digit is read: %10 is the first argument followed by '0'.
   EXPECT_EQ(ASPrint("%10", 5), "50");
   EXPECT_EQ(ASPrint("%9", 1, 2, 3, 4, 5, 6, 7, 8, 9), "9");
   EXPECT_EQ(ASPrint(""), "");
   EXPECT_THROW(ASPrintInternal(nullptr, PrintFormatter()), Pellum::Exception);
}

TEST(ASPrint, ArgumentsRenderByType) {
   const char* nullText = nullptr;
   std::string_view view = "view";
   EXPECT_EQ(
       ASPrint("%1 %2 %3 %4", true, static_cast<signed char>(-5), static_cast<unsigned char>(200), nullText),
       "true -5 200 (null)");
   EXPECT_EQ(ASPrint("%1 %2 %3", 0.1, 0.1f, 1e300), "0.1 0.1 1e+300");
   EXPECT_EQ(ASPrint("%1|%2|%3", view, std::string("str"), Color::Red), "view|str|3");
   EXPECT_EQ(ASPrint("%1 %2", -9223372036854775807L - 1, 18446744073709551615UL),
             "-9223372036854775808 18446744073709551615");

   Pellum::Ref<Named> named(new Named);
   Pellum::Ref<Named> none;
   EXPECT_EQ(ASPrint("%1 %2 %3", named, none, *named), "vm-42 (null) vm-42");
   EXPECT_EQ(ASPrint("at %1", Pellum::System::DateTime::FromUtcTime(0)), "at 1970-01-01T00:00:00Z");

   PrintFormatter args;
   args << "a" << 2 << Pellum::Http::ResponseCode::NotFound;
   ASSERT_EQ(args.size(), 3u);
   EXPECT_EQ(ASPrintInternal("%3/%2/%1", args), "404 Not Found/2/a");
}

TEST(Http, ResponseCodesAreFoundByNumberAndRendered) {
   using Pellum::Http::ResponseCode;
   EXPECT_EQ(ResponseCode::InternalServerError.ToString(), "500 Internal Server Error");
   for (const auto& [code, constant] :
        {std::pair{401, &ResponseCode::Unauthorized}, std::pair{403, &ResponseCode::Forbidden},
         std::pair{404, &ResponseCode::NotFound}}) {
      EXPECT_EQ(ResponseCode::Find(code), constant) << code;
   }
   EXPECT_EQ(ResponseCode::Find(418), nullptr);
}
