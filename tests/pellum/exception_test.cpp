// Exceptions: message, captured call stack, copies and clones that keep the dynamic type; Panic; the
// positional formatting of messages and the response-code constants.
#include <gtest/gtest.h>

#include "pellum/Exception.h"
#include "pellum/Http.h"
#include "pellum/Object.h"
#include "pellum/Optional.h"
#include "pellum/Panic.h"
#include "pellum/Print.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

using Pellum::ASPrint;
using Pellum::Exception;
using Pellum::PrintFormatter;
using Pellum::TypeMismatchException;
using Pellum::Detail::ASPrintInternal;

namespace {

struct LocalPayload {};

template <class T> struct Box {};

struct Named : Pellum::ObjectImpl {
   std::string ToString() const override { return "vm-42"; }
};

enum class Color : short { Red = 3 };

} // namespace

TEST(Exception, MessageAndCallStackSurviveCopies) {
   const Exception original(std::string("disk full on datastore-7"));
   EXPECT_STREQ(original.what(), "disk full on datastore-7");

   const std::string where = original.Where();
   ASSERT_FALSE(where.empty());
   EXPECT_EQ(where.rfind("#0 0x", 0), 0u) << where;
   // Frames of the test executable are named by module and offset even without dynamic symbols.
   EXPECT_NE(where.find("(pellum_tests+0x"), std::string::npos) << where;

   Exception copy = original;
   EXPECT_STREQ(copy.what(), original.what());
   EXPECT_EQ(copy.Where(), where);
   Exception assigned("other");
   assigned = copy;
   EXPECT_EQ(assigned.GetMessage(), "disk full on datastore-7");
   EXPECT_EQ(assigned.Where(), where);

   const std::string dump = original.Dump();
   EXPECT_EQ(dump, "Pellum::Exception: disk full on datastore-7\n" + where);
}

TEST(Exception, TypeMismatchNamesBothTypesReadablyAndTheThrowerIsOnTheStack) {
   try {
      Pellum::ThrowTypeMismatchException(typeid(Box<LocalPayload>), typeid(std::vector<int>));
      FAIL() << "ThrowTypeMismatchException returned";
   } catch (const TypeMismatchException& e) {
      const std::string message = "type mismatch: expected (anonymous namespace)::Box<(anonymous "
                                  "namespace)::LocalPayload>, got std::vector<int, std::allocator<int> >";
      EXPECT_EQ(e.what(), message);
      EXPECT_EQ(e.Dump().rfind("Pellum::TypeMismatchException: " + message + "\n", 0), 0u);
      // Exported functions are named on the stack.
      EXPECT_NE(
          e.Where().find("Pellum::ThrowTypeMismatchException(std::type_info const&, std::type_info const&)"),
          std::string::npos)
          << e.Where();
   }
   EXPECT_EQ(Pellum::DemangleTypeName(typeid(LocalPayload)), "(anonymous namespace)::LocalPayload");
   EXPECT_EQ(Pellum::DemangleTypeName(typeid(Pellum::Optional<long>)), "Pellum::Optional<long>");
}

TEST(Exception, CloneAndThrowKeepTheDynamicType) {
   const TypeMismatchException mismatch(typeid(std::string), typeid(long));
   const Exception& asBase = mismatch;

   std::unique_ptr<Exception> clone(asBase.Clone());
   auto* typed = dynamic_cast<TypeMismatchException*>(clone.get());
   ASSERT_NE(typed, nullptr);
   EXPECT_EQ(typed->GetExpected(), typeid(std::string));
   EXPECT_EQ(typed->GetActual(), typeid(long));
   EXPECT_STREQ(typed->what(), mismatch.what());
   EXPECT_EQ(typed->Where(), mismatch.Where());

   try {
      clone->Throw();
   } catch (const TypeMismatchException& caught) {
      EXPECT_EQ(caught.GetActual(), typeid(long));
      EXPECT_EQ(caught.Where(), mismatch.Where());
   }

   const Exception plain("plain");
   std::unique_ptr<Exception> plainClone(plain.Clone());
   const Exception& plainCloneRef = *plainClone;
   EXPECT_EQ(typeid(plainCloneRef), typeid(Exception));
   EXPECT_THROW(plain.Throw(), Exception);
}

TEST(PanicDeathTest, WritesTheMessageAndAborts) {
   EXPECT_DEATH(Panic("NOT_REACHED %s:%d \n", "faults/MethodFault.cpp", 170),
                "PANIC: NOT_REACHED faults/MethodFault.cpp:170");
   EXPECT_DEATH(Pellum::Panic("%d items", 3), "PANIC: 3 items\n");
}

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
