// Exceptions: message, captured call stack, copies and clones that keep the dynamic type; Panic.
#include <gtest/gtest.h>

#include "pellum/Exception.h"
#include "pellum/Optional.h"
#include "pellum/Panic.h"

using Pellum::Exception;
using Pellum::TypeMismatchException;

namespace {

struct LocalPayload {};

template <class T> struct Box {};

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
