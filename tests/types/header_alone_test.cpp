// One generated header and nothing else of the library: the classes its fields hold are complete with it,
// so a field converts to Ormid::Any* and an array field of a class from another header takes elements.
#include "quorl/vm/device/VirtualDeviceSpec.h"

#include <gtest/gtest.h>

TEST(Headers, AFieldHeaderIsUsableOnItsOwn) {
   using Quorl::Vm::Device::VirtualDevice;
   Pellum::Ref<Quorl::Vm::Device::VirtualDeviceSpec> spec(new Quorl::Vm::Device::VirtualDeviceSpec());
   spec->device = Pellum::Ref<VirtualDevice>(new VirtualDevice());
   spec->device->backing = Pellum::Ref<VirtualDevice::BackingInfo>(new VirtualDevice::FileBackingInfo());
   spec->GetProfile()->Append(new Quorl::Vm::ProfileSpec());
   const Ormid::Any* values[] = {spec->device.GetPtr(), spec->device->backing.GetPtr(), (*spec->profile)[0]};
   for (const Ormid::Any* value : values) {
      EXPECT_TRUE(value->_GetType()->IsA(Ormid::GetDoType<Ormid::DynamicData>()));
   }
}
