// What the transport tests serve: the generated recorder of quorl.ServiceInstance (Recorders.h) on a server
// on the loopback address. RetrieveContent answers Content() (anonymous: no session); CurrentTime (needs a
// session) answers kTime; RetrieveProductComponents (anonymous) waits while the server's `gate` is closed.
// The recorder counts the calls it serves, so a test can compare calls sent with calls served.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Recorders.h"
#include "ormid/Loopback.h"
#include "ormid/ManagedType.h"
#include "quorl/AboutInfo.h"
#include "quorl/ServiceInstanceContent.h"
#include "transport/Http.h"

namespace Served {

using Pellum::Ref;
using InstanceRecorder = Recording::QuorlServiceInstanceRecorder;

const auto kTime = Pellum::System::DateTime::FromUtcTime(1'733'400'000'000'000);

inline Ref<Ormid::MoRef> RefOf(const char* type, const char* id) {
   return Ref<Ormid::MoRef>(new Ormid::MoRef(type, id));
}

inline const Ormid::ManagedMethod& Method(const char* name) {
   return *Ormid::GetMoType<Quorl::ServiceInstance>()->FindMethod(name);
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

inline Ref<Quorl::ServiceInstanceContent> Content() {
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
   return content;
}

// A stub of the served instance through a new client with `options` (the stub holds the client).
inline Ref<Quorl::ServiceInstance> Connect(const Transport::ClientOptions& options) {
   Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(options));
   return client->GetStub<Quorl::ServiceInstance>(RefOf("quorl.ServiceInstance", "ServiceInstance").GetPtr());
}

// RetrieveContent through `stub` answers Content().
inline void ExpectContent(Quorl::ServiceInstance& stub) {
   Ref<Quorl::ServiceInstanceContent> content;
   stub.RetrieveContent(content);
   ASSERT_TRUE(content && content->about);
   EXPECT_EQ(content->about->name, "transport test");
}

// Runs `call`, which must work (`failure` null) or fail with a SystemError whose reason holds `failure`.
template <class F> void ExpectOutcome(const char* failure, F call) {
   try {
      call();
      EXPECT_STREQ(failure, nullptr) << "the call worked";
   } catch (const Ormid::Fault::SystemError::Exception& e) {
      const std::string reason = static_cast<Ormid::Fault::SystemError*>(e.GetFault())->reason;
      EXPECT_NE(reason.find(failure != nullptr ? failure : "(no failure expected)"), std::string::npos)
          << reason;
   } catch (const Ormid::MethodFault::Exception& e) {
      ADD_FAILURE() << Describe(e);
   }
}

// Options of a plain HTTP client of a server on 127.0.0.1.
inline Transport::ClientOptions PlainClient(int port) {
   Transport::ClientOptions options;
   options.tls = false;
   options.host = "127.0.0.1";
   options.port = port;
   return options;
}

// A server of the instance (and of the objects a test adds) on 127.0.0.1, stopped at the end; the user
// "admin" holds every privilege.
struct Server {
   explicit Server(Transport::ServerOptions options) {
      instance->answer = [this](const Recording::Call& call) -> Ref<Ormid::Any> {
         if (call.member == "quorl.ServiceInstance.RetrieveContent") {
            return Content();
         } else if (call.member == "quorl.ServiceInstance.CurrentTime") {
            return Ormid::Box(kTime);
         }
         ++waiting;
         WaitFor([this] { return gate.load(); });
         --waiting;
         return nullptr;
      };
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

   Ref<Ormid::LoopbackAdapter> objects{new Ormid::LoopbackAdapter(1)};
   Ref<InstanceRecorder> instance{new InstanceRecorder("ServiceInstance")};
   std::atomic<int> waiting{0};
   std::atomic<bool> gate{true};
   Ref<Transport::InMemoryUsers> users{new Transport::InMemoryUsers()};
   std::unique_ptr<Transport::HttpServer> server;
   int port = -1;
};

} // namespace Served
