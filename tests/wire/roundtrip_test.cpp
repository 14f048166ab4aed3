// Every value of the namespace through the codec and back: an example of every data object and fault
// (every property set, with edge values, and with only the required properties), every enumeration value
// and every kind of array, in XML and JSON, each compared with the original; every fault also inside a
// SOAP fault. (Every member of every managed type as a SOAP call and back: the generated conformance tests
// over HTTP, types.managed_conformance_over_http.) The XML documents are kept in QUORL_WIRE_MESSAGES (when
// set) for validation against the generated XSD by an independent tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "example_value.h"
#include "ormid/Array.h"
#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "ormid/Versions.h"
#include "schema_counts.h"
#include "wire/Codec.h"

namespace {

using Ormid::Any;
using Pellum::Ref;

// Writes `xml` into the folder QUORL_WIRE_MESSAGES names, when it is set.
void Keep(const std::string& name, const std::string& xml) {
   static const char* const folder = std::getenv("QUORL_WIRE_MESSAGES");
   if (folder != nullptr) {
      std::filesystem::create_directories(folder);
      std::ofstream(std::filesystem::path(folder) / (name + ".xml"), std::ios::binary) << xml;
   }
}

// The version that holds every type and property: "disabled" extends the one under development, which
// extends the newest release and every feature.
const Ormid::Version* Newest() {
   return &Ormid::VersionCatalogue::Get().GetVersion("quorl.version.disabled");
}

// Counts failures and reports the first `limit` of them.
struct Failures {
   int count = 0;
   void Check(const std::string& failure, const std::string& what, int limit = 10) {
      if (!failure.empty() && ++count <= limit) {
         ADD_FAILURE() << what << ": " << failure;
      }
   }
};

// Encodes `value`, decodes the document and compares; answers what went wrong, or empty.
std::string RoundTrip(const Any* value, bool json, std::string* document = nullptr) {
   try {
      const Wire::EncodeOptions out{Newest()};
      const Wire::DecodeOptions in{.version = Newest()};
      const std::string text = json ? Wire::EncodeJson(value, out) : Wire::EncodeXml(value, out);
      if (document != nullptr) {
         *document = text;
      }
      Ref<Any> back = json ? Wire::DecodeJson(text, in) : Wire::DecodeXml(text, in);
      if (!Ormid::AreEqual(value, back.GetPtr())) {
         return "read back differs at " + Ormid::DiffProperties(value, back.GetPtr()).ToString() + "\n" +
                text;
      }
   } catch (const std::exception& e) {
      return e.what();
   }
   return {};
}

std::vector<Ormid::Type*> TypesOfNamespace(bool (Ormid::Type::*is)() const noexcept) {
   std::vector<Ormid::Type*> types;
   for (Ormid::Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      if ((type->*is)() && std::string_view(type->GetName()).starts_with("quorl.")) {
         types.push_back(type);
      }
   }
   return types;
}

TEST(WireRoundTrip, EveryDataObjectAndFault) {
   const auto types = TypesOfNamespace(&Ormid::Type::IsDataObject);
   int expected = 0;
   for (const PackageCount& row : kSchemaCounts) {
      expected += row.dataAndFaults;
   }
   ASSERT_EQ(static_cast<int>(types.size()), expected);

   struct Variant {
      const char* name;
      quorl_types::ExampleOptions options;
   };
   const Variant variants[] = {
       {"full", {.depth = 2, .optionals = true, .complete = true, .edgeValues = false}},
       {"edge", {.depth = 1, .optionals = true, .complete = true, .edgeValues = true}},
       {"required", {.depth = 0, .optionals = false, .complete = true, .edgeValues = false}},
   };
   Failures failures;
   for (Ormid::Type* type : types) {
      const auto& dataType = *static_cast<Ormid::DataObjectType*>(type);
      for (const Variant& variant : variants) {
         Ref<Ormid::DynamicData> value = quorl_types::BuildExampleValue(dataType, variant.options);
         for (bool json : {false, true}) {
            std::string document;
            failures.Check(RoundTrip(value.GetPtr(), json, &document),
                           type->GetName() + std::string(" (") + variant.name + (json ? ", JSON)" : ", XML)"),
                           20);
            if (!json && variant.options.edgeValues) {
               Keep(type->GetName(), document);
            }
         }
      }
   }
   EXPECT_EQ(failures.count, 0);
}

TEST(WireRoundTrip, EveryFaultInASoapFault) {
   // Any method serves: a fault answer does not depend on the call.
   auto* folder =
       dynamic_cast<Ormid::ManagedObjectType*>(Ormid::TypeRegistry::Get().FindByName("quorl.Folder"));
   ASSERT_NE(folder, nullptr);
   const Ormid::ManagedMethod& method = *folder->GetOwnMethod(0);
   Failures failures;
   int faults = 0;
   for (Ormid::Type* type : TypesOfNamespace(&Ormid::Type::IsFault)) {
      ++faults;
      Ref<Ormid::DynamicData> value = quorl_types::BuildExampleValue(
          *static_cast<Ormid::DataObjectType*>(type), {.depth = 1, .optionals = true, .complete = true});
      const auto* fault = static_cast<const Ormid::MethodFault*>(value.GetPtr());
      try {
         const std::string document = Wire::EncodeFault(*fault, "fault <message> & more", {Newest()});
         Wire::Response answer = Wire::DecodeResponse(document, method, {.version = Newest()});
         if (answer.result || answer.faultString != "fault <message> & more" ||
             !Ormid::AreEqual(fault, answer.fault.GetPtr())) {
            throw std::runtime_error("read back differs:\n" + document);
         }
      } catch (const std::exception& e) {
         failures.Check(e.what(), type->GetName());
      }
   }
   EXPECT_GT(faults, 600);
   EXPECT_EQ(failures.count, 0);
}

TEST(WireRoundTrip, EveryEnumerationValueBoxedAndInArrays) {
   Failures failures;
   int values = 0;
   for (Ormid::Type* type : TypesOfNamespace(&Ormid::Type::IsEnum)) {
      const auto& e = *static_cast<Ormid::EnumType*>(type);
      Ref<Any> all(e.GetFuncs().createArray());
      for (int i = 0; i < e.GetValueCount(); ++i, ++values) {
         Ref<Any> box(e.GetFuncs().box(i));
         static_cast<Ormid::Array<int>*>(all.GetPtr())->Append(i);
         for (bool json : {false, true}) {
            failures.Check(RoundTrip(box.GetPtr(), json), type->GetName() + std::string(".") + e.GetTag(i));
         }
      }
      for (bool json : {false, true}) {
         std::string document;
         failures.Check(RoundTrip(all.GetPtr(), json, &document), type->GetName() + std::string("[]"));
         if (!json) {
            Keep(std::string(type->GetName()) + "-values", document);
         }
      }
   }
   EXPECT_GT(values, 2000);
   EXPECT_EQ(failures.count, 0);
}

TEST(WireRoundTrip, EveryKindOfArrayAndBox) {
   using Pellum::System::DateTime;
   auto moRefs = Ref<Ormid::DataArray<Ormid::MoRef>>(new Ormid::DataArray<Ormid::MoRef>());
   moRefs->Append(new Ormid::MoRef("quorl.VirtualMachine", "vm-1"));
   moRefs->Append(new Ormid::MoRef("quorl.Folder", "group-d1 & <x>"));
   auto anys = Ref<Ormid::DataArray<Any>>(new Ormid::DataArray<Any>());
   anys->Append(Ormid::Box(42).GetPtr());
   anys->Append(Ormid::Box(std::string("text")).GetPtr());
   anys->Append(moRefs->Get(0));
   const std::pair<const char*, Ref<Any>> cases[] = {
       {"booleans", new Ormid::Array<bool>{true, false}},
       {"bytes", new Ormid::Array<signed char>{-128, 0, 127}},
       {"shorts", new Ormid::Array<short>{-32768, 32767}},
       {"ints", new Ormid::Array<int>{-2147483647 - 1, 0, 2147483647}},
       {"longs", new Ormid::Array<long>{-9223372036854775807L - 1, 9223372036854775807L}},
       {"floats", new Ormid::Array<float>{0.1f, -3.4028235e38f, 1e-45f}},
       {"doubles", new Ormid::Array<double>{0.1, -1.7976931348623157e308, 5e-324, 1.0 / 0.0}},
       {"strings", new Ormid::Array<std::string>{"", " lead and trail ", "a\r\nb\tc", "<&>\"'"}},
       {"binaries", new Ormid::Array<std::vector<unsigned char>>{{}, {0}, {1, 2}, {255, 254, 253}}},
       {"date-times",
        new Ormid::Array<DateTime>{DateTime::FromUtcTime(0), DateTime::FromUtcTime(-62135596800LL * 1000000),
                                   DateTime::FromUtcTime(253402300799LL * 1000000 + 999999),
                                   DateTime::FromUtcTime(-1)}},
       {"uris", new Ormid::Array<Ormid::Uri>{Ormid::Uri("https://example.invalid/?a=1&b=2")}},
       {"type names", new Ormid::Array<Ormid::TypeName>{Ormid::TypeName("quorl.vm.ConfigSpec")}},
       {"method names", new Ormid::Array<Ormid::MethodName>{Ormid::MethodName("powerOn")}},
       {"property paths", new Ormid::Array<Ormid::PropertyPath>{Ormid::PropertyPath("config.hardware")}},
       {"references", moRefs.GetPtr()},
       {"any values", anys.GetPtr()},
       {"boxed long", Ormid::Box(-5L)},
       {"boxed date-time", Ormid::Box(DateTime::FromUtcTime(1733411143123457LL))},
       {"boxed binary", Ormid::Box(std::vector<unsigned char>{9, 8, 7})},
       {"boxed type name", Ormid::Box(Ormid::TypeName("quorl.Folder"))},
       {"reference", moRefs->Get(1)},
   };
   for (const auto& [name, value] : cases) {
      for (bool json : {false, true}) {
         std::string document;
         EXPECT_EQ(RoundTrip(value.GetPtr(), json, &document), "") << name << (json ? " (JSON)" : " (XML)");
         if (!json) {
            Keep(std::string("array-") + name, document);
         }
      }
   }
}

} // namespace
