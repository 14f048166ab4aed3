// Fuzz target: Wire::DecodeJson, a value as JSON ({"_type": ...}), written again with
// Wire::EncodeJson and read back (common.h).

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
      first = Wire::DecodeJson(input, kLimits);
   } catch (const Wire::DecodeError&) {
      return 0;
   }
   if (!first) {
      Finding("DecodeJson answered no value and no error", input);
   }
   const std::optional<std::string> written =
       Rewrite([&] { return Wire::EncodeJson(first.GetPtr()); }, input);
   const Pellum::Ref<Ormid::Any> second =
       ReadBack([](const std::string& doc) { return Wire::DecodeJson(doc, kLimits); }, *written);
   const std::string rewritten = Rewrite([&] { return Wire::EncodeJson(second.GetPtr()); }, *written).value();
   CheckSame(first.GetPtr(), second.GetPtr(), *written, rewritten, "the value");
   return 0;
}
