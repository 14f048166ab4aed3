// Enumeration types: names and ordinals both ways, unknown names and ordinals, generated enumerators and
// value constants, refused descriptors, and the five generic conversion functions.

#include <gtest/gtest.h>

#include "ormidtest/nested/Outer.h"
#include "test_catalogues.h"

using namespace Ormid;
using Ormidtest::Color;

TEST(EnumType, TagsAndValues) {
   EnumType* color = GetEnumType<Color>();
   ASSERT_NE(color, nullptr);
   EXPECT_EQ(color->GetValueCount(), 3);
   // The tag is the descriptor's own text, not a copy.
   // (Compared with the registered descriptor's pointer: with AddressSanitizer, g++ gives each translation
   // unit its own alias of an inline array.)
   EXPECT_EQ(static_cast<const void*>(color->GetTag(1)),
             static_cast<const void*>(color->GetInfo()->names[1]));
   EXPECT_STREQ(color->GetTag(2), "blue");
   EXPECT_EQ(color->GetValue("red"), 0);
   EXPECT_EQ(color->FindValue("green"), 1);
   for (const char* unknown : {"Green", "", "purple"}) {
      SCOPED_TRACE(unknown);
      EXPECT_EQ(color->FindValue(unknown), -1);
      EXPECT_THROW(color->GetValue(unknown), Pellum::Exception);
   }
   for (int bad : {-1, 3, 1000}) {
      EXPECT_THROW(color->GetTag(bad), Pellum::Exception) << bad;
   }
   // Generated enumerators and value constants, escaped where a value is a C++ keyword or starts with a digit:
   // the constants are the descriptor's own texts (the same address), which end with a null.
   using Outer = Ormidtest::Nested::Outer;
   const EnumTypeInfo* mode = GetEnumType<Outer::Mode>()->GetInfo();
   EXPECT_EQ(mode->type, &::gOrmidtestNestedOuterModeTypeInfo);
   EXPECT_EQ((std::vector<int>{int(Outer::Mode::on), int(Outer::Mode::_3des), int(Outer::Mode::delete_)}),
             (std::vector<int>{0, 2, 3}));
   EXPECT_EQ((std::vector<const char*>{mode->names[0], mode->names[2], mode->names[3], mode->names[4]}),
             (std::vector<const char*>{Outer::MODE_ON, Outer::MODE_3DES, Outer::MODE_DELETE, nullptr}));
   EXPECT_STREQ(Outer::MODE_3DES, "3des");
   EXPECT_STREQ(Ormidtest::COLOR_GREEN, "green");
}

TEST(EnumType, ConstructorRefusesBrokenDescriptors) {
   const TypeInfo header{KindEnum, "ormidtest.Broken", "Broken", "v"};
   const TypeInfo dataHeader{KindDataObject, "ormidtest.Broken", "Broken", "v"};
   const char* const none[] = {nullptr};
   const char* const repeated[] = {"a", "b", "a", nullptr};
   const char* const single[] = {"only", nullptr};
   const EnumTypeInfo empty{&header, none};
   const EnumTypeInfo twice{&header, repeated};
   const EnumTypeInfo wrongKind{&dataHeader, single};
   for (const EnumTypeInfo* info : {static_cast<const EnumTypeInfo*>(nullptr), &empty, &twice, &wrongKind}) {
      EXPECT_THROW(CreateEnumType<Color>(info), Pellum::Exception);
   }
   EnumFuncs incomplete = EnumConv<Color>::kFuncs;
   incomplete.fromNames = nullptr;
   const EnumTypeInfo ok{&header, single};
   EXPECT_THROW(EnumType(&ok, incomplete), Pellum::Exception);

   // A single-value enumeration: ordinal 0 only.
   EnumType one(&ok, EnumConv<Color>::kFuncs);
   EXPECT_EQ(one.GetValue("only"), 0);
   EXPECT_THROW(one.GetTag(1), Pellum::Exception);
}

TEST(EnumType, ConversionFunctions) {
   EnumType* type = GetEnumType<Color>();
   const EnumFuncs& f = type->GetFuncs();
   Pellum::Ref<Any> boxed(f.box(2));
   EXPECT_EQ(boxed->GetRefCount(), 1); // created with count zero; the Ref took the first
   EXPECT_EQ(boxed->_GetType(), type);
   EXPECT_EQ(static_cast<Primitive<Color>*>(boxed.GetPtr())->GetValue(), Color::blue);
   EXPECT_EQ(f.unbox(boxed.GetPtr()), 2);
   EXPECT_THROW(f.unbox(Box(2).GetPtr()), Pellum::TypeMismatchException);

   Array<std::string> names{"blue", "red", "blue"};
   Pellum::Ref<Any> ordinals(f.fromNames(&names, type));
   auto* colors = dynamic_cast<Array<Color>*>(ordinals.GetPtr());
   ASSERT_NE(colors, nullptr);
   ASSERT_EQ(colors->size(), 3u);
   EXPECT_EQ(colors->GetEnum(0), Color::blue);
   EXPECT_EQ((*colors)[1], 0);
   EXPECT_EQ(colors->_values, colors);
   EXPECT_EQ(colors->_GetType(), type->GetArrayType());

   Pellum::Ref<Array<std::string>> back(new Array<std::string>{"stale"});
   f.toNames(colors, type, back);
   EXPECT_EQ(std::vector<std::string>(back->begin(), back->end()),
             (std::vector<std::string>{"blue", "red", "blue"}));

   // Empty in, empty out.
   Pellum::Ref<Any> empty(f.createArray());
   ASSERT_NE(dynamic_cast<Array<Color>*>(empty.GetPtr()), nullptr);
   f.toNames(empty.GetPtr(), type, back);
   EXPECT_EQ(back->size(), 0u);

   // An unknown name or ordinal raises the lookup's exception; another class is a type mismatch with `out`
   // untouched.
   Array<std::string> bad{"red", "mauve"};
   EXPECT_THROW(f.fromNames(&bad, type), Pellum::Exception);
   Array<Color> outOfRange;
   outOfRange.Append(7);
   EXPECT_THROW(f.toNames(&outOfRange, type, back), Pellum::Exception);
   Pellum::Ref<Array<std::string>> keep(new Array<std::string>{"x"});
   Array<int> plain{1};
   EXPECT_THROW(f.toNames(&plain, type, keep), Pellum::TypeMismatchException);
   EXPECT_EQ(keep->size(), 1u);
}
