// One client adapter shared by several threads against one server: synchronous calls and asynchronous
// ones (the adapter's executor), a session replaced while calls run, and fewer idle connections kept than
// threads, so connections are opened, reused and dropped all along. Every call is served once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "quorl/ServiceInstanceStub.h"
#include "served.h"

namespace {

using Pellum::Ref;

TEST(TransportConcurrency, ThreadsShareOneClientItsConnectionsAndASession) {
   Served::Server server(Transport::ServerOptions{});
   Transport::ClientOptions options = server.Client();
   options.maxIdleConnections = 2;
   options.asyncThreads = 2;
   Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(options));
   client->SetSessionCookie(server.server->CreateSession("admin"));
   Ref<Ormid::MoRef> ref = Served::RefOf("quorl.ServiceInstance", "ServiceInstance");

   constexpr int kThreads = 4, kCalls = 30;
   std::atomic<int> wrong{0}, asyncDone{0};
   std::vector<Ref<Pellum::System::ScheduledItem>> items[kThreads];
   std::vector<std::thread> callers;
   for (int t = 0; t < kThreads; ++t) {
      callers.emplace_back([&, t] {
         auto stub = client->GetStub<Quorl::ServiceInstanceStub>(ref.GetPtr());
         for (int i = 0; i < kCalls; ++i) {
            try {
               if (i % 3 == 0) {
                  Ref<Pellum::System::ScheduledItem> item;
                  stub->CurrentTime(
                      [&](Pellum::System::ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
                         const bool ok = error == nullptr && result != nullptr &&
                                         Ormid::Unbox<Pellum::System::DateTime>(result) == Served::kTime;
                         (ok ? asyncDone : wrong)++;
                      },
                      item);
                  items[t].push_back(std::move(item));
               } else if (i % 3 == 1) {
                  wrong += stub->CurrentTime() == Served::kTime ? 0 : 1;
               } else {
                  Ref<Quorl::ServiceInstanceContent> content;
                  stub->RetrieveContent(content);
                  wrong += content && content->about && content->about->name == "transport test" ? 0 : 1;
               }
            } catch (const Ormid::MethodFault::Exception& e) {
               ADD_FAILURE() << Served::Describe(e);
            }
            if (t == 0 && i == kCalls / 2) {
               // A new session while the other threads' calls run.
               client->SetSessionCookie(server.server->CreateSession("admin"));
            }
         }
      });
   }
   for (std::thread& caller : callers) {
      caller.join();
   }
   for (auto& list : items) {
      for (const Ref<Pellum::System::ScheduledItem>& item : list) {
         ASSERT_TRUE(item->WaitFor(std::chrono::seconds(30))) << item->GetDescription();
      }
   }
   EXPECT_EQ(wrong.load(), 0);
   EXPECT_EQ(asyncDone.load(), kThreads * kCalls / 3);
   EXPECT_EQ(server.instance->CallCount(), std::size_t{kThreads * kCalls});
}

} // namespace
