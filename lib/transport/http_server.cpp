// The HTTP(S) server: reads each request with the wire codec, checks the session and the privilege the
// method record names, and runs the call on the objects of a loopback adapter.

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "ormid/Versions.h"
#include "pellum/Exception.h"
#include "transport/Http.h"
#include "wire/Codec.h"

namespace Transport {
namespace {

constexpr const char* kCookieName = "quorl_session";
constexpr const char* kXml = "text/xml; charset=utf-8";

// What an implementation may ask about the call it serves (HttpServer::CurrentUser, StartSession).
struct CallState {
   std::string user;
   std::string token;    // the session of the request, or empty
   std::string newToken; // a session started by this call
   bool ended = false;   // EndSession() was called
};
thread_local CallState* tCurrentCall = nullptr;

std::string NewToken() {
   static std::mutex lock;
   static std::random_device device;
   std::lock_guard<std::mutex> guard(lock);
   static const char kHex[] = "0123456789abcdef";
   std::string token;
   for (int i = 0; i < 8; ++i) {
      unsigned value = device();
      for (int j = 0; j < 8; ++j, value >>= 4) {
         token += kHex[value & 15];
      }
   }
   return token;
}

std::string CookieValue(const std::string& header) {
   const std::string key = std::string(kCookieName) + "=";
   std::size_t at = 0;
   while ((at = header.find(key, at)) != std::string::npos) {
      if (at == 0 || header[at - 1] == ' ' || header[at - 1] == ';') {
         const std::size_t start = at + key.size();
         return header.substr(start, header.find(';', start) - start);
      }
      at += key.size();
   }
   return {};
}

Pellum::Ref<Ormid::MethodFault> InvalidRequest(const std::string& why) {
   Pellum::Ref<Ormid::MethodFault> fault(new Ormid::Fault::InvalidRequest());
   fault->GetFaultMessage()->Append(Pellum::Ref<Ormid::LocalizableMessage>(
       new Ormid::LocalizableMessage("transport.invalidRequest", why)));
   return fault;
}

// The version a SOAPAction states. Wire::FindVersionBySoapAction walks the catalogue; a connection's
// client states the same version in every request, so the serving thread keeps the last one found.
const Ormid::Version* VersionOf(std::string_view soapAction) {
   thread_local std::string lastAction;
   thread_local const Ormid::Version* lastVersion = nullptr;
   if (lastVersion == nullptr || soapAction != lastAction) {
      lastVersion = Wire::FindVersionBySoapAction(soapAction);
      lastAction = soapAction;
   }
   return lastVersion;
}

// Answers `body` and ends the connection after it: the rest of the request was not read. (httplib closes
// a connection whose content provider fails; this one writes the whole answer first.)
void AnswerAndClose(httplib::Response& res, int status, std::string body) {
   auto text = std::make_shared<const std::string>(std::move(body));
   res.status = status;
   res.set_header("Connection", "close");
   res.set_content_provider(text->size(), kXml,
                            [text](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               sink.write(text->data() + offset, length);
                               return false;
                            });
}

// httplib serves a connection on one task from its first request to its close, kept-alive time included.
// Each connection gets a thread of its own here, up to `max` at once (started when needed, kept until the
// server stops; further connections wait for one), so connections that are idle, slow or busy with
// other calls hold no worker of the calls (Impl::slots bounds those).
class ConnectionThreads final : public httplib::TaskQueue {
public:
   explicit ConnectionThreads(std::size_t max) : _max(std::max<std::size_t>(1, max)) {}
   ~ConnectionThreads() override { shutdown(); }

   void enqueue(std::function<void()> task) override {
      std::lock_guard<std::mutex> guard(_lock);
      _tasks.push_back(std::move(task));
      if (_tasks.size() > _idle && _threads.size() < _max) {
         _threads.emplace_back([this] { Work(); });
      } else {
         _ready.notify_one();
      }
   }

   // Runs the tasks still queued, then joins the threads.
   void shutdown() override {
      {
         std::lock_guard<std::mutex> guard(_lock);
         _stopping = true;
      }
      _ready.notify_all();
      for (std::thread& thread : _threads) {
         if (thread.joinable()) {
            thread.join();
         }
      }
   }

private:
   void Work() {
      std::unique_lock<std::mutex> lock(_lock);
      for (;;) {
         ++_idle;
         _ready.wait(lock, [this] { return _stopping || !_tasks.empty(); });
         --_idle;
         if (_tasks.empty()) {
            return;
         }
         std::function<void()> task = std::move(_tasks.front());
         _tasks.pop_front();
         lock.unlock();
         task();
         lock.lock();
      }
   }

   const std::size_t _max;
   std::mutex _lock;
   std::condition_variable _ready;
   std::deque<std::function<void()>> _tasks;
   std::vector<std::thread> _threads;
   std::size_t _idle = 0;
   bool _stopping = false;
};

} // namespace

Users::~Users() = default;
InMemoryUsers::InMemoryUsers() = default;
InMemoryUsers::~InMemoryUsers() = default;

void InMemoryUsers::Add(std::string user, std::string password,
                        std::set<std::string, std::less<>> privileges) {
   std::lock_guard<std::mutex> guard(_lock);
   _users[std::move(user)] = Entry{std::move(password), std::move(privileges)};
}

bool InMemoryUsers::CheckPassword(const std::string& user, const std::string& password) const {
   std::lock_guard<std::mutex> guard(_lock);
   auto it = _users.find(user);
   return it != _users.end() && it->second.password == password;
}

bool InMemoryUsers::HasPrivilege(const std::string& user, std::string_view privilegeId) const {
   std::lock_guard<std::mutex> guard(_lock);
   auto it = _users.find(user);
   return it != _users.end() && (it->second.privileges.count("*") != 0 ||
                                 it->second.privileges.find(privilegeId) != it->second.privileges.end());
}

struct HttpServer::Impl {
   ServerOptions options;
   Pellum::Ref<Ormid::LoopbackAdapter> objects;
   Pellum::Ref<Users> users;
   const Ormid::Version* version = nullptr;
   std::unique_ptr<httplib::Server> server;
   std::thread thread;
   int port = -1;
   std::mutex stopLock;

   // At most options.threads calls run at once: each holds a slot while it runs.
   std::mutex slotsLock;
   std::condition_variable slotFreed;
   unsigned freeSlots = 0;
   struct CallSlot {
      explicit CallSlot(Impl& impl) : _impl(impl) {
         std::unique_lock<std::mutex> guard(impl.slotsLock);
         impl.slotFreed.wait(guard, [&impl] { return impl.freeSlots > 0; });
         --impl.freeSlots;
      }
      ~CallSlot() {
         {
            std::lock_guard<std::mutex> guard(_impl.slotsLock);
            ++_impl.freeSlots;
         }
         _impl.slotFreed.notify_one();
      }
      CallSlot(const CallSlot&) = delete;
      CallSlot& operator=(const CallSlot&) = delete;

   private:
      Impl& _impl;
   };

   struct Session {
      std::string user;
      std::chrono::steady_clock::time_point lastUse;
   };
   std::mutex sessionsLock;
   std::unordered_map<std::string, Session> sessions;

   // The session's user, or empty (an unknown or expired token ends the session).
   std::string UserOf(const std::string& token) {
      if (token.empty()) {
         return {};
      }
      const auto now = std::chrono::steady_clock::now();
      std::lock_guard<std::mutex> guard(sessionsLock);
      auto it = sessions.find(token);
      if (it == sessions.end()) {
         return {};
      }
      if (now - it->second.lastUse > options.sessionIdleTimeout) {
         sessions.erase(it);
         return {};
      }
      it->second.lastUse = now;
      return it->second.user;
   }

   // The fault of a refused call: not authenticated, or no permission for `privilege`.
   Pellum::Ref<Ormid::MethodFault> SecurityFault(const std::string& faultName, Ormid::MoRef* target,
                                                 const char* privilege, const std::string& why) {
      Pellum::Ref<Ormid::MethodFault> fault;
      if (Ormid::DataObjectType* type = Ormid::TypeRegistry::Get().FindDataObjectType(faultName)) {
         Pellum::Ref<Ormid::DynamicData> made = type->Create();
         fault = dynamic_cast<Ormid::MethodFault*>(made.GetPtr());
         if (fault && privilege != nullptr) {
            if (Ormid::PropertyRef p = type->FindProperty("privilegeId")) {
               const Ormid::Property id(p);
               id.IsOptional() ? id.Set(fault.GetPtr(), Pellum::Optional<std::string>(privilege))
                               : id.Set(fault.GetPtr(), std::string(privilege));
            }
         }
         if (fault) {
            if (Ormid::PropertyRef p = type->FindProperty("object")) {
               Ormid::Property(p).Set(fault.GetPtr(), Pellum::Ref<Ormid::Any>(target));
            }
         }
      }
      if (!fault) {
         fault = new Ormid::Fault::SecurityError();
      }
      fault->GetFaultMessage()->Append(
          Pellum::Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage("transport.security", why)));
      return fault;
   }

   using Answer = HttpServer::Answer;

   Answer Refuse(const Ormid::MethodFault& fault, const std::string& message, const Ormid::Version* v) {
      return Answer{fault.GetResponseCode().GetCode(), Wire::EncodeFault(fault, message, {v}), {}};
   }

   Answer Handle(std::string_view body, std::string_view soapAction, std::string_view cookie) {
      try {
         return Serve(body, soapAction, cookie);
      } catch (const std::exception& e) {
         Pellum::Ref<Ormid::MethodFault> fault(new Ormid::Fault::SystemError(e.what()));
         return Refuse(*fault, e.what(), version);
      }
   }

   Answer Serve(std::string_view body, std::string_view soapAction, std::string_view cookie) {
      const Ormid::Version* v = version;
      if (!soapAction.empty()) {
         const Ormid::Version* stated = VersionOf(soapAction);
         if (stated == nullptr || !version->Includes(*stated)) {
            const std::string why =
                "version of SOAPAction " + std::string(soapAction.substr(0, 100)) + " is not served";
            return Refuse(*InvalidRequest(why), why, v);
         }
         v = stated;
      }
      CallState state;
      state.token = CookieValue(std::string(cookie));
      state.user = UserOf(state.token);

      Wire::Request call;
      try {
         call = Wire::DecodeRequest(
             body, {.version = v, .maxBytes = options.maxRequestBytes, .maxDepth = options.maxDepth});
      } catch (const Wire::DecodeError& e) {
         return Refuse(*InvalidRequest(e.what()), std::string("bad request: ") + e.what(), v);
      }
      const char* privilege = call.method->GetPrivilegeFor(call.target->GetTypeName());
      const bool anonymous = privilege != nullptr && options.anonymousPrivilege == privilege;
      if (!anonymous && state.user.empty()) {
         const std::string why =
             call.method->GetFullName() + " needs a session" +
             (state.token.empty() ? std::string() : " (the session is unknown or has expired)");
         return Refuse(*SecurityFault(options.notAuthenticatedFault, call.target.GetPtr(), privilege, why),
                       why, v);
      }
      if (!anonymous && privilege != nullptr && std::string_view(privilege) != "dynamic" &&
          !users->HasPrivilege(state.user, privilege)) {
         const std::string why = state.user + " lacks the privilege " + privilege + " that " +
                                 call.method->GetFullName() + " needs";
         return Refuse(*SecurityFault(options.noPermissionFault, call.target.GetPtr(), privilege, why), why,
                       v);
      }

      Pellum::Ref<Ormid::Any> result;
      tCurrentCall = &state;
      try {
         objects->Invoke(call.target.GetPtr(), const_cast<Ormid::ManagedMethod*>(call.method), call.args,
                         result, nullptr);
         tCurrentCall = nullptr;
      } catch (const Ormid::MethodFault::Exception& e) {
         tCurrentCall = nullptr;
         Pellum::Ref<Ormid::MethodFault> fault(e.GetFault());
         return Refuse(fault ? *fault : *InvalidRequest(e.what()), e.what(), v);
      } catch (...) {
         tCurrentCall = nullptr;
         throw;
      }
      Answer answer;
      try {
         answer.body = Wire::EncodeResponse(*call.method, result.GetPtr(), {v});
      } catch (const Wire::EncodeError& e) {
         Pellum::Ref<Ormid::MethodFault> fault(
             new Ormid::Fault::SystemError(std::string("the result cannot be written: ") + e.what()));
         return Refuse(*fault, fault->ToString(), v);
      }
      std::lock_guard<std::mutex> guard(sessionsLock);
      if (state.ended && !state.token.empty()) {
         sessions.erase(state.token);
      }
      if (!state.newToken.empty()) {
         sessions[state.newToken] = Session{state.user, std::chrono::steady_clock::now()};
         answer.setCookie = std::string(kCookieName) + "=" + state.newToken + "; Path=/; HttpOnly";
      }
      return answer;
   }
};

HttpServer::HttpServer(ServerOptions options, Pellum::Ref<Ormid::LoopbackAdapter> objects,
                       Pellum::Ref<Users> users)
    : _impl(std::make_unique<Impl>()) {
   if (!objects || !users) {
      throw Pellum::Exception("HttpServer: the objects to serve and the users are required");
   }
   _impl->options = std::move(options);
   _impl->objects = std::move(objects);
   _impl->users = std::move(users);
   _impl->version = _impl->options.version != nullptr ? _impl->options.version : Wire::DefaultVersion();
}

HttpServer::~HttpServer() {
   Stop();
}

int HttpServer::Start() {
   Impl& impl = *_impl;
   std::lock_guard<std::mutex> guard(impl.stopLock);
   if (impl.server) {
      return impl.port;
   }
   const ServerOptions& o = impl.options;
   std::unique_ptr<httplib::Server> server;
   if (!o.certificateFile.empty() || !o.keyFile.empty()) {
      auto tls = std::make_unique<httplib::SSLServer>(o.certificateFile.c_str(), o.keyFile.c_str());
      if (!tls->is_valid()) {
         throw Pellum::Exception("HttpServer: cannot load the certificate " + o.certificateFile +
                                 " and key " + o.keyFile);
      }
      server = std::move(tls);
   } else {
      server = std::make_unique<httplib::Server>();
   }
   const unsigned threads = std::max(1u, o.threads);
   impl.freeSlots = threads;
   server->new_task_queue = [connections = o.maxConnections] { return new ConnectionThreads(connections); };
   server->set_payload_max_length(o.maxRequestBytes);
   server->set_tcp_nodelay(true);
   server->set_read_timeout(o.readTimeout);
   server->set_write_timeout(o.readTimeout);
   server->set_keep_alive_timeout(o.keepAliveTimeout.count());
   server->set_keep_alive_max_count(1u << 20);
   // The body is read here, counted as it arrives: httplib compares only a Content-Length with its limit,
   // and would hold a chunked body, one without a length or a compressed one (inflated as it is read)
   // whole, whatever its size.
   server->Post(o.path, [&impl](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& read) {
      const std::size_t limit = impl.options.maxRequestBytes;
      const auto declared = req.get_header_value<uint64_t>("Content-Length");
      bool over = declared > limit;
      std::string body;
      body.reserve(over ? 0 : static_cast<std::size_t>(declared));
      const bool complete = !over && read([&](const char* data, std::size_t size) {
         over = size > limit - body.size();
         if (!over) {
            body.append(data, size);
         }
         return !over;
      });
      if (!complete) {
         const std::string why = over ? "the request is over the limit of " + std::to_string(limit) + " bytes"
                                      : "the request's body cannot be read whole (cut, malformed or late)";
         AnswerAndClose(res, over ? 413 : 400, Wire::EncodeFault(*InvalidRequest(why), why, {impl.version}));
         return;
      }
      const std::string none;
      Answer answer;
      {
         const Impl::CallSlot slot(impl);
         answer = impl.Handle(body, req.has_header("SOAPAction") ? req.get_header_value("SOAPAction") : none,
                              req.has_header("Cookie") ? req.get_header_value("Cookie") : none);
      }
      res.status = answer.status;
      res.set_content(std::move(answer.body), kXml);
      if (!answer.setCookie.empty()) {
         res.set_header("Set-Cookie", answer.setCookie);
      }
   });
   // httplib's own error answers (a request line or headers that cannot be read, in time or at all, a path
   // not served): a fault, and the connection ends, as nothing after the error can be trusted to be the
   // start of a request. The server's own answers carry their content type.
   server->set_error_handler(
       httplib::Server::HandlerWithResponse([&impl](const httplib::Request&, httplib::Response& res) {
          if (res.has_header("Content-Type")) {
             return httplib::Server::HandlerResponse::Unhandled;
          }
          const std::string why = "HTTP " + std::to_string(res.status) +
                                  ": the request cannot be read, or is not a POST to " + impl.options.path;
          AnswerAndClose(res, res.status, Wire::EncodeFault(*InvalidRequest(why), why, {impl.version}));
          return httplib::Server::HandlerResponse::Handled;
       }));
   server->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
      std::string why = "unknown exception";
      try {
         std::rethrow_exception(ep);
      } catch (const std::exception& e) {
         why = e.what();
      } catch (...) {
      }
      Pellum::Ref<Ormid::MethodFault> fault(new Ormid::Fault::SystemError(why));
      res.status = 500;
      res.set_content(Wire::EncodeFault(*fault, why), kXml);
   });
   // httplib listens with a backlog of 5 connections, and lets other sockets bind the same port
   // (SO_REUSEPORT): clients that connect at once beyond the backlog saw their connection closed unanswered,
   // and a second server on the port went unnoticed. The socket takes SO_REUSEADDR only (a restarted server
   // finds its port), and the system's backlog once bound.
   int listening = -1;
   server->set_socket_options([&listening](socket_t sock) {
      const int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      listening = sock;
   });
   const int port = o.port == 0 ? server->bind_to_any_port(o.address)
                                : (server->bind_to_port(o.address, o.port) ? o.port : -1);
   if (port < 0 || ::listen(listening, SOMAXCONN) != 0) {
      throw Pellum::Exception("HttpServer: cannot listen on " + o.address + ":" + std::to_string(o.port));
   }
   impl.port = port;
   impl.server = std::move(server);
   impl.thread = std::thread([s = impl.server.get()] { s->listen_after_bind(); });
   // Stop() must find the server running, or its thread would never leave the accept loop.
   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
   while (!impl.server->is_running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
   }
   if (!impl.server->is_running()) {
      impl.server->stop();
      impl.thread.join();
      impl.server.reset();
      throw Pellum::Exception("HttpServer: the server did not start on " + o.address + ":" +
                              std::to_string(port));
   }
   return port;
}

void HttpServer::Stop() {
   Impl& impl = *_impl;
   std::lock_guard<std::mutex> guard(impl.stopLock);
   if (!impl.server) {
      return;
   }
   impl.server->stop();
   if (impl.thread.joinable()) {
      impl.thread.join();
   }
   impl.server.reset();
}

HttpServer::Answer HttpServer::Handle(std::string_view body, std::string_view soapAction,
                                      std::string_view cookie) {
   return _impl->Handle(body, soapAction, cookie);
}

int HttpServer::GetPort() const noexcept {
   return _impl->port;
}

const Users& HttpServer::GetUsers() const noexcept {
   return *_impl->users;
}

std::string HttpServer::CurrentUser() {
   return tCurrentCall != nullptr ? tCurrentCall->user : std::string();
}

void HttpServer::StartSession(const std::string& user) {
   if (tCurrentCall == nullptr) {
      throw Pellum::Exception("HttpServer::StartSession: not serving a call on this thread");
   }
   tCurrentCall->user = user;
   tCurrentCall->newToken = NewToken();
}

std::string HttpServer::CreateSession(const std::string& user) {
   const std::string token = NewToken();
   std::lock_guard<std::mutex> guard(_impl->sessionsLock);
   _impl->sessions[token] = Impl::Session{user, std::chrono::steady_clock::now()};
   return std::string(kCookieName) + "=" + token;
}

void HttpServer::EndSession() {
   if (tCurrentCall == nullptr) {
      throw Pellum::Exception("HttpServer::EndSession: not serving a call on this thread");
   }
   tCurrentCall->ended = true;
}

} // namespace Transport
