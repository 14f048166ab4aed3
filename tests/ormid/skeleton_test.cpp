// The generated skeletons (<Type>Skeleton.h), on the test namespace of tests/schemas: a member nobody
// overrode raises Ormid::Fault::NotSupported naming itself, whether the type declares it, declares it
// again or inherits it. That every skeleton of the library can be instantiated is checked at compile time by
// the generated conformance sources.
#include <gtest/gtest.h>

#include "ormid/MethodFault.h"
#include "ormidtest/LeaseSkeleton.h"
#include "ormidtest/nested/FolderSkeleton.h"

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
   using Ormidtest::Nested::Folder;
   Ref<Folder> folder(new Served<Ormidtest::Nested::FolderSkeleton>());
   Ref<Folder::Lock> lock(new Served<Folder::LockSkeleton>());
   Ref<Ormidtest::Lease> lease(new Served<Ormidtest::LeaseSkeleton>());
   Ref<Ormid::MoRef> out;
   const std::pair<std::function<void()>, const char*> rows[] = {
       {[&] { folder->CreateFolder("f", out); }, "Folder::CreateFolder"},
       // A property declared again is the derived type's own; inherited members are answered by the
       // skeleton of the type that declares them.
       {[&] { (void)folder->GetName(); }, "Folder::GetName"},
       {[&] { folder->Reload(); }, "Entity::Reload"},
       // The skeleton of a nested managed type is nested like its interface.
       {[&] { lock->Release(out); }, "Folder::Lock::Release"},
       {[&] { lease->Progress(50); }, "Lease::Progress"},
   };
   for (const auto& [call, member] : rows) {
      EXPECT_EQ(NotServedMessage(call), std::string("ormid.notServed: ") + member + " is not served here");
   }
}

} // namespace
