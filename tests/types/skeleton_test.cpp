// The generated skeletons (quorl/<Type>Skeleton.h): a member nobody overrode raises
// Ormid::Fault::NotSupported naming itself, whether the type declares it or inherits it. That every
// skeleton can be instantiated is checked at compile time by the generated conformance sources.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "ormid/MethodFault.h"
#include "quorl/ServiceInstanceSkeleton.h"
#include "quorl/SessionManagerSkeleton.h"
#include "quorl/UserSession.h"
#include "quorl/VirtualMachineSkeleton.h"
#include "quorl/host/DiskManagerSkeleton.h"

namespace {

using Pellum::Ref;

// A skeleton with the two members every implementation provides itself.
template <class Skeleton> class Served final : public Skeleton {
public:
   Ormid::MoRef* _GetRef() const override { return nullptr; }
   void _Invalidate() override {}
};

// "key: message" of the one message of the NotSupported fault that `call` raises; empty when it raises none.
std::string NotServedMessage(const std::function<void()>& call) {
   try {
      call();
   } catch (const Ormid::Fault::NotSupported::Exception& e) {
      const auto& messages = e.GetFault()->faultMessage;
      if (!messages || messages->size() != 1) {
         return "<not one message>";
      }
      const Ormid::LocalizableMessage* m = (*messages)[0];
      return m->key + ": " + m->message.GetValueOr("");
   }
   return "";
}

TEST(Skeleton, UnservedMembersRaiseNotSupportedNamingThemselves) {
   Ref<Quorl::VirtualMachine> vm(new Served<Quorl::VirtualMachineSkeleton>());
   Ref<Quorl::ServiceInstance> instance(new Served<Quorl::ServiceInstanceSkeleton>());
   Ref<Quorl::SessionManager> sessions(new Served<Quorl::SessionManagerSkeleton>());
   Ref<Quorl::Host::DiskManager::Lease> lease(new Served<Quorl::Host::DiskManager::LeaseSkeleton>());
   Ref<Ormid::MoRef> task;
   Ref<Quorl::UserSession> session;
   const std::pair<std::function<void()>, const char*> rows[] = {
       {[&] { vm->PowerOff(task); }, "VirtualMachine::PowerOff"},
       // Inherited members are answered by the skeleton of the type that declares them.
       {[&] { (void)vm->GetName(); }, "ManagedEntity::GetName"},
       {[&] { vm->SetCustomValue("k", "v"); }, "ExtensibleManagedObject::SetCustomValue"},
       {[&] { (void)instance->GetServerClock(); }, "ServiceInstance::GetServerClock"},
       {[&] { sessions->Login("user", "secret", Pellum::Optional<std::string>(), session); },
        "SessionManager::Login"},
       // The skeleton of a nested managed type is nested like its interface.
       {[&] { lease->Renew(); }, "DiskManager::Lease::Renew"},
   };
   for (const auto& [call, member] : rows) {
      EXPECT_EQ(NotServedMessage(call), std::string("ormid.notServed: ") + member + " is not served here");
   }
}

} // namespace
