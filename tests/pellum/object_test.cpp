// Reference counting of ObjectImpl and the ownership rules of Ref; the layout and semantics of Optional, whose
// value and flag reflection code reads and writes in place.
#include <gtest/gtest.h>

#include <cstring>

#include "pellum/Object.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

using Pellum::ObjectImpl;
using Pellum::Optional;
using Pellum::OptionalLayout;
using Pellum::Ref;

namespace {

struct Counted : ObjectImpl {
   explicit Counted(int* destroyed) : destroyed(destroyed) {}
   ~Counted() override { ++*destroyed; }
   int* destroyed;
};

struct Derived : Counted {
   using Counted::Counted;
   long payload[4] = {1, 2, 3, 4};
};

struct Readable : virtual Pellum::Object {};
struct Writable : virtual Pellum::Object {};
struct Implementation : Readable, Writable {
   explicit Implementation(int* destroyed) : destroyed(destroyed) {}
   ~Implementation() override { ++*destroyed; }
   int* destroyed;
};

class Refs : public ::testing::Test {
protected:
   int destroyed = 0;
};

template <class T> constexpr bool HasValueThenFlag() {
   return OptionalLayout<T>::valueOffset == 0 && OptionalLayout<T>::flagOffset == sizeof(T);
}

} // namespace

TEST_F(Refs, LastReleaseDestroysExactlyOnce) {
   auto* object = new Counted(&destroyed);
   EXPECT_EQ(object->GetRefCount(), 0);
   {
      Ref<Counted> first(object);
      EXPECT_EQ(object->GetRefCount(), 1);
      {
         Ref<Counted> second = first;
         Ref<Counted> third(object);
         EXPECT_EQ(object->GetRefCount(), 3);
      }
      EXPECT_EQ(object->GetRefCount(), 1);
      EXPECT_EQ(destroyed, 0);
   }
   EXPECT_EQ(destroyed, 1);
}

TEST_F(Refs, ToStringAndDestructionThroughTheBaseUseTheDynamicType) {
   Ref<ObjectImpl> base(new Derived(&destroyed));
   EXPECT_EQ(base->ToString(), "(anonymous namespace)::Derived");
   base = nullptr; // the deleting destructor of the dynamic type (AddressSanitizer checks the sized delete)
   EXPECT_EQ(destroyed, 1);
}

TEST_F(Refs, CopyStartsWithoutReferences) {
   Counted original(&destroyed);
   original.IncRef();
   original.IncRef();
   Counted copy(original);
   EXPECT_EQ(copy.GetRefCount(), 0);
   copy.IncRef();
   copy = original; // assignment leaves each object's own count alone
   EXPECT_EQ(copy.GetRefCount(), 1);
   EXPECT_EQ(original.GetRefCount(), 2);
}

TEST_F(Refs, InterfacesShareOneCountThroughTheVirtualBase) {
   Ref<Implementation> impl(new Implementation(&destroyed));
   Ref<Readable> asReadable(impl.GetPtr());
   Ref<Writable> asWritable(impl.GetPtr());
   EXPECT_EQ(impl->GetRefCount(), 3);
   impl = nullptr;
   asReadable = nullptr;
   EXPECT_EQ(destroyed, 0);
   asWritable = nullptr;
   EXPECT_EQ(destroyed, 1);
}

TEST_F(Refs, AssignmentToItselfAndResetToTheHeldObjectKeepTheObject) {
   Ref<Counted> ref(new Counted(&destroyed));
   Counted* raw = ref.GetPtr();
   Ref<Counted>& alias = ref;
   ref = alias;
   ref = std::move(alias);
   ref.Reset(raw);
   ref = raw;
   EXPECT_EQ(ref.GetPtr(), raw);
   EXPECT_EQ(raw->GetRefCount(), 1);
   EXPECT_EQ(destroyed, 0);
   ref.Reset();
   EXPECT_EQ(destroyed, 1);
}

TEST_F(Refs, MoveConversionDetachAndAttachHandOverReferences) {
   Ref<Derived> derived(new Derived(&destroyed));
   Derived* raw = derived.GetPtr();
   Ref<Counted> copied(derived); // converting copy: one more reference
   EXPECT_EQ(raw->GetRefCount(), 2);
   Ref<ObjectImpl> moved(std::move(derived)); // converting move: ownership moves
   EXPECT_EQ(derived, nullptr);
   Ref<Counted> target;
   target = std::move(copied);
   EXPECT_FALSE(copied);
   EXPECT_EQ(target, raw);
   EXPECT_EQ(raw->GetRefCount(), 2);
   int otherDestroyed = 0;
   target = new Counted(&otherDestroyed); // reassigning a Ref drops its old object
   EXPECT_EQ(raw->GetRefCount(), 1);
   moved.Reset();
   EXPECT_EQ(destroyed, 1);

   // Detach hands the reference to the caller, Attach adopts one (dropping the previous object).
   Counted* detached = target.Detach();
   EXPECT_FALSE(target);
   EXPECT_EQ(detached->GetRefCount(), 1);
   Ref<Counted> other = Pellum::MakeRef<Counted>(&destroyed);
   other.Attach(detached);
   EXPECT_EQ(destroyed, 2);
   EXPECT_EQ(detached->GetRefCount(), 1);
   Ref<Counted> empty;
   swap(other, empty);
   EXPECT_FALSE(other);
   EXPECT_EQ(empty, detached);
   empty = nullptr;
   EXPECT_EQ(otherDestroyed, 1);
}

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
