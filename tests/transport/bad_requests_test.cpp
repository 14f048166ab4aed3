// Hostile and broken requests sent to a server as raw HTTP: each is answered with its status and fault,
// clients that stall or vanish are dropped, and the server goes on serving.

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

#include "quorl/ClusterComputeResource.h"
#include "served.h"
#include "wire/Codec.h"

namespace {

using namespace std::chrono_literals;

// <operation><_this type="type">id</_this>parameters</operation> in an envelope.
std::string Call(const std::string& operation, const std::string& parameters = "",
                 const std::string& type = "ServiceInstance") {
   return "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:xsi=\"http://"
          "www.w3.org/2001/XMLSchema-instance\"><soapenv:Body><" +
          operation + " xmlns=\"urn:quorl25\"><_this type=\"" + type + "\">" +
          (type == "ServiceInstance" ? "ServiceInstance" : "x-1") + "</_this>" + parameters + "</" +
          operation + "></soapenv:Body></soapenv:Envelope>";
}

constexpr std::size_t kMaxRequest = 64 * 1024;

enum class Cookie { None, Unknown, Admin, Viewer, Expired };
enum class Send { Plain, Chunked, Deflated };

struct BadRequest {
   const char* name;
   std::string body;
   Cookie cookie;
   Send send;
   int status;
   const char* fault;   // wire name of the fault answered; null: none (the result, or no SOAP answer)
   const char* message; // part of the fault's message
   const char* method = "retrieveContent"; // ServiceInstance member whose answer it is
   const char* soapAction = nullptr;       // null: none (the server's own version)
};

std::vector<BadRequest> BadRequests() {
   using enum Cookie;
   using enum Send;
   const std::string content = Call("RetrieveServiceContent");
   const std::string time = Call("CurrentTime");
   const std::string newerCall =
       Wire::EncodeRequest(*Ormid::GetMoType<Quorl::ClusterComputeResource>()->FindMethod("getResourceUsage"),
                           *Served::RefOf("quorl.ClusterComputeResource", "domain-c7"), {});
   const std::string oversize =
       Call("RetrieveServiceContent", "<!--" + std::string(kMaxRequest, '-') + "-->");
   std::string deepFault = "<state>running</state><fault>";
   for (int i = 0; i < 200; ++i) {
      deepFault += i < 100 ? "<faultCause>" : "</faultCause>";
   }
   deepFault += "</fault>";
   const char* invalid = "kobl.fault.InvalidRequest";
   const char* unauthenticated = "quorl.fault.NotAuthenticated";
   return {
       {"a well-formed call", content, None, Plain, 200, nullptr, ""},
       // Every document the decoder refuses (entities, bad XML: tests/wire) is answered as this one is.
       {"truncated XML", content.substr(0, content.size() / 2), None, Plain, 500, invalid, "malformed XML"},
       {"xsi:type not derived from the parameter's type",
        Call("ReconfigVM_Task", "<spec xsi:type=\"TaskInfo\"/>", "VirtualMachine"), Admin, Plain, 500,
        invalid, "xsi:type TaskInfo is not a quorl.vm.ConfigSpec"},
       {"unknown operation", Call("RetrieveEverything"), None, Plain, 500, invalid,
        "unknown operation RetrieveEverything"},
       {"unknown type of _this", Call("RetrieveServiceContent", "", "ServiceMonolith"), None, Plain, 500,
        invalid, "unknown managed type \"ServiceMonolith\""},
       {"method newer than the stated version", newerCall, Admin, Plain, 500, invalid,
        "getResourceUsage is not part of version", "retrieveContent", "\"urn:quorl25/4.1\""},
       {"unknown version", content, None, Plain, 500, invalid, "is not served", "retrieveContent",
        "\"urn:quorl25/99.1\""},
       {"values nested too deep", Call("SetTaskState", deepFault, "Task"), Admin, Plain, 500, invalid,
        "nested deeper than the limit"},
       {"body over the limit", oversize, None, Plain, 413, invalid, "over the limit"},
       {"chunked body over the limit", oversize, None, Chunked, 413, invalid, "over the limit"},
       {"compressed body over the limit once inflated", oversize + std::string(64 * kMaxRequest, ' '), None,
        Deflated, 413, invalid, "over the limit"},
       {"compressed body within the limit", content, None, Deflated, 200, nullptr, ""},
       {"no session", time, None, Plain, 401, unauthenticated, "needs a session", "currentTime"},
       {"unknown session", time, Unknown, Plain, 401, unauthenticated, "unknown or has expired",
        "currentTime"},
       {"expired session", time, Expired, Plain, 401, unauthenticated, "unknown or has expired",
        "currentTime"},
       {"a session without the privilege", time, Viewer, Plain, 403, "quorl.fault.NoPermission",
        "lacks the privilege System.View", "currentTime"},
       {"a live session", time, Admin, Plain, 200, nullptr, "", "currentTime"},
   };
}

std::string Deflate(const std::string& data) {
   uLongf size = compressBound(data.size());
   std::string out(size, '\0');
   compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
             data.size(), Z_BEST_COMPRESSION);
   out.resize(size);
   return out;
}

class TransportHostile : public ::testing::Test {
protected:
   static Transport::ServerOptions Options() {
      Transport::ServerOptions options;
      options.maxRequestBytes = kMaxRequest;
      options.readTimeout = 1s;
      options.sessionIdleTimeout = 1s;
      return options;
   }

   // A normal call through a stub still works.
   void ServerStillServes() {
      const std::size_t before = server.instance->CallCount();
      Served::ExpectContent(*Served::Connect(server.Client()));
      EXPECT_EQ(server.instance->CallCount() - before, 1u);
   }

   // Sends `c` and checks the answer.
   void Check(httplib::Client& http, const BadRequest& c) {
      httplib::Headers headers;
      if (c.soapAction != nullptr) {
         headers.emplace("SOAPAction", c.soapAction);
      }
      if (c.cookie != Cookie::None) {
         headers.emplace("Cookie",
                         c.cookie == Cookie::Unknown
                             ? "quorl_session=" + std::string(64, '7')
                             : server.server->CreateSession(c.cookie == Cookie::Viewer ? "viewer" : "admin"));
      }
      if (c.cookie == Cookie::Expired) {
         std::this_thread::sleep_for(1100ms);
      }
      httplib::Result answer(nullptr, httplib::Error::Unknown);
      if (c.send == Send::Chunked) {
         answer = http.Post(
             "/sdk", headers,
             [&c](std::size_t offset, httplib::DataSink& sink) {
                if (offset < c.body.size()) {
                   sink.write(c.body.data() + offset, std::min<std::size_t>(4096, c.body.size() - offset));
                } else {
                   sink.done();
                }
                return true;
             },
             "text/xml");
      } else {
         if (c.send == Send::Deflated) {
            headers.emplace("Content-Encoding", "deflate");
         }
         answer = http.Post("/sdk", headers, c.send == Send::Deflated ? Deflate(c.body) : c.body, "text/xml");
      }
      ASSERT_TRUE(answer) << httplib::to_string(answer.error());
      EXPECT_EQ(answer->status, c.status);
      const Ormid::Version* version =
          c.soapAction != nullptr ? Wire::FindVersionBySoapAction(c.soapAction) : nullptr;
      Wire::Response decoded;
      ASSERT_NO_THROW(decoded =
                          Wire::DecodeResponse(answer->body, Served::Method(c.method), {.version = version}))
          << answer->body.substr(0, 300);
      if (c.fault == nullptr) {
         EXPECT_FALSE(decoded.fault) << decoded.faultString;
         EXPECT_TRUE(decoded.result);
      } else {
         ASSERT_TRUE(decoded.fault);
         EXPECT_STREQ(decoded.fault->_GetDataType()->GetName(), c.fault);
         EXPECT_NE(decoded.faultString.find(c.message), std::string::npos) << decoded.faultString;
      }
   }

   Served::Server server{Options()};
};

TEST_F(TransportHostile, EachRequestAnsweredWithItsFault) {
   server.users->Add("viewer", "viewer", {"System.Anonymous"});
   httplib::Client http("127.0.0.1", server.port);
   http.set_read_timeout(10s);
   for (const BadRequest& c : BadRequests()) {
      SCOPED_TRACE(c.name);
      Check(http, c);
   }
   ServerStillServes();
}

// A TCP connection to the server.
class Raw {
public:
   explicit Raw(int port) : _fd(socket(AF_INET, SOCK_STREAM, 0)) {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(port));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const timeval limit{10, 0};
      setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      EXPECT_EQ(connect(_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
   }
   ~Raw() { close(_fd); }
   void Send(const std::string& data) {
      EXPECT_EQ(send(_fd, data.data(), data.size(), MSG_NOSIGNAL), ssize_t(data.size()));
   }
   // What the server sends until it closes the connection; false when it has not closed it in 10 s.
   bool ReadToEnd(std::string& answer) {
      char buffer[4096];
      for (int i = 0; i < 1000; ++i) {
         const ssize_t n = recv(_fd, buffer, sizeof buffer, 0);
         if (n <= 0) {
            return n == 0;
         }
         answer.append(buffer, static_cast<std::size_t>(n));
      }
      return false;
   }

private:
   const int _fd;
};

std::string Post(const std::string& body) {
   return "POST /sdk HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(TransportHostile, StalledClientsAreDropped) {
   const std::string request = Post(Call("RetrieveServiceContent"));
   for (const std::string& half : {request.substr(0, 40), request.substr(0, request.size() - 40)}) {
      SCOPED_TRACE(half.size());
      Raw client(server.port);
      client.Send(half);
      const auto start = std::chrono::steady_clock::now();
      std::string answer;
      EXPECT_TRUE(client.ReadToEnd(answer)) << "the connection was not closed";
      const auto waited = std::chrono::steady_clock::now() - start;
      EXPECT_GE(waited, 900ms);
      EXPECT_LT(waited, 5s);
      EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 400") << answer;
   }
   EXPECT_EQ(server.instance->CallCount(), 0u);
   ServerStillServes();
}

TEST_F(TransportHostile, ClientVanishingDuringACall) {
   server.gate = false;
   {
      Raw client(server.port);
      client.Send(Post(Call("RetrieveProductComponents")));
      ASSERT_TRUE(Served::WaitFor([this] { return server.waiting == 1; }));
   }
   server.gate = true;
   ASSERT_TRUE(Served::WaitFor([this] { return server.waiting == 0; }));
   ServerStillServes();
}

// A call that timed out is raised as RequestCanceled and is not sent again, even on a kept-alive
// connection.
TEST_F(TransportHostile, TimedOutCallIsNotSentAgain) {
   Transport::ClientOptions options = server.Client();
   options.readTimeout = 300ms;
   const auto instance = Served::Connect(options);
   Served::ExpectContent(*instance);
   server.gate = false;
   Pellum::Ref<Ormid::DataArray<Quorl::ServiceInstance::ProductComponentInfo>> components;
   EXPECT_THROW(instance->RetrieveProductComponents(components), Ormid::Fault::RequestCanceled::Exception);
   server.gate = true;
   ASSERT_TRUE(Served::WaitFor([this] { return server.waiting == 0; }));
   std::this_thread::sleep_for(100ms);
   EXPECT_EQ(server.instance->CallCount(), 2u);
}

} // namespace
