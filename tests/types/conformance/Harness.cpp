// The out-of-line part of the conformance harness: compiled once, so that the generated sources, which
// call these thousands of times, stay small and build fast.
#include "Harness.h"

#include "ormid/Type.h"

namespace Conformance {

bool Same(const Ormid::Any* a, const Ormid::Any* b) {
   if (a == nullptr || b == nullptr) {
      return a == b;
   }
   return Ormid::AreEqual(a, b);
}

::testing::AssertionResult ArrivedAt(Recorder& impl, const char* member, const Ormid::ArgumentList& sent) {
   std::vector<Call> calls = impl.TakeCalls();
   if (calls.size() != 1) {
      return ::testing::AssertionFailure() << member << ": " << calls.size() << " calls arrived";
   }
   if (calls[0].member != member) {
      return ::testing::AssertionFailure() << member << ": " << calls[0].member << " was called instead";
   }
   if (calls[0].args.size() != sent.size()) {
      return ::testing::AssertionFailure() << member << ": " << calls[0].args.size() << " arguments arrived, "
                                           << sent.size() << " were sent";
   }
   for (std::size_t i = 0; i < sent.size(); ++i) {
      if (!Same(calls[0].args[i].GetPtr(), sent[i].GetPtr())) {
         return ::testing::AssertionFailure() << member << ": argument " << i << " changed on the way";
      }
   }
   return ::testing::AssertionSuccess();
}

AsyncCall::AsyncCall()
    : done([this](Pellum::System::ScheduledItem*, Pellum::Exception* e, Ormid::Any* r) {
         _called = true;
         if (e != nullptr) {
            _error = e->what();
         }
         _result = r;
      }) {}

::testing::AssertionResult AsyncCall::Finish(const char* member, const Ormid::Any* expected) {
   if (!item) {
      return ::testing::AssertionFailure() << member << ": no scheduled item";
   }
   item->Wait();
   if (!_called) {
      return ::testing::AssertionFailure() << member << ": the callback did not run";
   }
   if (!_error.empty()) {
      return ::testing::AssertionFailure() << member << ": " << _error;
   }
   if (!Same(_result.GetPtr(), expected)) {
      return ::testing::AssertionFailure() << member << ": the callback received another result";
   }
   return ::testing::AssertionSuccess();
}

::testing::AssertionResult CaughtResult(Ormid::MethodFault* fault, const void* caught, const std::type_info& cls,
                                        const std::type_info& thrown, const Ormid::MethodFault* held) {
   const char* name = fault->_GetType()->GetName();
   if (caught == nullptr) {
      return ::testing::AssertionFailure() << name << ": not caught by " << cls.name();
   }
   if (cls != thrown) {
      return ::testing::AssertionFailure() << name << ": caught with another exception class (" << cls.name()
                                           << ")";
   }
   if (held != fault) {
      return ::testing::AssertionFailure() << name << ": the exception holds another fault";
   }
   return ::testing::AssertionSuccess();
}

void CheckCaught(Ormid::MethodFault* fresh, const std::type_info& thrown, std::initializer_list<Catcher> catchers) {
   const Pellum::Ref<Ormid::MethodFault> fault(fresh);
   int level = 0;
   for (Catcher catcher : catchers) {
      const ::testing::AssertionResult result = catcher(fault.GetPtr(), thrown);
      EXPECT_TRUE(result) << "catching at base level " << level;
      ++level;
   }
}

void Check(const ::testing::AssertionResult& result, const char* expression, const char* file, int line) {
   if (!result) {
      ADD_FAILURE_AT(file, line) << expression << ": " << result.message();
   }
}

void Check(bool ok, const char* expression, const char* file, int line) {
   if (!ok) {
      ADD_FAILURE_AT(file, line) << expression << " is false";
   }
}

} // namespace Conformance
