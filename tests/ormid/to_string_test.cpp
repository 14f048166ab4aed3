// Rendering by reflection, and secret masking. (Every property of every generated class is rendered, and
// secret ones masked, by the library's conformance test.)

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;

TEST(ToString, NestedValuesArraysReferencesAndBoxes) {
   // A fault holding a reference, and a message whose arguments hold a nested part and boxes.
   Pellum::Ref<Fault::ManagedObjectNotFound> fault(
       new Fault::ManagedObjectNotFound(new MoRef("ormidtest.Thing", "t-1")));
   Pellum::Ref<LocalizableMessage> message(new LocalizableMessage("k", "line \"one\"\n"));
   Pellum::Ref<Ormidtest::SubPart> part(new Ormidtest::SubPart());
   part->weight = 3;
   part->depth = 0.5;
   message->GetArg()->Append(Pellum::Ref<KeyAnyValue>(new KeyAnyValue("part", part.GetPtr())));
   message->GetArg()->Append(Pellum::Ref<KeyAnyValue>(
       new KeyAnyValue("blob", Box(std::vector<unsigned char>{0xde, 0xad}).GetPtr())));
   message->GetArg()->Append(Pellum::Ref<KeyAnyValue>(
       new KeyAnyValue("colors", new Array<Ormidtest::Color>{Ormidtest::Color::green})));
   fault->GetFaultMessage()->Append(message);

   EXPECT_EQ(fault->ToString(), "(kobl.fault.ManagedObjectNotFound) {\n"
                                "   faultMessage = (kobl.LocalizableMessage[]) [\n"
                                "      (kobl.LocalizableMessage) {\n"
                                "         key = \"k\",\n"
                                "         arg = (kobl.KeyAnyValue[]) [\n"
                                "            (kobl.KeyAnyValue) {\n"
                                "               key = \"part\",\n"
                                "               value = (ormidtest.SubPart) {\n"
                                "                  key = \"\",\n"
                                "                  weight = 3,\n"
                                "                  depth = 0.5\n"
                                "               }\n"
                                "            },\n"
                                "            (kobl.KeyAnyValue) {\n"
                                "               key = \"blob\",\n"
                                "               value = (binary) <2 bytes:dead>\n"
                                "            },\n"
                                "            (kobl.KeyAnyValue) {\n"
                                "               key = \"colors\",\n"
                                "               value = (ormidtest.Color[]) [\n"
                                "                  green\n"
                                "               ]\n"
                                "            }\n"
                                "         ],\n"
                                "         message = \"line \\\"one\\\"\\n\"\n"
                                "      }\n"
                                "   ],\n"
                                "   obj = ormidtest.Thing:t-1\n"
                                "}");
}

TEST(ToString, ValuesOfEveryShapeAndSecrets) {
   Pellum::Ref<Any> ticket = Box(std::string("ticket-123"));
   const std::pair<std::string, const char*> rows[] = {
       {ToString(nullptr), "<unset>"},
       // A value passed with secret flags (a parameter, say) is masked whole; without them it shows.
       {ToString(ticket.GetPtr(), PropertyFlags::Secret | PropertyFlags::Optional), "********"},
       {ToString(ticket.GetPtr(), 0), "(string) \"ticket-123\""},
       {ToString(nullptr, PropertyFlags::Secret), "<unset>"},
       {DynamicData().ToString(), "(kobl.DynamicData) {}"},
       {Pellum::Ref<Any>(new Primitive<Ormidtest::Color>(Ormidtest::Color::red))->ToString(),
        "(ormidtest.Color) red"},
       {Array<int>{1, 2}.ToString(), "(int[]) [\n   1,\n   2\n]"},
       {Array<std::string>().ToString(), "(string[]) []"},
       {Box(7)->ToString(), "(int) 7"},
   };
   for (const auto& [text, expected] : rows) {
      EXPECT_EQ(text, expected) << expected;
   }
}
