// Support of the conformance tests generated from the schema (generator/emit_tests.py): sample values per
// C++ form, the fixture that serves a generated recording implementation (on the base of Recording.h)
// through the loopback adapter and checks what arrives, and the checks of a fault's exception classes.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "Recording.h"
#include "ormid/AsyncAdapter.h"
#include "ormid/Loopback.h"
#include "quorl/detail/ManagedPrelude.h"

namespace Conformance {

// Samples: one fixed value per form, never the default value.
inline const auto kSamples =
    std::make_tuple(true, static_cast<signed char>(5), static_cast<short>(6), 7, 1234567890123L, 1.5f, 2.5,
                    std::string("sample-value"), std::vector<unsigned char>{1, 2, 3},
                    Pellum::System::DateTime::FromUtcTime(1700000000LL * 1000000, 60),
                    Ormid::TypeName("quorl.Task"), Ormid::MethodName("quorl.Task.cancel"),
                    Ormid::Uri("https://sample.invalid/x"), Ormid::PropertyPath("a.b"));

// Enumerations: their last value (the first has ordinal 0, which a lost value would also show).
template <class T> T SampleValue() {
   if constexpr (std::is_enum_v<T>) {
      return static_cast<T>(Ormid::GetEnumType<T>()->GetValueCount() - 1);
   } else {
      return std::get<T>(kSamples);
   }
}

// A new object of `type` with its required properties set (required references too, as a wire codec
// refuses an object without them), built by reflection.
Pellum::Ref<Ormid::DynamicData> CompleteSample(const Ormid::DataObjectType* type);

// Objects: a new instance of the class (reference counts start at zero), complete.
template <class T> Pellum::Ref<T> SampleObject() {
   if constexpr (std::is_same_v<T, Ormid::Any>) {
      return Ormid::Box(std::string("any-sample"));
   } else if constexpr (std::is_same_v<T, Ormid::MoRef>) {
      return Pellum::Ref<T>(new Ormid::MoRef("quorl.Task", "sample-7"));
   } else if constexpr (std::is_same_v<T, Ormid::LocalizableMessage>) {
      return Pellum::Ref<T>(new Ormid::LocalizableMessage("sample.key", "sample message"));
   } else if constexpr (std::is_base_of_v<Ormid::DynamicData, T>) {
      return Pellum::Ref<T>(static_cast<T*>(CompleteSample(Ormid::GetDoType<T>()).GetPtr()));
   } else {
      return Pellum::Ref<T>(new T());
   }
}

// Arrays: one element.
template <class A> struct ArrayOf;
template <class T> struct ArrayOf<Ormid::DataArray<T>> {
   static void AppendSample(Ormid::DataArray<T>& a) { a.Append(SampleObject<T>()); }
};
template <class T> struct ArrayOf<Ormid::Array<T>> {
   static void AppendSample(Ormid::Array<T>& a) { a.Append(SampleValue<T>()); }
};

template <class A> Pellum::Ref<A> SampleArray() {
   Pellum::Ref<A> out(new A());
   ArrayOf<A>::AppendSample(*out);
   return out;
}

// The task reference a task method answers.
inline Pellum::Ref<Ormid::MoRef> SampleTask() {
   return Pellum::Ref<Ormid::MoRef>(new Ormid::MoRef("quorl.Task", "task-sample"));
}

// Both null, or equal values.
bool Same(const Ormid::Any* a, const Ormid::Any* b);

template <class T>::testing::AssertionResult SameValue(const T& got) {
   if constexpr (requires { got.IsSet(); }) { // Pellum::Optional
      return got.IsSet() ? SameValue(got.GetValue())
                         : ::testing::AssertionFailure() << "an optional result arrived unset";
   } else if (Same(Ormid::Box(got).GetPtr(), Ormid::Box(SampleValue<T>()).GetPtr())) {
      return ::testing::AssertionSuccess();
   }
   return ::testing::AssertionFailure() << "the value differs from the sample";
}

// The hook of a recording implementation that throws `fault`.
inline auto Throwing(Pellum::Ref<Ormid::MethodFault> fault) {
   return [fault](const Recording::Call&) -> Pellum::Ref<Ormid::Any> {
      fault->Throw();
      return nullptr; // Throw() never returns
   };
}

// Exactly one call of `member` reached `impl` since the last check, with arguments equal to `sent`.
::testing::AssertionResult ArrivedAt(Recording::Recorder& impl, const char* member,
                                     const Ormid::ArgumentList& sent);

// The adapter the stubs call through: `objects` itself, or, when the environment variable
// QUORL_CONFORMANCE_OVER_HTTP is set, an HTTP client of a server (kept in `keep`) that serves `objects`
// on the loopback address.
Pellum::Ref<Ormid::StubAdapter> ClientAdapterFor(Ormid::LoopbackAdapter* objects,
                                                 std::shared_ptr<void>& keep);

// Serves a new recording implementation R of the managed type I through a loopback adapter and hands out
// its stub S.
template <class R, class I, class S> class Served {
public:
   explicit Served(const char* wireName)
       : adapter(new Ormid::LoopbackAdapter(2)),
         impl(new R(new Ormid::MoRef(Ormid::GetMoType<I>(), std::string("conformance-") + wireName))) {
      adapter->Register(impl.GetPtr());
      client = ClientAdapterFor(adapter.GetPtr(), server);
      Pellum::Ref<I> iface = Ormid::CreateStub<I>(impl->RecorderRef(), client.GetPtr());
      I& object = *iface;
      stub = Pellum::Ref<S>(&dynamic_cast<S&>(object));
   }
   ~Served() {
      if (auto* async = dynamic_cast<Ormid::AsyncStubAdapter*>(client.GetPtr())) {
         async->Shutdown();
      }
      adapter->Shutdown();
   }

   ::testing::AssertionResult Arrived(const char* member, const Ormid::ArgumentList& sent) {
      return ArrivedAt(*impl, member, sent);
   }

   Pellum::Ref<Ormid::LoopbackAdapter> adapter;
   std::shared_ptr<void> server;
   Pellum::Ref<Ormid::StubAdapter> client;
   Pellum::Ref<R> impl;
   Pellum::Ref<S> stub;
};

// One asynchronous call: hand `done` and `item` to the stub's asynchronous member, then Finish().
class AsyncCall {
public:
   // Waits for the call; true when the callback ran without an exception and received a result equal to
   // `expected` (both null for a member without result).
   ::testing::AssertionResult Finish(const char* member, const Ormid::Any* expected);

   Ormid::CompletionFn done = [this](Pellum::System::ScheduledItem*, Pellum::Exception* e, Ormid::Any* r) {
      _called = true;
      _error = e != nullptr ? e->what() : "";
      _result = r;
   };
   Pellum::Ref<Pellum::System::ScheduledItem> item;

private:
   bool _called = false;
   std::string _error;
   Pellum::Ref<Ormid::Any> _result;
};

// Throws `fault` through its own Throw() (so through the fault's most-derived class, whatever pointer
// holds it) and catches it by the exception class of B: true when caught there, with the most-derived
// exception class `thrown` and the same fault object.
template <class B>
::testing::AssertionResult CaughtAs(Ormid::MethodFault* fault, const std::type_info& thrown) {
   try {
      fault->Throw();
   } catch (const typename B::Exception& e) {
      if (typeid(e) != thrown || e.GetFault() != fault) {
         return ::testing::AssertionFailure() << "caught as " << typeid(e).name() << " holding "
                                              << (e.GetFault() == fault ? "the fault" : "another fault");
      }
      return ::testing::AssertionSuccess();
   } catch (...) {
   }
   return ::testing::AssertionFailure() << "not caught by " << typeid(typename B::Exception).name();
}

using Catcher = ::testing::AssertionResult (*)(Ormid::MethodFault*, const std::type_info&);

// Checks the new fault `fresh`, whose class's exception is `thrown`: it answers the runtime's constant
// `code`; CreateException(), the exception's Clone() and Throw(), and ThrowInternal() all give `thrown`
// (naming the fault's type), which derives singly from `base`, the exception class of the base fault; and,
// thrown once per catcher, from its own class up to Ormid::MethodFault, it is caught there. Reports every
// check that fails.
void CheckCaught(Ormid::MethodFault* fresh, const std::type_info& thrown, const std::type_info& base,
                 const Pellum::Http::ResponseCode& code, std::initializer_list<Catcher> catchers);

// Reports a failed check of a generated test at its line (what EXPECT_TRUE does, expanded once here so
// that the generated sources stay small).
void Check(const ::testing::AssertionResult& result, const char* expression, const char* file, int line);

} // namespace Conformance

#define CONFORMANCE_CHECK(expression)                                                                        \
   ::Conformance::Check(::testing::AssertionResult(expression), #expression, __FILE__, __LINE__)
