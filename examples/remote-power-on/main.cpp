// A client in its own process powers on a virtual machine of a server (`quorl-types serve`):
//   remote-power-on URL USER PASSWORD [--thumbprint SHA256 | --ca FILE | --insecure]
// It reads the service content without a session, logs in, finds the machines in the root folder,
// powers the first one on, follows the task to its end, and powers it on again to catch the server's
// InvalidPowerState fault by its own class. Every call goes through a generated stub over HTTP(S).
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "ormid/ToString.h"
#include "quorl/AboutInfo.h"
#include "quorl/Folder.h"
#include "quorl/ServiceInstance.h"
#include "quorl/ServiceInstanceContent.h"
#include "quorl/SessionManager.h"
#include "quorl/Task.h"
#include "quorl/TaskInfo.h"
#include "quorl/UserSession.h"
#include "quorl/VirtualMachine.h"
#include "quorl/fault/InvalidPowerState.h"
#include "quorl/vm/RuntimeInfo.h"
#include "transport/Http.h"

using Pellum::Ref;

namespace {

// "http[s]://host:port/path" into the client's options.
bool ParseUrl(const std::string& url, Transport::ClientOptions& options) {
   const auto scheme = url.find("://");
   if (scheme == std::string::npos) {
      return false;
   }
   options.tls = url.compare(0, scheme, "https") == 0;
   const auto hostStart = scheme + 3;
   const auto pathStart = url.find('/', hostStart);
   const std::string hostPort = url.substr(hostStart, pathStart - hostStart);
   const auto colon = hostPort.rfind(':');
   options.host = hostPort.substr(0, colon);
   options.port =
       colon == std::string::npos ? (options.tls ? 443 : 80) : std::stoi(hostPort.substr(colon + 1));
   options.path = pathStart == std::string::npos ? "/sdk" : url.substr(pathStart);
   return true;
}

template <class E> const char* NameOf(int ordinal) {
   return Ormid::GetEnumType<E>()->GetTag(ordinal);
}

} // namespace

int main(int argc, char** argv) {
   Transport::ClientOptions options;
   if (argc < 4 || !ParseUrl(argv[1], options)) {
      std::cerr
          << "usage: remote-power-on URL USER PASSWORD [--thumbprint SHA256 | --ca FILE | --insecure]\n";
      return 2;
   }
   for (int i = 4; i < argc; ++i) {
      const std::string word = argv[i];
      if (word == "--thumbprint" && i + 1 < argc) {
         options.pinnedThumbprint = argv[++i];
      } else if (word == "--ca" && i + 1 < argc) {
         options.caFile = argv[++i];
      } else if (word == "--insecure") {
         options.verifyCertificate = false;
      } else {
         std::cerr << "remote-power-on: unexpected argument \"" << word << "\"\n";
         return 2;
      }
   }
   try {
      Ref<Transport::HttpClientAdapter> client(new Transport::HttpClientAdapter(options));
      Ref<Ormid::MoRef> instanceRef(new Ormid::MoRef("quorl.ServiceInstance", "ServiceInstance"));
      Ref<Quorl::ServiceInstance> instance = client->GetStub<Quorl::ServiceInstance>(instanceRef.GetPtr());
      Ref<Quorl::ServiceInstanceContent> content;
      instance->RetrieveContent(content);
      std::cout << "client: connected to " << client->GetUrl() << ": " << content->about->fullName << "\n";

      Ref<Quorl::SessionManager> sessions =
          client->GetStub<Quorl::SessionManager>(content->sessionManager.GetPtr());
      Ref<Quorl::UserSession> session;
      sessions->Login(argv[2], argv[3], Pellum::Optional<std::string>(), session);
      std::cout << "client: logged in as " << argv[2] << "\n";

      Ref<Quorl::Folder> root = client->GetStub<Quorl::Folder>(content->rootFolder.GetPtr());
      Ref<Ormid::DataArray<Ormid::MoRef>> children;
      root->GetChildEntity(children);
      if (!children || children->empty()) {
         std::cerr << "remote-power-on: the root folder holds no machine\n";
         return 1;
      }
      Ref<Quorl::VirtualMachine> vm = client->GetStub<Quorl::VirtualMachine>(children->Get(0));
      std::cout << "client: " << vm->GetName() << " (" << children->Get(0)->ToString() << ")\n";

      Ref<Ormid::MoRef> taskRef;
      vm->PowerOn(nullptr, taskRef);
      Ref<Quorl::Task> task = client->GetStub<Quorl::Task>(taskRef.GetPtr());
      Ref<Quorl::TaskInfo> info;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      do {
         std::this_thread::sleep_for(std::chrono::milliseconds(10));
         task->GetInfo(info);
      } while ((info->state == static_cast<int>(Quorl::TaskInfo::State::queued) ||
                info->state == static_cast<int>(Quorl::TaskInfo::State::running)) &&
               std::chrono::steady_clock::now() < deadline);
      std::cout << "client: task " << info->key << " ended: " << NameOf<Quorl::TaskInfo::State>(info->state)
                << "\n";
      Ref<Quorl::Vm::RuntimeInfo> runtime;
      vm->GetRuntime(runtime);
      std::cout << "client: " << vm->GetName() << " is "
                << NameOf<Quorl::VirtualMachine::PowerState>(runtime->powerState) << "\n";
      try {
         vm->PowerOn(nullptr, taskRef);
         std::cerr << "remote-power-on: a second power-on was accepted\n";
         return 1;
      } catch (const Quorl::Fault::InvalidPowerState::Exception& e) {
         auto* fault = static_cast<Quorl::Fault::InvalidPowerState*>(e.GetFault());
         std::cout << "client: powering on again: InvalidPowerState (existing state "
                   << NameOf<Quorl::VirtualMachine::PowerState>(fault->existingState) << ")\n";
      }
      sessions->Logout();
      return 0;
   } catch (const Pellum::Exception& e) {
      std::cerr << "remote-power-on: " << e.what() << "\n";
      return 1;
   }
}
