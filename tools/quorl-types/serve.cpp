// `quorl-types serve`: a small server of the API over HTTP(S): a service instance whose retrieveContent
// answers, a session manager that logs users in, a root folder holding the power-on example's virtual
// machines, and their power-on tasks.
#include "serve.h"

#include <csignal>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "ormid/Loopback.h"
#include "quorl/AboutInfo.h"
#include "quorl/FolderSkeleton.h"
#include "quorl/ServiceInstanceContent.h"
#include "quorl/ServiceInstanceSkeleton.h"
#include "quorl/SessionManagerSkeleton.h"
#include "quorl/UserSession.h"
#include "quorl/fault/InvalidLogin.h"
#include "scenario.h"
#include "transport/Http.h"
#include "wire/Codec.h"

namespace quorl_types {
namespace {

using Pellum::Ref;

Ref<Ormid::MoRef> RefOf(const char* type, const char* id) {
   return Ref<Ormid::MoRef>(new Ormid::MoRef(type, id));
}

class Folder final : public Quorl::FolderSkeleton {
public:
   Folder(Ref<Ormid::MoRef> ref, Ref<Ormid::DataArray<Ormid::MoRef>> children)
       : _ref(std::move(ref)), _children(std::move(children)) {}
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}
   std::string GetName() override { return "Datacenters"; }
   void GetChildEntity(Ref<Ormid::DataArray<Ormid::MoRef>>& children) override { children = _children; }

private:
   const Ref<Ormid::MoRef> _ref;
   const Ref<Ormid::DataArray<Ormid::MoRef>> _children;
};

class SessionManager final : public Quorl::SessionManagerSkeleton {
public:
   explicit SessionManager(const Transport::Users& users)
       : _ref(RefOf("quorl.SessionManager", "SessionManager")), _users(users) {}
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // Checks the password with the server's users and starts the session the answer's cookie carries.
   void Login(const std::string& userName, const std::string& password, const Pellum::Optional<std::string>&,
              Ref<Quorl::UserSession>& result) override {
      if (!_users.CheckPassword(userName, password)) {
         Ref<Quorl::Fault::InvalidLogin>(new Quorl::Fault::InvalidLogin())->Throw();
      }
      Transport::HttpServer::StartSession(userName);
      result = new Quorl::UserSession();
   }
   void Logout() override { Transport::HttpServer::EndSession(); }

private:
   const Ref<Ormid::MoRef> _ref;
   const Transport::Users& _users;
};

class ServiceInstance final : public Quorl::ServiceInstanceSkeleton {
public:
   explicit ServiceInstance(Ref<Ormid::MoRef> rootFolder)
       : _ref(RefOf("quorl.ServiceInstance", "ServiceInstance")), _rootFolder(std::move(rootFolder)) {}
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   void RetrieveContent(Ref<Quorl::ServiceInstanceContent>& result) override {
      Ref<Quorl::ServiceInstanceContent> content(new Quorl::ServiceInstanceContent());
      content->rootFolder = _rootFolder;
      content->propertyCollector = RefOf("kobl.query.PropertyCollector", "propertyCollector");
      content->sessionManager = RefOf("quorl.SessionManager", "SessionManager");
      Ref<Quorl::AboutInfo> about(new Quorl::AboutInfo());
      about->name = "quorl-types serve";
      about->fullName = "quorl-types serve: the power-on example over HTTP";
      about->vendor = "libquorl-types";
      about->version = "9.0.0";
      about->build = "0";
      about->osType = "linux-aarch64";
      about->productLineId = "quorl-types";
      about->apiType = "HostAgent";
      about->apiVersion = "9.0.0.0";
      content->about = about;
      result = content;
   }

private:
   const Ref<Ormid::MoRef> _ref;
   const Ref<Ormid::MoRef> _rootFolder;
};

volatile std::sig_atomic_t gStop = 0;
extern "C" void OnSignal(int) {
   gStop = 1;
}

} // namespace

int ServeCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
   Transport::ServerOptions options;
   options.port = 8443;
   Ref<Transport::InMemoryUsers> users(new Transport::InMemoryUsers());
   bool anyUser = false;
   for (int i = 2; i < argc; ++i) {
      const std::string_view word = argv[i];
      if (word == "--address" && i + 1 < argc) {
         options.address = argv[++i];
      } else if (word == "--port" && i + 1 < argc) { // 0: any free port
         options.port = std::stoi(argv[++i]);
      } else if (word == "--tls" && i + 2 < argc) {
         options.certificateFile = argv[++i];
         options.keyFile = argv[++i];
      } else if (word == "--user" && i + 1 < argc) {
         // NAME:PASSWORD[:PRIVILEGE,...] (no privileges given: all)
         std::string spec = argv[++i];
         const auto a = spec.find(':');
         if (a == std::string::npos) {
            err << "quorl-types serve: --user takes NAME:PASSWORD[:PRIVILEGE,...]\n";
            return 2;
         }
         const auto b = spec.find(':', a + 1);
         std::set<std::string, std::less<>> privileges;
         if (b == std::string::npos) {
            privileges.insert("*");
         } else {
            std::stringstream list(spec.substr(b + 1));
            for (std::string p; std::getline(list, p, ',');) {
               privileges.insert(p);
            }
         }
         users->Add(spec.substr(0, a),
                    spec.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1),
                    std::move(privileges));
         anyUser = true;
      } else {
         err << "quorl-types serve: unexpected argument \"" << word
             << "\" (serve [--address A] [--port N] [--tls CERT KEY] [--user "
                "NAME:PASSWORD[:PRIVILEGES]]...)\n";
         return 2;
      }
   }
   if (!anyUser) {
      users->Add("admin", "admin", {"*"});
   }
   Ref<Ormid::LoopbackAdapter> objects(new Ormid::LoopbackAdapter());
   Ref<Ormid::DataArray<Ormid::MoRef>> machines(new Ormid::DataArray<Ormid::MoRef>());
   machines->Append(ServeExampleMachine(*objects, "vm-1", "web-01"));
   machines->Append(ServeExampleMachine(*objects, "vm-2", "db-01"));
   Ref<Ormid::MoRef> root = RefOf("quorl.Folder", "group-d1");
   objects->Register(Ref<Folder>(new Folder(root, machines)).GetPtr());
   objects->Register(Ref<ServiceInstance>(new ServiceInstance(root)).GetPtr());
   objects->Register(Ref<SessionManager>(new SessionManager(*users)).GetPtr());

   Transport::HttpServer server(options, objects, users);
   const int port = server.Start();
   out << "quorl-types serve: " << (options.certificateFile.empty() ? "http" : "https") << "://"
       << options.address << ":" << port << options.path << " (version " << Wire::SoapAction(nullptr)
       << "); stop with Ctrl-C" << std::endl;
   std::signal(SIGINT, OnSignal);
   std::signal(SIGTERM, OnSignal);
   while (gStop == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
   }
   server.Stop();
   objects->Shutdown();
   out << "quorl-types serve: stopped" << std::endl;
   return 0;
}

} // namespace quorl_types
