// The client adapter against a server that answers with prepared bytes: every framing an HTTP/1.x answer
// may have, answers that arrive a byte at a time, connections the server closes, and answers that are
// not HTTP or are cut short. Each row lists the answers to successive requests and what the client's
// calls must come to.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "served.h"
#include "wire/Codec.h"

namespace {

struct Answer {
   std::string bytes;       // empty: none (the connection is closed after reading the request)
   bool closeAfter = false; // the server closes the connection after answering
   bool trickle = false;    // written a byte at a time
};

// Answers requests on 127.0.0.1 from a script, one connection at a time.
class Scripted {
public:
   Scripted(std::vector<Answer> script, std::atomic<int>& connections)
       : _script(std::move(script)), _connections(connections) {
      _listener = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t length = sizeof address;
      bind(_listener, reinterpret_cast<sockaddr*>(&address), length);
      listen(_listener, 4);
      getsockname(_listener, reinterpret_cast<sockaddr*>(&address), &length);
      port = ntohs(address.sin_port);
      _thread = std::thread([this] { Serve(); });
   }
   ~Scripted() {
      shutdown(_listener, SHUT_RDWR);
      _thread.join();
      close(_listener);
   }
   int port = 0;

private:
   void Serve() {
      std::size_t next = 0;
      for (int fd; (fd = accept(_listener, nullptr, nullptr)) >= 0;) {
         ++_connections;
         while (ReadRequest(fd) && next < _script.size()) {
            const Answer& answer = _script[next++];
            if (answer.trickle) {
               for (char c : answer.bytes) {
                  send(fd, &c, 1, MSG_NOSIGNAL);
               }
            } else if (!answer.bytes.empty()) {
               send(fd, answer.bytes.data(), answer.bytes.size(), MSG_NOSIGNAL);
            }
            if (answer.bytes.empty() || answer.closeAfter) {
               break;
            }
         }
         close(fd);
      }
   }
   // One request, header and body; false when the client closed the connection.
   static bool ReadRequest(int fd) {
      std::string in;
      char buffer[4096];
      std::size_t end = std::string::npos, length = 0;
      while (end == std::string::npos || in.size() < end + 4 + length) {
         const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
         if (n <= 0) {
            return false;
         }
         in.append(buffer, static_cast<std::size_t>(n));
         if (end == std::string::npos && (end = in.find("\r\n\r\n")) != std::string::npos) {
            const std::size_t at = in.find("Content-Length: ");
            length = at < end ? std::stoul(in.substr(at + 16)) : 0;
         }
      }
      return true;
   }

   std::vector<Answer> _script;
   std::atomic<int>& _connections;
   int _listener = -1;
   std::thread _thread;
};

std::string Chunked(const std::string& body) {
   const std::size_t half = body.size() / 2;
   char sizes[2][32];
   std::snprintf(sizes[0], sizeof sizes[0], "%zx;note=1\r\n", half);
   std::snprintf(sizes[1], sizeof sizes[1], "%zX\r\n", body.size() - half);
   return std::string(sizes[0]) + body.substr(0, half) + "\r\n" + sizes[1] + body.substr(half) +
          "\r\n0\r\nX-Trailer: 1\r\n\r\n";
}

struct Row {
   const char* name;
   int calls;
   int connections;     // the client opened, over all its calls
   const char* failure; // part of the last call's SystemError; null: every call works
   std::vector<Answer> script;
};

TEST(TransportClient, ReadsEveryFramingAndRefusesWhatIsNotAnAnswer) {
   const std::string xml =
       Wire::EncodeResponse(Served::Method("retrieveContent"), Served::Content().GetPtr());
   const std::string type = "Content-Type: text/xml; charset=utf-8\r\n";
   const std::string ok =
       "HTTP/1.1 200 OK\r\n" + type + "Content-Length: " + std::to_string(xml.size()) + "\r\n\r\n" + xml;
   const std::string chunked =
       "HTTP/1.1 200 OK\r\n" + type + "transfer-encoding: Chunked\r\n\r\n" + Chunked(xml);
   const std::string closing = "HTTP/1.1 200 OK\r\nConnection: close\r\n" + ok.substr(17);
   const std::string http10 = "HTTP/1.0 200 OK\r\n" + type + "\r\n" + xml;
   const std::string endless = "HTTP/1.1 200 OK\r\nX: " + std::string(70'000, 'x');
   const std::string badGateway = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 4\r\n\r\ngone";
   const bool close = true, trickle = true;
   const std::vector<Row> rows = {
       {"length, kept alive", 3, 1, nullptr, {{ok}, {ok}, {ok}}},
       {"chunked, extensions and trailer", 2, 1, nullptr, {{chunked}, {chunked}}},
       {"a byte at a time", 2, 1, nullptr, {{ok, !close, trickle}, {chunked, !close, trickle}}},
       {"100 Continue first", 1, 1, nullptr, {{"HTTP/1.1 100 Continue\r\n\r\n" + ok}}},
       {"Connection: close", 2, 2, nullptr, {{closing, close}, {ok}}},
       {"HTTP/1.0, body to the end", 2, 2, nullptr, {{http10, close}, {ok}}},
       {"kept-alive connection closed meanwhile: sent again", 2, 2, nullptr, {{ok}, {""}, {ok}}},
       {"closed without answering a new connection", 1, 1, "closed the connection without answering", {{""}}},
       {"not HTTP", 1, 1, "not HTTP: status line", {{"SSH-2.0-x\r\n\r\n"}}},
       {"header without end", 1, 1, "over 64 KB", {{endless, close}}},
       {"bad length", 1, 1, "bad Content-Length", {{"HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n"}}},
       {"body cut short", 1, 1, "in the middle of the answer", {{ok.substr(0, ok.size() - 10), close}}},
       {"chunks cut short", 1, 1, "in the middle", {{chunked.substr(0, chunked.size() - 30), close}}},
       {"error page", 1, 1, "HTTP 502 without a SOAP answer: gone", {{badGateway}}},
   };
   for (const Row& row : rows) {
      SCOPED_TRACE(row.name);
      std::atomic<int> connections{0};
      {
         Scripted server(row.script, connections);
         Transport::ClientOptions options = Served::PlainClient(server.port);
         options.readTimeout = std::chrono::seconds(5);
         const auto stub = Served::Connect(options);
         for (int call = 0; call < row.calls; ++call) {
            SCOPED_TRACE("call " + std::to_string(call));
            Served::ExpectOutcome(call + 1 == row.calls ? row.failure : nullptr,
                                  [&] { Served::ExpectContent(*stub); });
         }
      }
      EXPECT_EQ(connections, row.connections);
   }
}

} // namespace
