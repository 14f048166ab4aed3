// The out-of-line part of the conformance harness: compiled once, so that the generated sources, which
// call these thousands of times, stay small and build fast.
#include "Harness.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "example_value.h"
#include "ormid/Type.h"
#include "ormid/Versions.h"
#include "transport/Http.h"

namespace Conformance {

Pellum::Ref<Ormid::DynamicData> CompleteSample(const Ormid::DataObjectType* type) {
   return quorl_types::BuildExampleValue(
       *type,
       quorl_types::ExampleOptions{.depth = 0, .optionals = false, .complete = true, .edgeValues = false});
}

Pellum::Ref<Ormid::StubAdapter> ClientAdapterFor(Ormid::LoopbackAdapter* objects,
                                                 std::shared_ptr<void>& keep) {
   if (std::getenv("QUORL_CONFORMANCE_OVER_HTTP") == nullptr) {
      return Pellum::Ref<Ormid::StubAdapter>(objects);
   }
   Pellum::Ref<Transport::InMemoryUsers> users(new Transport::InMemoryUsers());
   users->Add("conformance", "", {"*"});
   // Every member of every version: the version that extends all others.
   const Ormid::Version* all = &Ormid::VersionCatalogue::Get().GetVersion("quorl.version.disabled");
   Transport::ServerOptions serverOptions;
   serverOptions.threads = 2;
   serverOptions.version = all;
   auto server = std::make_shared<Transport::HttpServer>(serverOptions,
                                                         Pellum::Ref<Ormid::LoopbackAdapter>(objects), users);
   Transport::ClientOptions options;
   options.tls = false;
   options.host = "127.0.0.1";
   options.port = server->Start();
   options.asyncThreads = 2;
   options.version = all;
   Pellum::Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(options));
   client->SetSessionCookie(server->CreateSession("conformance"));
   keep = server;
   return Pellum::Ref<Ormid::StubAdapter>(client.GetPtr());
}

bool Same(const Ormid::Any* a, const Ormid::Any* b) {
   return a == nullptr || b == nullptr ? a == b : Ormid::AreEqual(a, b);
}

::testing::AssertionResult ArrivedAt(Recording::Recorder& impl, const char* member,
                                     const Ormid::ArgumentList& sent) {
   std::vector<Recording::Call> calls = impl.TakeCalls();
   if (calls.size() != 1 || calls[0].member != member) {
      return ::testing::AssertionFailure() << member << ": " << calls.size() << " calls arrived"
                                           << (calls.empty() ? "" : ", the first of " + calls[0].member);
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

void CheckCaught(Ormid::MethodFault* fresh, const std::type_info& thrown, const std::type_info& base,
                 const Pellum::Http::ResponseCode& code, std::initializer_list<Catcher> catchers) {
   const Pellum::Ref<Ormid::MethodFault> fault(fresh);
   const std::string name = fault->_GetType()->GetName();
   SCOPED_TRACE(name);
   EXPECT_EQ(&fault->GetResponseCode(), &code) << "answers " << fault->GetResponseCode().ToString();
   const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&thrown);
   EXPECT_TRUE(single != nullptr && *single->__base_type == base)
       << thrown.name() << " does not derive singly from " << base.name();

   std::unique_ptr<Ormid::MethodFault::Exception> created(fault->CreateException());
   const Ormid::MethodFault::Exception& made = *created;
   EXPECT_EQ(typeid(made), thrown) << "CreateException() made " << typeid(made).name();
   EXPECT_EQ(created->GetFault(), fault.GetPtr());
   EXPECT_EQ(created->what(), "Fault cause: " + name + "\n");
   EXPECT_EQ(fault->GetRefCount(), 2) << "the created exception holds one reference";
   std::unique_ptr<Pellum::Exception> clone(created->Clone());
   const Pellum::Exception& copy = *clone;
   EXPECT_EQ(typeid(copy), thrown) << "Clone() made " << typeid(copy).name();
   for (bool internal : {false, true}) {
      try {
         internal ? fault->ThrowInternal() : created->Throw();
         ADD_FAILURE() << (internal ? "ThrowInternal()" : "Throw()") << " returned";
      } catch (const Ormid::MethodFault::Exception& e) {
         EXPECT_EQ(typeid(e), thrown)
             << (internal ? "ThrowInternal()" : "Throw()") << " raised " << typeid(e).name();
      }
   }

   int level = 0;
   for (Catcher catcher : catchers) {
      const ::testing::AssertionResult result = catcher(fault.GetPtr(), thrown);
      EXPECT_TRUE(result) << "catching at base level " << level;
      ++level;
   }
}

void Check(const ::testing::AssertionResult& result, const char* expression, const char* file, int line) {
   if (!result) {
      ADD_FAILURE_AT(file, line) << expression << " failed " << result.message();
   }
}

} // namespace Conformance
