// Rendering by reflection, and secret masking.

#include <gtest/gtest.h>

#include <string>

#include "ormid_test_types.h"

using namespace Ormid;
using QTest::Gadget;

TEST(ToString, DataObjectWithNestedValuesAndArrays) {
   Pellum::Ref<Gadget> g(new Gadget());
   g->flag = true;
   g->count = 3;
   g->ratio = 0.5;
   g->name = "line \"one\"\n";
   g->password = "hunter2";
   g->color = 2;
   g->shade = 1;
   g->kind = "ormidtest.Part";
   g->path = "a.b";
   g->blob = {0xde, 0xad};
   g->when = Pellum::System::DateTime::FromUtcTime(0);
   g->owner = new MoRef("ormidtest.Thing", "t-1");
   g->extra = Box(7);
   auto part = Pellum::Ref<QTest::Part>(new QTest::Part());
   part->key = "p";
   g->GetParts()->Append(part);
   g->GetColors()->Append(QTest::Color::Green);
   g->GetTags(); // empty: left out

   EXPECT_EQ(g->ToString(), "(ormidtest.Gadget) {\n"
                            "   flag = true,\n"
                            "   count = 3,\n"
                            "   ratio = 0.5,\n"
                            "   name = \"line \\\"one\\\"\\n\",\n"
                            "   password = ********,\n"
                            "   when = 1970-01-01T00:00:00Z,\n"
                            "   blob = <2 bytes:dead>,\n"
                            "   color = blue,\n"
                            "   shade = green,\n"
                            "   kind = \"ormidtest.Part\",\n"
                            "   path = \"a.b\",\n"
                            "   owner = ormidtest.Thing:t-1,\n"
                            "   extra = (int) 7,\n"
                            "   parts = (ormidtest.Part[]) [\n"
                            "      (ormidtest.Part) {\n"
                            "         key = \"p\"\n"
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
   const std::string text = ToString(g.GetPtr());
   EXPECT_EQ(text.find("s3cret"), std::string::npos);
   EXPECT_NE(text.find("password = ********"), std::string::npos);
   // A value passed with secret flags (a parameter, say) is masked whole; without them it shows.
   Pellum::Ref<Any> ticket = Box(std::string("ticket-123"));
   EXPECT_EQ(ToString(ticket.GetPtr(), PropertyFlags::Secret | PropertyFlags::Optional), "********");
   EXPECT_EQ(ToString(ticket.GetPtr(), 0), "(string) \"ticket-123\"");
   EXPECT_EQ(ToString(nullptr, PropertyFlags::Secret), "<unset>");
}

TEST(ToString, ValuesOfEveryShape) {
   EXPECT_EQ(ToString(nullptr), "<unset>");
   EXPECT_EQ(DynamicData().ToString(), "(kobl.DynamicData) {}");
   Pellum::Ref<Any> boxed(new Primitive<QTest::Color>(QTest::Color::Red));
   EXPECT_EQ(boxed->ToString(), "(ormidtest.Color) red");
   EXPECT_EQ((Array<int>{1, 2}.ToString()), "(int[]) [\n   1,\n   2\n]");
   EXPECT_EQ(Array<std::string>().ToString(), "(string[]) []");
   Pellum::Ref<Fault::SystemError> fault(new Fault::SystemError("boom"));
   fault->GetFaultMessage()->Append(Pellum::Ref<LocalizableMessage>(new LocalizableMessage("k", "m")));
   EXPECT_EQ(fault->ToString(), "(kobl.fault.SystemError) {\n"
                                "   faultMessage = (kobl.LocalizableMessage[]) [\n"
                                "      (kobl.LocalizableMessage) {\n"
                                "         key = \"k\",\n"
                                "         message = \"m\"\n"
                                "      }\n"
                                "   ],\n"
                                "   reason = \"boom\"\n"
                                "}");
}
