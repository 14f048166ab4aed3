// Load (CTest entry transport.load, label "load"; disabled among the discovered tests): 64 client threads
// for 30 s (QUORL_LOAD_SECONDS) against one server with 8 worker threads on 127.0.0.1. Half the calls are
// small (RetrieveContent), half carry the value tree of bench/value_tree.h (Task.setState, answered by a
// recorder that compares it with the tree it expects). Eight client adapters, each shared by eight
// threads, so kept-alive connections are taken and given back from several threads at once.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

#include "quorl/fault/InvalidState.h"
#include "served.h"
#include "value_tree.h"

namespace {

using Pellum::Ref;

long ResidentKiB() {
   std::ifstream status("/proc/self/status");
   for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) {
         return std::stol(line.substr(6));
      }
   }
   return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // freed memory is held in quarantine: the resident size says nothing
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

TEST(TransportLoad, DISABLED_SixtyFourClientsThirtySeconds) {
   constexpr int kThreads = 64;
   constexpr int kAdapters = 8;
   constexpr long kMaxCallsPerThread = 1'000'000;
   const char* seconds = std::getenv("QUORL_LOAD_SECONDS");
   const auto duration = std::chrono::seconds(seconds != nullptr ? std::atoi(seconds) : 30);
   ASSERT_GE(duration, std::chrono::seconds(6));

   Transport::ServerOptions serverOptions;
   serverOptions.threads = 8;
   Served::Server server(serverOptions);
   Ref<Recording::QuorlTaskRecorder> task(new Recording::QuorlTaskRecorder("task-1"));
   task->answer = [expected =
                       Ref<Ormid::Any>(QuorlBench::BuildTree().GetPtr())](const Recording::Call& call) {
      if (!Ormid::AreEqual(call.args.at(1).GetPtr(), expected.GetPtr())) {
         Ref<Quorl::Fault::InvalidState>(new Quorl::Fault::InvalidState())->Throw();
      }
      return Ref<Ormid::Any>();
   };
   task->keep = server.instance->keep = false; // counted only
   server.objects->Register(task.GetPtr());
   std::vector<Ref<Transport::HttpClientAdapter>> adapters;
   for (int i = 0; i < kAdapters; ++i) {
      Transport::ClientOptions options = server.Client();
      options.readTimeout = std::chrono::seconds(20);
      adapters.emplace_back(new Transport::HttpClientAdapter(options));
      adapters.back()->SetSessionCookie(server.server->CreateSession("admin"));
   }

   std::atomic<long> smallSent{0}, treesSent{0}, errors{0};
   std::vector<long> calls(kThreads, 0);
   std::mutex lock;
   std::string firstError;
   const auto start = std::chrono::steady_clock::now();
   std::vector<std::thread> clients;
   for (int t = 0; t < kThreads; ++t) {
      clients.emplace_back([&, t] {
         Transport::HttpClientAdapter& adapter = *adapters[t % kAdapters];
         Ref<Quorl::ServiceInstance> instance =
             adapter.GetStub<Quorl::ServiceInstance>(server.instance->_GetRef());
         Ref<Quorl::Task> taskStub = adapter.GetStub<Quorl::Task>(task->_GetRef());
         Ref<Ormid::Any> tree(QuorlBench::BuildTree().GetPtr());
         for (long n = 0; n < kMaxCallsPerThread && std::chrono::steady_clock::now() - start < duration;
              ++n) {
            try {
               if ((n + t) % 2 == 0) {
                  ++smallSent;
                  Ref<Quorl::ServiceInstanceContent> content;
                  instance->RetrieveContent(content);
               } else {
                  ++treesSent;
                  taskStub->SetState(Quorl::TaskInfo::State::success, tree.GetPtr(), nullptr);
               }
               ++calls[t];
            } catch (const Ormid::MethodFault::Exception& e) {
               std::lock_guard<std::mutex> guard(lock);
               if (errors++ == 0) {
                  firstError = Served::Describe(e);
               }
            }
         }
      });
   }
   std::this_thread::sleep_until(start + std::chrono::seconds(5));
   const long earlyKiB = ResidentKiB();
   for (std::thread& client : clients) {
      client.join();
   }
   const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
   const long endKiB = ResidentKiB();

   EXPECT_EQ(errors, 0) << firstError;
   EXPECT_EQ(static_cast<long>(server.instance->CallCount()), smallSent);
   EXPECT_EQ(static_cast<long>(task->CallCount()), treesSent);
   // No client was starved: each made at least a tenth of the mean number of calls.
   const long total = smallSent + treesSent;
   for (int t = 0; t < kThreads; ++t) {
      EXPECT_GE(calls[t] * kThreads * 10, total) << "client " << t << " made " << calls[t] << " of " << total;
   }
   if (!kSanitized) {
      EXPECT_LE(endKiB, earlyKiB + earlyKiB / 5) << "resident memory grew";
   }
   std::printf(
       "%ld calls in %.1f s (%.0f/s; %ld small, %ld with the tree), per client %ld to %ld; VmRSS %ld KiB "
       "after 5 s, %ld KiB at the end\n",
       total, elapsed, static_cast<double>(total) / elapsed, smallSent.load(), treesSent.load(),
       *std::min_element(calls.begin(), calls.end()), *std::max_element(calls.begin(), calls.end()), earlyKiB,
       endKiB);
}

} // namespace
