#include "pellum/Print.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "pellum/Exception.h"

namespace Pellum {

namespace Detail {

namespace {

template <class F> std::string RenderFloatingImpl(F value) {
   if (std::isnan(value)) {
      return "nan";
   }
   if (std::isinf(value)) {
      return value < 0 ? "-inf" : "inf";
   }
   char buffer[64];
   auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
   return std::string(buffer, result.ptr);
}

} // namespace

std::string RenderFloating(double value) {
   return RenderFloatingImpl(value);
}

std::string RenderFloating(float value) {
   return RenderFloatingImpl(value);
}

std::string ASPrintInternal(const char* format, const PrintFormatter& args) {
   if (format == nullptr) {
      throw Exception("ASPrint: the format is null");
   }
   std::string out;
   out.reserve(std::strlen(format) + 16 * args.size());
   for (const char* p = format; *p != '\0'; ++p) {
      if (*p != '%') {
         out += *p;
         continue;
      }
      const char next = p[1];
      if (next == '%') {
         out += '%';
         ++p;
      } else if (next >= '1' && next <= '9') {
         const std::size_t index = static_cast<std::size_t>(next - '1');
         if (index < args.size()) {
            out += args.Get(index);
         } else {
            out += '%';
            out += next;
         }
         ++p;
      } else {
         out += '%';
      }
   }
   return out;
}

} // namespace Detail

} // namespace Pellum
