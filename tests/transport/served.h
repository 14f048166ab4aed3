// What the transport tests serve: a service instance and a task on a server on the loopback address.
//
//   Instance (quorl.ServiceInstance)  RetrieveContent answers a fixed content (anonymous: no session);
//                                     CurrentTime (needs a session) answers a fixed time;
//                                     RetrieveProductComponents (anonymous) waits while `gate` is closed
//   TreeTask (quorl.Task)             SetState compares the result that arrived with `expected`
// Every member counts its calls, so a test can compare calls sent with calls served.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "ormid/Loopback.h"
#include "ormid/ManagedType.h"
#include "quorl/AboutInfo.h"
#include "quorl/ServiceInstanceContent.h"
#include "quorl/ServiceInstanceSkeleton.h"
#include "quorl/TaskSkeleton.h"
#include "quorl/fault/InvalidState.h"
#include "transport/Http.h"

namespace Served {

using Pellum::Ref;

inline Ref<Ormid::MoRef> RefOf(const char* type, const char* id) {
   return Ref<Ormid::MoRef>(new Ormid::MoRef(type, id));
}

// Waits up to 10 s for `done()`; false when it never held.
template <class F> bool WaitFor(F done) {
   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
   while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
   }
   return done();
}

// A fault exception as "<fault type>: <messages>", for failure messages.
inline std::string Describe(const Ormid::MethodFault::Exception& e) {
   std::string text = e.GetFault()->_GetDataType()->GetName();
   if (auto* error = dynamic_cast<const Ormid::Fault::SystemError*>(e.GetFault())) {
      text += ": " + error->reason;
   }
   if (e.GetFault()->faultMessage) {
      for (std::size_t i = 0; i < e.GetFault()->faultMessage->size(); ++i) {
         text += ": " + e.GetFault()->faultMessage->Get(i)->message.GetValueOr("");
      }
   }
   return text;
}

class Instance final : public Quorl::ServiceInstanceSkeleton {
public:
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   void RetrieveContent(Ref<Quorl::ServiceInstanceContent>& result) override {
      ++calls;
      Ref<Quorl::ServiceInstanceContent> content(new Quorl::ServiceInstanceContent());
      content->rootFolder = RefOf("quorl.Folder", "group-d1");
      content->propertyCollector = RefOf("kobl.query.PropertyCollector", "propertyCollector");
      Ref<Quorl::AboutInfo> about(new Quorl::AboutInfo());
      about->name = about->fullName = "transport test";
      about->vendor = about->productLineId = "libquorl-types";
      about->version = about->apiVersion = "9.0.0.0";
      about->build = "1";
      about->osType = "linux";
      about->apiType = "HostAgent";
      content->about = about;
      result = content;
   }
   Pellum::System::DateTime CurrentTime() override {
      ++calls;
      return Pellum::System::DateTime::FromUtcTime(1'733'400'000'000'000);
   }
   void RetrieveProductComponents(Ref<Ormid::DataArray<ProductComponentInfo>>&) override {
      ++calls;
      ++waiting;
      WaitFor([this] { return gate.load(); });
      --waiting;
   }

   static const Ormid::ManagedMethod& Method(const char* name) {
      return *Ormid::GetMoType<Quorl::ServiceInstance>()->FindMethod(name);
   }

   std::atomic<long> calls{0};
   std::atomic<int> waiting{0};
   std::atomic<bool> gate{true};

private:
   const Ref<Ormid::MoRef> _ref = RefOf("quorl.ServiceInstance", "ServiceInstance");
};

class TreeTask final : public Quorl::TaskSkeleton {
public:
   explicit TreeTask(Ref<Ormid::Any> tree) : expected(std::move(tree)) {}
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // A result other than the expected tree raises InvalidState.
   void SetState(Quorl::TaskInfo::State, Ormid::Any* result, Ormid::MethodFault*) override {
      ++calls;
      if (result == nullptr || !Ormid::AreEqual(result, expected.GetPtr())) {
         Ref<Quorl::Fault::InvalidState>(new Quorl::Fault::InvalidState())->Throw();
      }
   }

   const Ref<Ormid::Any> expected;
   std::atomic<long> calls{0};

private:
   const Ref<Ormid::MoRef> _ref = RefOf("quorl.Task", "task-1");
};

// Options of a plain HTTP client of a server on 127.0.0.1.
inline Transport::ClientOptions PlainClient(int port) {
   Transport::ClientOptions options;
   options.tls = false;
   options.host = "127.0.0.1";
   options.port = port;
   return options;
}

// A server of an Instance (and of the objects a test adds) on 127.0.0.1, stopped at the end; the user
// "admin" holds every privilege.
struct Server {
   explicit Server(Transport::ServerOptions options) {
      objects->Register(instance.GetPtr());
      users->Add("admin", "admin", {"*"});
      server = std::make_unique<Transport::HttpServer>(options, objects, users);
      port = server->Start();
   }
   ~Server() {
      server->Stop();
      objects->Shutdown();
   }
   Transport::ClientOptions Client() const { return PlainClient(port); }
   // RetrieveContent through a stub of a new client with `options`.
   static void RetrieveContent(const Transport::ClientOptions& options) {
      Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(options));
      Ref<Ormid::MoRef> ref = RefOf("quorl.ServiceInstance", "ServiceInstance");
      Ref<Quorl::ServiceInstanceContent> content;
      client->GetStub<Quorl::ServiceInstance>(ref.GetPtr())->RetrieveContent(content);
      ASSERT_TRUE(content);
      EXPECT_EQ(content->about->name, "transport test");
   }

   Ref<Ormid::LoopbackAdapter> objects{new Ormid::LoopbackAdapter(1)};
   Ref<Instance> instance{new Instance()};
   Ref<Transport::InMemoryUsers> users{new Transport::InMemoryUsers()};
   std::unique_ptr<Transport::HttpServer> server;
   int port = -1;
};

} // namespace Served
