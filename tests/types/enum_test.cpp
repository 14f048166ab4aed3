// Generated enumerations: ordinals, and value constants that are the descriptor's own texts. The
// conversion functions are the runtime's templates, tested there.
#include <gtest/gtest.h>

#include <string>

#include "ormid/Enum.h"
#include "ormid/Primitive.h"
#include "quorl/Datastore.h"
#include "quorl/HostSystem.h"
#include "quorl/vm/BootOptions.h"

namespace {

using State = Quorl::HostSystem::ConnectionState;

Ormid::EnumType* StateType() {
   return Ormid::GetEnumType<State>();
}

TEST(Enumeration, OrdinalsNamesAndConstants) {
   EXPECT_EQ(static_cast<int>(State::connected), 0);
   EXPECT_EQ(static_cast<int>(State::notResponding), 1);
   EXPECT_EQ(static_cast<int>(State::disconnected), 2);
   EXPECT_STREQ(Quorl::HostSystem::CONNECTIONSTATE_NOTRESPONDING, "notResponding");
   EXPECT_STREQ(Quorl::Datastore::SECTORFORMAT_NATIVE_512, "native_512");
   EXPECT_STREQ(Quorl::Vm::BootOptions::NETWORKBOOTPROTOCOLTYPE_IPV6, "ipv6");
   Ormid::EnumType* type = StateType();
   ASSERT_NE(type, nullptr);
   const char* const* names = type->GetInfo()->names;
   EXPECT_EQ(names[1], Quorl::HostSystem::CONNECTIONSTATE_NOTRESPONDING); // the same address
   EXPECT_EQ(names[3], nullptr);
   EXPECT_EQ(type->GetInfo()->type, &gQuorlHostSystemConnectionStateTypeInfo);
   EXPECT_EQ(type->GetValueCount(), 3);
   EXPECT_STREQ(type->GetTag(2), "disconnected");
   EXPECT_EQ(type->GetValue("notResponding"), 1);
}

} // namespace
