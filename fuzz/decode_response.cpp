// Fuzz target: Wire::DecodeResponse. The first byte of the input picks the method that was called
// (response_methods.h), the rest is the SOAP response. A result is written again with Wire::EncodeResponse,
// a fault with Wire::EncodeFault (and its fault string), and read back (common.h).

#include <array>

#include "common.h"
#include "response_methods.h"

namespace {

std::array<const Ormid::ManagedMethod*, quorl_fuzz::kResponseMethodCount> gMethods;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
   quorl_fuzz::RequireQuorlTypes();
   for (std::size_t i = 0; i < gMethods.size(); ++i) {
      gMethods[i] = &quorl_fuzz::ResponseMethodAt(i);
   }
   return 0;
}

namespace {

std::string Write(const Ormid::ManagedMethod& method, const Wire::Response& response) {
   return response.fault ? Wire::EncodeFault(*response.fault, response.faultString)
                         : Wire::EncodeResponse(method, response.result.GetPtr());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
   using namespace quorl_fuzz;
   if (size == 0) {
      return 0;
   }
   const Ormid::ManagedMethod& method = *gMethods[data[0] % gMethods.size()];
   const std::string_view input = AsText(data + 1, size - 1);
   Wire::Response first;
   try {
      first = Wire::DecodeResponse(input, method, kLimits);
   } catch (const Wire::DecodeError&) {
      return 0;
   }
   if (first.fault && first.result) {
      Finding("DecodeResponse answered a result and a fault", input);
   }
   const std::optional<std::string> document = Rewrite([&] { return Write(method, first); }, input);
   const std::string& written = *document;
   const Wire::Response second =
       ReadBack([&](const std::string& doc) { return Wire::DecodeResponse(doc, method, kLimits); }, written);
   const std::string rewritten = Rewrite([&] { return Write(method, second); }, written).value();
   if (first.fault) {
      if (second.faultString != first.faultString) {
         Finding("the fault string read back differs", "--- written:\n" + written);
      }
      CheckSame(first.fault.GetPtr(), second.fault.GetPtr(), written, rewritten,
                method.GetFullName() + " fault");
   } else {
      CheckSame(first.result.GetPtr(), second.result.GetPtr(), written, rewritten,
                method.GetFullName() + " result");
   }
   return 0;
}
