// Calls over HTTP on kept-alive connections: quorl.ServiceInstance.retrieveContent (anonymous; a request
// of 384 bytes of XML, an answer of 876) through a generated stub and Transport::HttpClientAdapter,
// served by Transport::HttpServer on 127.0.0.1 with its default options (8 call workers) in the same
// process; 1, 8 and 64 client threads, each with an adapter, and so a connection, of its own. Reported:
// calls per second of all threads together (items_per_second over real time) and the latency of one
// call over all calls of the run (p50_us, p99_us).
//
// Two parts of that cost measured alone: the same documents over httplib with a server that answers a
// fixed text (HTTP and the sockets, no codec, stub or dispatch), and the call without sockets (request
// written, HttpServer::Handle, answer read: the codec and the dispatch).
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ormid/Loopback.h"
#include "quorl/AboutInfo.h"
#include "quorl/ServiceInstanceContent.h"
#include "quorl/ServiceInstanceSkeleton.h"
#include "transport/Http.h"
#include "wire/Codec.h"

namespace {

using Pellum::Ref;

Ref<Ormid::MoRef> RefOf(const char* type, const char* id) {
   return Ref<Ormid::MoRef>(new Ormid::MoRef(type, id));
}

class Instance final : public Quorl::ServiceInstanceSkeleton {
public:
   Instance() {
      _content->rootFolder = RefOf("quorl.Folder", "group-d1");
      _content->propertyCollector = RefOf("kobl.query.PropertyCollector", "propertyCollector");
      _content->sessionManager = RefOf("quorl.SessionManager", "SessionManager");
      Ref<Quorl::AboutInfo> about(new Quorl::AboutInfo());
      about->name = "transport bench";
      about->fullName = "transport bench: the service content over HTTP";
      about->vendor = "libquorl-types";
      about->version = "9.0.0";
      about->build = "0";
      about->osType = "linux-x64";
      about->productLineId = "quorl-types";
      about->apiType = "HostAgent";
      about->apiVersion = "9.0.0.0";
      _content->about = about;
   }
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}
   void RetrieveContent(Ref<Quorl::ServiceInstanceContent>& result) override { result = _content; }

private:
   const Ref<Ormid::MoRef> _ref = RefOf("quorl.ServiceInstance", "ServiceInstance");
   const Ref<Quorl::ServiceInstanceContent> _content{new Quorl::ServiceInstanceContent()};
};

// The server of every run.
struct Server {
   Server() {
      objects->Register(instance.GetPtr());
      server = std::make_unique<Transport::HttpServer>(Transport::ServerOptions(), objects,
                                                       Ref<Transport::Users>(new Transport::InMemoryUsers()));
      port = server->Start();
   }
   Ref<Ormid::LoopbackAdapter> objects{new Ormid::LoopbackAdapter(1)};
   Ref<Instance> instance{new Instance()};
   std::unique_ptr<Transport::HttpServer> server;
   int port = -1;
};

Server& TheServer() {
   static Server server;
   return server;
}

// The latencies of a run's threads, gathered for thread 0.
struct Latencies {
   std::mutex lock;
   std::condition_variable arrived;
   std::vector<double> all;
   int threads = 0;
};

// Times `call` in the benchmark's loop on every thread; thread 0 reports p50 and p99 of all calls.
template <class Call> void TimeCalls(benchmark::State& state, Latencies& latencies, Call call) {
   if (state.thread_index() == 0) {
      // The other threads add theirs only after the loop, which starts for all threads at once.
      std::lock_guard<std::mutex> guard(latencies.lock);
      latencies.all.clear();
      latencies.threads = 0;
   }
   std::vector<double> mine;
   mine.reserve(static_cast<std::size_t>(state.max_iterations));
   for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      call();
      mine.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
   }
   state.SetItemsProcessed(state.iterations());
   std::unique_lock<std::mutex> guard(latencies.lock);
   latencies.all.insert(latencies.all.end(), mine.begin(), mine.end());
   ++latencies.threads;
   latencies.arrived.notify_all();
   if (state.thread_index() == 0) {
      latencies.arrived.wait(guard, [&] { return latencies.threads == state.threads(); });
      std::vector<double>& all = latencies.all;
      if (!all.empty()) {
         std::sort(all.begin(), all.end());
         state.counters["p50_us"] = all[all.size() / 2];
         state.counters["p99_us"] = all[all.size() * 99 / 100];
      }
   }
}

Transport::ClientOptions ClientOf(int port) {
   Transport::ClientOptions options;
   options.tls = false;
   options.host = "127.0.0.1";
   options.port = port;
   return options;
}

// The call through a generated stub, the client adapter and the server.
void BM_RetrieveContentOverHttp(benchmark::State& state) {
   Server& server = TheServer();
   static Latencies latencies;
   Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(ClientOf(server.port)));
   Ref<Quorl::ServiceInstance> stub = client->GetStub<Quorl::ServiceInstance>(server.instance->_GetRef());
   Ref<Quorl::ServiceInstanceContent> content;
   try {
      stub->RetrieveContent(content);
   } catch (const Pellum::Exception& e) {
      state.SkipWithError(e.what());
   }
   if (!content || !content->about || content->about->name != "transport bench") {
      state.SkipWithError("the content did not arrive");
   }
   TimeCalls(state, latencies, [&] { stub->RetrieveContent(content); });
}
BENCHMARK(BM_RetrieveContentOverHttp)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

// The same documents (the request and the answer of the call above) over httplib alone, the server
// answering with the answer's text: what HTTP costs without the codec, the stub and the dispatch.
void BM_SameBytesOverHttplib(benchmark::State& state) {
   struct Bare {
      Bare() {
         const Ormid::ManagedMethod& method =
             *Ormid::GetMoType<Quorl::ServiceInstance>()->FindMethod("retrieveContent");
         Ref<Quorl::ServiceInstanceContent> content;
         Ref<Instance>(new Instance())->RetrieveContent(content);
         request = Wire::EncodeRequest(method, *RefOf("quorl.ServiceInstance", "ServiceInstance"), {});
         answer = Wire::EncodeResponse(method, content.GetPtr());
         server.new_task_queue = [] { return new httplib::ThreadPool(80); };
         server.set_tcp_nodelay(true);
         server.set_keep_alive_max_count(1u << 20);
         server.Post("/sdk", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(answer, "text/xml; charset=utf-8");
         });
         // As HttpServer does: the system's listen backlog (httplib's 5 drops clients that connect at once).
         int listening = -1;
         server.set_socket_options([&listening](socket_t sock) {
            const int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            listening = sock;
         });
         port = server.bind_to_any_port("127.0.0.1");
         listen(listening, SOMAXCONN);
         thread = std::thread([this] { server.listen_after_bind(); });
         while (!server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
         }
      }
      ~Bare() {
         server.stop();
         thread.join();
      }
      std::string request, answer;
      httplib::Server server;
      std::thread thread;
      int port = -1;
   };
   static Bare bare;
   static Latencies latencies;
   httplib::Client client("127.0.0.1", bare.port);
   client.set_keep_alive(true);
   client.set_tcp_nodelay(true);
   const httplib::Headers headers{{"SOAPAction", "\"" + Wire::SoapAction(nullptr) + "\""}};
   bool ok = true;
   TimeCalls(state, latencies, [&] {
      httplib::Result answer = client.Post("/sdk", headers, bare.request, "text/xml; charset=utf-8");
      ok = ok && answer && answer->body.size() == bare.answer.size();
   });
   if (!ok) {
      state.SkipWithError("a call failed");
   }
}
BENCHMARK(BM_SameBytesOverHttplib)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

// The call without sockets: the client's request written, served by HttpServer::Handle (read, session and
// privilege checks, dispatch, answer written) and the answer read: the codec and the dispatch alone.
void BM_RetrieveContentWithoutSockets(benchmark::State& state) {
   Server& server = TheServer();
   const Ormid::ManagedMethod& method =
       *Ormid::GetMoType<Quorl::ServiceInstance>()->FindMethod("retrieveContent");
   const std::string soapAction = "\"" + Wire::SoapAction(nullptr) + "\"";
   for (auto _ : state) {
      const std::string request = Wire::EncodeRequest(method, *server.instance->_GetRef(), {});
      const Transport::HttpServer::Answer answer = server.server->Handle(request, soapAction, {});
      Wire::Response response = Wire::DecodeResponse(answer.body, method);
      if (!response.result) {
         state.SkipWithError("no content");
         break;
      }
   }
   state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RetrieveContentWithoutSockets);

} // namespace

BENCHMARK_MAIN();
