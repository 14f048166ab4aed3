// Boot options of a virtual machine written as XML and JSON, read back and compared; then one document
// that is refused, with the place of its mistake.
#include <cstdio>
#include <iostream>

#include "quorl/vm/BootOptions.h"
#include "wire/Codec.h"

int main() {
   // Values start with no reference: the Ref takes the first.
   auto boot = Pellum::MakeRef<Quorl::Vm::BootOptions>();
   boot->bootDelay.Set(5000);
   boot->enterBIOSSetup = 1;
   auto disk = Pellum::MakeRef<Quorl::Vm::BootOptions::BootableDiskDevice>();
   disk->deviceKey = 2000;
   boot->GetBootOrder()->Append(disk.GetPtr());

   const std::string xml = Wire::EncodeXml(boot.GetPtr());
   const std::string json = Wire::EncodeJson(boot.GetPtr());
   std::cout << xml << json << "\n";
   Pellum::Ref<Ormid::Any> fromXml = Wire::DecodeXml(xml);
   Pellum::Ref<Ormid::Any> fromJson = Wire::DecodeJson(json);
   if (!Ormid::AreEqual(boot.GetPtr(), fromXml.GetPtr()) ||
       !Ormid::AreEqual(boot.GetPtr(), fromJson.GetPtr())) {
      std::fprintf(stderr, "wire-values: a value read back differs\n");
      return 1;
   }
   try {
      Wire::DecodeJson(
          R"({"_type":"VirtualMachineBootOptions","bootOrder":[{"_type":"VirtualMachineBootOptionsBootableDiskDevice"}]})");
      std::fprintf(stderr, "wire-values: a document without a required property was accepted\n");
      return 1;
   } catch (const Wire::DecodeError& e) {
      std::cout << "refused: " << e.what() << "\n";
   }
   return 0;
}
