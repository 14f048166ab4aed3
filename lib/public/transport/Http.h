// Calls across processes: the wire codec (wire/Codec.h, docs/wire.md) over HTTP/1.1 and HTTPS.
//
//   HttpClientAdapter  an Ormid::StubAdapter that sends every call of the stubs made with it to a server:
//                      every generated stub works against a remote server unchanged.
//   HttpServer         serves the objects registered with an Ormid::LoopbackAdapter to such clients, with
//                      sessions and the privilege checks of the method records.
//   Users              who may log in, and which privileges each holds (InMemoryUsers: a table).
//
// Versions: a client states its API version in the SOAPAction header of every request; the server reads
// the request as that version, answers in it, and refuses a version its own does not include.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "ormid/AsyncAdapter.h"
#include "ormid/Loopback.h"
#include "ormid/Stub.h"
#include "transport/Export.h"

namespace Ormid {
class Version;
}

namespace Transport {

struct ClientOptions {
   std::string host = "localhost";
   int port = 443;
   bool tls = true;
   std::string path = "/sdk";
   // TLS: the server's certificate is verified against the system's trusted certificates, or those of
   // `caFile` when set, and must name `host`. An explicit `pinnedThumbprint` (SHA-256 of the server's
   // certificate, hexadecimal, colons allowed) trusts exactly that certificate instead of a chain; the
   // host name is still checked. Turning verification off is possible but must be asked for.
   std::string caFile;
   std::string pinnedThumbprint;
   bool verifyCertificate = true;
   std::chrono::milliseconds connectTimeout{10'000};
   std::chrono::milliseconds readTimeout{120'000};
   std::chrono::milliseconds writeTimeout{30'000};
   // The version stated to the server (null: Wire::DefaultVersion()).
   const Ormid::Version* version = nullptr;
   // Connections kept open for reuse (one call uses one connection at a time).
   std::size_t maxIdleConnections = 8;
   // Worker threads of asynchronous calls (0: the hardware's, at most 4).
   unsigned asyncThreads = 0;
};

// Sends calls to a server. Faults the server answers are raised as their own exception classes; a call
// that cannot reach the server, times out or gets an answer that is not one raises an
// Ormid::Fault::SystemError (Ormid::Fault::RequestCanceled for a time-out) whose message says what
// happened and where. The session cookie the server sets (at login) is kept and sent with later calls.
// Safe to use from several threads at once: each call takes an idle connection or opens one.
class TRANSPORT_API HttpClientAdapter final : public Ormid::AsyncStubAdapter {
public:
   explicit HttpClientAdapter(ClientOptions options);
   ~HttpClientAdapter() override;

   void Invoke(Ormid::MoRef* ref, Ormid::ManagedMethod* method, Ormid::ArgumentList& args,
               Pellum::Ref<Ormid::Any>& result, Ormid::RequestContext* context) override;

   // A stub of `ref`'s type whose calls go through this adapter, as T: an interface or a stub class
   // (Quorl::<Type>Stub, with the asynchronous members), as LoopbackAdapter::GetStub.
   template <class T> Pellum::Ref<T> GetStub(Ormid::MoRef* ref, Ormid::RequestContext* context = nullptr) {
      return Ormid::CreateStub<T>(ref, this, context);
   }

   // The session cookie ("name=value"), empty before a login.
   std::string GetSessionCookie() const;
   void SetSessionCookie(std::string cookie);
   // "https://host:port/path".
   std::string GetUrl() const;
   std::string ToString() const override;

   struct Impl;

private:
   std::unique_ptr<Impl> _impl;
};

// Users and their privileges, as the server asks about them.
class TRANSPORT_API Users : public Pellum::ObjectImpl {
public:
   ~Users() override;
   virtual bool CheckPassword(const std::string& user, const std::string& password) const = 0;
   virtual bool HasPrivilege(const std::string& user, std::string_view privilegeId) const = 0;
};

// A table of users: name, password and privileges ("*" stands for every privilege).
class TRANSPORT_API InMemoryUsers final : public Users {
public:
   InMemoryUsers();
   ~InMemoryUsers() override;
   void Add(std::string user, std::string password, std::set<std::string, std::less<>> privileges);
   bool CheckPassword(const std::string& user, const std::string& password) const override;
   bool HasPrivilege(const std::string& user, std::string_view privilegeId) const override;

private:
   struct Entry {
      std::string password;
      std::set<std::string, std::less<>> privileges;
   };
   mutable std::mutex _lock;
   std::map<std::string, Entry, std::less<>> _users;
};

struct ServerOptions {
   std::string address = "127.0.0.1";
   int port = 0; // 0: any free port (GetPort() tells which)
   std::string path = "/sdk";
   // Both set: HTTPS with this certificate and key (PEM files).
   std::string certificateFile;
   std::string keyFile;
   // The newest version the server speaks (null: Wire::DefaultVersion()); requests of every version it
   // includes are accepted.
   const Ormid::Version* version = nullptr;
   // Worker threads: at most this many calls run at once (further calls wait their turn).
   unsigned threads = 8;
   // Connections served at once, each on a thread of its own while it is open (kept-alive time included;
   // the threads start when needed); further connections wait until one closes.
   unsigned maxConnections = 256;
   // Request bodies longer than this are answered 413 with an InvalidRequest fault and the connection ends:
   // one whose Content-Length says so is not read at all; a chunked or compressed one is counted as it
   // arrives (inflated) and read no further than the limit.
   std::size_t maxRequestBytes = std::size_t{16} << 20;
   int maxDepth = 64;
   // A client that stops sending in the middle of a request for this long is answered 400 and
   // disconnected (as is a request that cannot be read); an idle keep-alive connection after
   // keepAliveTimeout.
   std::chrono::seconds readTimeout{10};
   std::chrono::seconds keepAliveTimeout{30};
   // Sessions unused for this long end.
   std::chrono::seconds sessionIdleTimeout{30 * 60};
   // The privilege that needs no session, and the faults of a missing session and a missing privilege
   // (wire names of faults with the properties `object` and `privilegeId`).
   std::string anonymousPrivilege = "System.Anonymous";
   std::string notAuthenticatedFault = "quorl.fault.NotAuthenticated";
   std::string noPermissionFault = "quorl.fault.NoPermission";
};

// Serves the objects of `objects` over HTTP(S). Each request is read as the version its SOAPAction
// states, authorised, dispatched through the loopback adapter (which finds the object and runs the
// generated dispatcher), and answered with the result or the fault (HTTP status: the fault's response
// code). Authorisation from the method records: a member whose privilege is the anonymous one may be
// called without a session; any other call without a valid session is answered with the
// not-authenticated fault (401); a call whose privilege the session's user lacks with the no-permission
// fault (403). A session starts when an implementation calls StartSession() while serving a call (a
// login method does, after checking the password with the server's Users); the answer then sets its
// cookie.
class TRANSPORT_API HttpServer {
public:
   HttpServer(ServerOptions options, Pellum::Ref<Ormid::LoopbackAdapter> objects, Pellum::Ref<Users> users);
   ~HttpServer(); // Stop()
   HttpServer(const HttpServer&) = delete;
   HttpServer& operator=(const HttpServer&) = delete;

   // Binds and starts serving on a thread of its own; answers the port. Raises Pellum::Exception when the
   // address cannot be bound or the certificate cannot be loaded.
   int Start();
   // Stops accepting, lets the calls that are running finish, and joins the server's threads. Idempotent.
   void Stop();
   int GetPort() const noexcept;
   const Users& GetUsers() const noexcept;

   // One request handled without a socket (what the server does with each POST, also before Start()):
   // the body, the SOAPAction and Cookie headers (empty when absent) in; the status, the body and a
   // Set-Cookie value (empty when none) out. Never throws for a bad request: it is answered with a fault.
   struct Answer {
      int status = 200;
      std::string body;
      std::string setCookie;
   };
   Answer Handle(std::string_view body, std::string_view soapAction, std::string_view cookie);

   // While serving a call, on the serving thread: the session's user (empty without a session), and a new
   // session for `user` that the answer to this call establishes (its cookie).
   static std::string CurrentUser();
   static void StartSession(const std::string& user);
   // Ends the session of the current call (logout).
   static void EndSession();
   // A session for `user` made outside any call (a program that hands its clients their sessions): the
   // cookie ("name=value") for HttpClientAdapter::SetSessionCookie.
   std::string CreateSession(const std::string& user);

   struct Impl;

private:
   std::unique_ptr<Impl> _impl;
};

} // namespace Transport
