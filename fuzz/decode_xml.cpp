// Fuzz target: Wire::DecodeXml, a value on its own (<value xsi:type="...">), written again with
// Wire::EncodeXml and read back (common.h).

#include "common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
   quorl_fuzz::RequireQuorlTypes();
   return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
   using namespace quorl_fuzz;
   const std::string_view input = AsText(data, size);
   Pellum::Ref<Ormid::Any> first;
   try {
      first = Wire::DecodeXml(input, kLimits);
   } catch (const Wire::DecodeError&) {
      return 0;
   }
   if (!first) {
      Finding("DecodeXml answered no value and no error", input);
   }
   const std::optional<std::string> written = Rewrite([&] { return Wire::EncodeXml(first.GetPtr()); }, input);
   const Pellum::Ref<Ormid::Any> second =
       ReadBack([](const std::string& doc) { return Wire::DecodeXml(doc, kLimits); }, *written);
   const std::string rewritten = Rewrite([&] { return Wire::EncodeXml(second.GetPtr()); }, *written).value();
   CheckSame(first.GetPtr(), second.GetPtr(), *written, rewritten, "the value");
   return 0;
}
