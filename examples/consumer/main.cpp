// A program built against the installed package only: it looks types up in the runtime's registry,
// builds values, and catches a fault thrown inside libormid by its exception class.
#include <cstdio>

#include "ormid/Ormid.h"

int main() {
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   Ormid::DataObjectType* faultType = registry.FindDataObjectType("kobl.fault.SystemError");
   if (faultType == nullptr || faultType->GetBase() == nullptr) {
      std::fprintf(stderr, "consumer: kobl.fault.SystemError is not registered\n");
      return 1;
   }

   Pellum::Ref<Ormid::DataArray<Ormid::MoRef>> refs(new Ormid::DataArray<Ormid::MoRef>);
   refs->Append(new Ormid::MoRef("quorl.VirtualMachine", "vm-42"));
   Pellum::Ref<Ormid::Any> copy(refs->_Clone());
   if (!Ormid::AreEqualAnysInt(refs.GetPtr(), copy.GetPtr(), 0, false)) {
      std::fprintf(stderr, "consumer: a cloned array differs from its source\n");
      return 1;
   }

   Pellum::Ref<Ormid::Fault::SystemError> fault(new Ormid::Fault::SystemError("disk on fire"));
   try {
      fault->Throw();
   } catch (const Ormid::RuntimeFault::Exception& e) {
      std::printf("consumer: caught %s: %s", Pellum::DemangleTypeName(typeid(e)).c_str(), e.what());
      std::printf("consumer: %zu types registered, %s derives from %s\n", registry.GetTypeCount(),
                  faultType->GetName(), faultType->GetBase()->GetName());
      return 0;
   }
   return 1;
}
