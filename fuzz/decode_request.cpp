// Fuzz target: Wire::DecodeRequest, a SOAP request (a method or a property getter through Fetch), written
// again with Wire::EncodeRequest and read back (common.h): the same method, target and arguments.

#include <vector>

#include "common.h"
#include "ormid/ManagedType.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
   quorl_fuzz::RequireQuorlTypes();
   return 0;
}

namespace {

std::string Write(const Wire::Request& request) {
   return Wire::EncodeRequest(*request.method, *request.target, request.args);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
   using namespace quorl_fuzz;
   const std::string_view input = AsText(data, size);
   Wire::Request first;
   try {
      first = Wire::DecodeRequest(input, kLimits);
   } catch (const Wire::DecodeError&) {
      return 0;
   }
   if (first.method == nullptr || !first.target || first.args.size() != first.method->GetParamCount()) {
      Finding("DecodeRequest answered an incomplete request", input);
   }
   const std::optional<std::string> document = Rewrite([&] { return Write(first); }, input);
   const std::string& written = *document;
   const Wire::Request second =
       ReadBack([](const std::string& doc) { return Wire::DecodeRequest(doc, kLimits); }, written);
   const std::string rewritten = Rewrite([&] { return Write(second); }, written).value();
   if (second.method != first.method || second.args.size() != first.args.size()) {
      Finding("the request read back names another method", first.method->GetFullName() + " became " +
                                                                second.method->GetFullName() +
                                                                "\n--- written:\n" + written);
   }
   CheckSame(first.target.GetPtr(), second.target.GetPtr(), written, rewritten, "_this");
   for (std::size_t i = 0; i < first.args.size(); ++i) {
      CheckSame(first.args[i].GetPtr(), second.args[i].GetPtr(), written, rewritten,
                std::string("parameter ") + first.method->GetParams()[i].name);
   }
   return 0;
}
