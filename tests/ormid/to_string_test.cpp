// Rendering by reflection, and secret masking.

#include <gtest/gtest.h>

#include <string>

#include "ormid_test_types.h"

using namespace Ormid;
using QTest::Gadget;

TEST(ToString, DataObjectWithNestedValuesAndArrays) {
   Pellum::Ref<Gadget> g(new Gadget());
   g->count = 3;
   g->ratio = 0.5;
   g->password = "hunter2";
   g->blob = {0xde, 0xad};
   g->color = 2;
   g->part = new QTest::Part();
   g->part->key = "line \"one\"\n";
   g->owner = new MoRef("ormidtest.Thing", "t-1");
   g->extra = Box(7);
   g->GetParts()->Append(Pellum::Ref<QTest::Part>(new QTest::Part()));
   g->GetColors()->Append(QTest::Color::Green);
   g->GetTags(); // empty: left out, like the unset optionals

   EXPECT_EQ(g->ToString(), "(ormidtest.Gadget) {\n"
                            "   count = 3,\n"
                            "   ratio = 0.5,\n"
                            "   password = ********,\n"
                            "   blob = <2 bytes:dead>,\n"
                            "   color = blue,\n"
                            "   part = (ormidtest.Part) {\n"
                            "      key = \"line \\\"one\\\"\\n\"\n"
                            "   },\n"
                            "   owner = ormidtest.Thing:t-1,\n"
                            "   extra = (int) 7,\n"
                            "   parts = (ormidtest.Part[]) [\n"
                            "      (ormidtest.Part) {\n"
                            "         key = \"\"\n"
                            "      }\n"
                            "   ],\n"
                            "   colors = (ormidtest.Color[]) [\n"
                            "      green\n"
                            "   ]\n"
                            "}");
}

TEST(ToString, SecretsNeverShow) {
   Pellum::Ref<Gadget> g(new Gadget());
   g->password = "s3cret-token";
   EXPECT_EQ(ToString(g.GetPtr()).find("s3cret"), std::string::npos);
   // Also nested in another value, at any depth.
   Pellum::Ref<Gadget> outer(new Gadget());
   outer->extra = new DataArray<Any>{g.GetPtr()};
   EXPECT_EQ(ToString(outer.GetPtr()).find("s3cret"), std::string::npos);
   EXPECT_NE(ToString(outer.GetPtr()).find("password = ********"), std::string::npos);
   // A value passed with secret flags (a parameter, say) is masked whole; without them it shows.
   Pellum::Ref<Any> ticket = Box(std::string("ticket-123"));
   EXPECT_EQ(ToString(ticket.GetPtr(), PropertyFlags::Secret | PropertyFlags::Optional), "********");
   EXPECT_EQ(ToString(ticket.GetPtr(), 0), "(string) \"ticket-123\"");
   EXPECT_EQ(ToString(nullptr, PropertyFlags::Secret), "<unset>");
}

TEST(ToString, ValuesOfEveryShape) {
   Pellum::Ref<Fault::SystemError> fault(new Fault::SystemError("boom"));
   fault->GetFaultMessage()->Append(Pellum::Ref<LocalizableMessage>(new LocalizableMessage("k", "m")));
   const std::pair<std::string, const char*> rows[] = {
       {ToString(nullptr), "<unset>"},
       {DynamicData().ToString(), "(kobl.DynamicData) {}"},
       {Pellum::Ref<Any>(new Primitive<QTest::Color>(QTest::Color::Red))->ToString(),
        "(ormidtest.Color) red"},
       {Array<int>{1, 2}.ToString(), "(int[]) [\n   1,\n   2\n]"},
       {Array<std::string>().ToString(), "(string[]) []"},
       {fault->ToString(), "(kobl.fault.SystemError) {\n"
                           "   faultMessage = (kobl.LocalizableMessage[]) [\n"
                           "      (kobl.LocalizableMessage) {\n"
                           "         key = \"k\",\n"
                           "         message = \"m\"\n"
                           "      }\n"
                           "   ],\n"
                           "   reason = \"boom\"\n"
                           "}"},
   };
   for (const auto& [text, expected] : rows) {
      EXPECT_EQ(text, expected);
   }
}
