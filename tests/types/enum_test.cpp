// Generated enumerations: ordinals, value constants shared with the descriptor, the five conversion
// functions both ways, unknown names and ordinals.
#include <gtest/gtest.h>

#include <string>

#include "ormid/Enum.h"
#include "ormid/Primitive.h"
#include "quorl/Datastore.h"
#include "quorl/HostSystem.h"
#include "quorl/TaskInfo.h"
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
   EXPECT_THROW(type->GetValue("foo"), Pellum::Exception);
   EXPECT_THROW(type->GetTag(3), Pellum::Exception);
}

TEST(Enumeration, ConversionFunctionsBothWays) {
   Ormid::EnumType* type = StateType();
   const Ormid::EnumFuncs& f = type->GetFuncs();
   Pellum::Ref<Ormid::Any> box(f.box(2));
   EXPECT_EQ(box->_GetType(), type);
   EXPECT_EQ(f.unbox(box.GetPtr()), 2);
   EXPECT_EQ(box->_Clone(), box.GetPtr());
   Pellum::Ref<Ormid::Any> other = Ormid::Box(2);
   EXPECT_THROW(f.unbox(other.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_THROW(box->_IsEqual(other.GetPtr(), false), Pellum::TypeMismatchException);

   Ormid::Array<std::string> names{"disconnected", "connected"};
   Pellum::Ref<Ormid::Any> ordinals(f.fromNames(&names, type));
   auto* array = dynamic_cast<Ormid::Array<State>*>(ordinals.GetPtr());
   ASSERT_NE(array, nullptr);
   EXPECT_EQ(array->_values, array);
   EXPECT_EQ(array->GetEnum(0), State::disconnected);
   EXPECT_EQ(array->GetEnum(1), State::connected);
   EXPECT_EQ(array->_GetType(), type->GetArrayType());

   Pellum::Ref<Ormid::Array<std::string>> back;
   f.toNames(ordinals.GetPtr(), type, back);
   ASSERT_EQ(back->size(), 2u);
   EXPECT_EQ((*back)[0], "disconnected");
   EXPECT_EQ((*back)[1], "connected");

   Ormid::Array<std::string> unknown{"connected", "nope"};
   EXPECT_THROW(f.fromNames(&unknown, type), Pellum::Exception);
   Pellum::Ref<Ormid::Any> empty(f.createArray());
   f.toNames(empty.GetPtr(), type, back);
   EXPECT_EQ(back->size(), 0u);
   Ormid::Array<int> plain{2, 0};
   EXPECT_THROW(f.toNames(&plain, type, back), Pellum::TypeMismatchException);
   EXPECT_EQ(back->size(), 0u); // untouched
   // An enumeration array compares by ordinals, also with a plain int array.
   EXPECT_TRUE(array->_IsEqual(&plain, false));
}

TEST(Enumeration, EveryTypeListEnumerationIsUsable) {
   Ormid::EnumType* task = Ormid::GetEnumType<Quorl::TaskInfo::State>();
   ASSERT_NE(task, nullptr);
   EXPECT_STREQ(task->GetTag(static_cast<int>(Quorl::TaskInfo::State::error)), "error");
   Pellum::Ref<Ormid::Any> created(task->GetFuncs().createArray());
   EXPECT_EQ(created->_GetType(), task->GetArrayType());
}

} // namespace
