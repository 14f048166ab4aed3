// Message formatting with positional placeholders.
//
// A format names its arguments by position: "%1" is the first, "%2" the second, up to "%9". An argument
// may be used any number of times and in any order; "%%" is a percent sign. A placeholder whose argument
// was not given is kept as written ("%3"), and a '%' followed by anything else is kept as is.
//
//   Pellum::ASPrint("%2 of %1 (%2%%)", "vm-42", 80)   ->  "80 of vm-42 (80%)"
//
// Arguments are rendered when the PrintFormatter is built: strings and characters as they are, bool as
// true/false, integers in decimal (signed char and unsigned char as numbers), floating-point values in
// their shortest exact form, enumerations as their underlying number, objects with a ToString() member
// (or pointers and Refs to them, "(null)" for null) through it, anything else through operator<<.
#pragma once

#include <concepts>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "pellum/Exception.h"
#include "pellum/Export.h"
#include "pellum/Ref.h"

namespace Pellum {

namespace Detail {

template <class T>
concept HasToString = requires(const T& value) {
   { value.ToString() } -> std::convertible_to<std::string>;
};

template <class T>
concept Streamable = requires(std::ostream& out, const T& value) {
   out << value;
};

template <class T> struct IsRef : std::false_type {};
template <class T> struct IsRef<Ref<T>> : std::true_type {};

PELLUM_API std::string RenderFloating(double value);
PELLUM_API std::string RenderFloating(float value);

} // namespace Detail

class PELLUM_API PrintFormatter {
public:
   PrintFormatter() = default;

   template <class... A>
   requires(sizeof...(A) > 0 &&
            !(sizeof...(A) == 1 && (std::is_same_v<std::remove_cvref_t<A>, PrintFormatter> &&
                                    ...))) explicit PrintFormatter(A&&... args) {
      _args.reserve(sizeof...(A));
      (Add(std::forward<A>(args)), ...);
   }

   // Appends one argument; it becomes the next placeholder.
   template <class T> PrintFormatter& operator<<(T&& value) {
      Add(std::forward<T>(value));
      return *this;
   }

   template <class T> void Add(T&& value) { _args.push_back(Render(value)); }

   std::size_t size() const noexcept { return _args.size(); }
   // The rendering of argument i (0-based).
   const std::string& Get(std::size_t i) const { return _args.at(i); }

   // The text one value renders as (see the top of this header).
   template <class T> static std::string Render(const T& value) {
      using U = std::remove_cvref_t<T>;
      if constexpr (std::is_same_v<U, std::string>) {
         return value;
      } else if constexpr (std::is_convertible_v<const U&, std::string_view>) {
         if constexpr (std::is_pointer_v<U>) {
            if (value == nullptr) {
               return "(null)";
            }
         }
         return std::string(std::string_view(value));
      } else if constexpr (std::is_same_v<U, bool>) {
         return value ? "true" : "false";
      } else if constexpr (std::is_same_v<U, char>) {
         return std::string(1, value);
      } else if constexpr (std::is_same_v<U, signed char> || std::is_same_v<U, unsigned char>) {
         return std::to_string(static_cast<int>(value));
      } else if constexpr (std::is_integral_v<U>) {
         return std::to_string(value);
      } else if constexpr (std::is_same_v<U, float>) {
         return Detail::RenderFloating(value);
      } else if constexpr (std::is_floating_point_v<U>) {
         return Detail::RenderFloating(static_cast<double>(value));
      } else if constexpr (std::is_enum_v<U>) {
         return std::to_string(static_cast<std::underlying_type_t<U>>(value));
      } else if constexpr (Detail::IsRef<U>::value) {
         return Render(value.GetPtr());
      } else if constexpr (std::is_pointer_v<U> && Detail::HasToString<std::remove_pointer_t<U>>) {
         return value ? std::string(value->ToString()) : std::string("(null)");
      } else if constexpr (Detail::HasToString<U>) {
         return std::string(value.ToString());
      } else if constexpr (std::is_same_v<U, std::nullptr_t>) {
         return "(null)";
      } else {
         static_assert(Detail::Streamable<U>, "PrintFormatter: no way to render this argument type");
         std::ostringstream out;
         out << value;
         return out.str();
      }
   }

private:
   std::vector<std::string> _args;
};

namespace Detail {

// Formats `format` with the arguments of `args` (see the top of this header). A null format throws
// Pellum::Exception.
PELLUM_API std::string ASPrintInternal(const char* format, const PrintFormatter& args);

} // namespace Detail

template <class... A> std::string ASPrint(const char* format, A&&... args) {
   if constexpr (sizeof...(A) == 0) {
      return Detail::ASPrintInternal(format, PrintFormatter());
   } else {
      return Detail::ASPrintInternal(format, PrintFormatter(std::forward<A>(args)...));
   }
}

} // namespace Pellum
