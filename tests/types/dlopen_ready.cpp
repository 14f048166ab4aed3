// libquorl-types opened with dlopen by a program linked to the runtime only, in a process of its own (the
// program has one test): when dlopen returns, every type of the schema is registered and found by name,
// WSDL name and header, and the library's objects work through the runtime's classes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "ormid/MethodFault.h"
#include "ormid/Registry.h"
#include "schema_counts.h"

namespace {

TEST(OpenedAtRunTime, ReadyWhenDlopenReturns) {
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   const std::size_t before = registry.GetTypeCount();
   ASSERT_EQ(registry.FindByName("quorl.vm.BootOptions"), nullptr) << "the program must not link the library";
   void* library = dlopen(QUORL_TYPES_LIBRARY, RTLD_NOW | RTLD_LOCAL);
   ASSERT_NE(library, nullptr) << dlerror();

   std::size_t expected = 0;
   for (const PackageCount& row : kSchemaCounts) {
      expected += static_cast<std::size_t>(row.dataAndFaults + row.enums + row.managed);
   }
   const std::vector<Ormid::Type*> types = registry.GetTypes();
   ASSERT_EQ(types.size(), before + expected);
   for (std::size_t i = before; i < types.size(); ++i) {
      Ormid::Type* t = types[i];
      EXPECT_EQ(registry.FindByName(t->GetName()), t) << t->GetName();
      EXPECT_EQ(registry.FindByHeader(t->GetHeader()), t) << t->GetName();
      if (t->GetWsdlName() != nullptr) {
         EXPECT_EQ(registry.FindByWsdlName(t->GetWsdlName()), t) << t->GetName();
      }
   }

   // The exported header is the one registered.
   Ormid::DataObjectType* boot = registry.FindDataObjectType("quorl.vm.BootOptions");
   ASSERT_NE(boot, nullptr);
   EXPECT_EQ(dlsym(library, "gQuorlVmBootOptionsTypeInfo"), static_cast<const void*>(boot->GetHeader()));
   Pellum::Ref<Ormid::DynamicData> made = boot->Create();
   Pellum::Ref<Ormid::Any> copy(made->_Clone());
   EXPECT_EQ(copy->_GetType(), boot);
   EXPECT_TRUE(Ormid::AreEqual(made.GetPtr(), copy.GetPtr()));

   // A fault thrown inside the library is caught here by the runtime's exception class.
   Ormid::DataObjectType* faultType = registry.FindDataObjectType("quorl.fault.InvalidPowerState");
   ASSERT_NE(faultType, nullptr);
   Pellum::Ref<Ormid::DynamicData> fault = faultType->Create();
   try {
      dynamic_cast<Ormid::MethodFault&>(*fault).ThrowInternal();
      ADD_FAILURE() << "ThrowInternal() returned";
   } catch (const Ormid::MethodFault::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.GetPtr());
   }
   // Opened again: the same library, nothing registered twice.
   void* again = dlopen(QUORL_TYPES_LIBRARY, RTLD_NOW | RTLD_LOCAL);
   EXPECT_EQ(again, library);
   EXPECT_EQ(registry.GetTypeCount(), types.size());
}

} // namespace
