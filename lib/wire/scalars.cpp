// Text forms of plain values, shared by the XML and JSON codecs.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "detail.h"
#include "ormid/Enum.h"

namespace Wire::Detail {
namespace {

using Pellum::System::DateTime;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string_view Trim(std::string_view s) {
   auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
   while (!s.empty() && space(s.front())) {
      s.remove_prefix(1);
   }
   while (!s.empty() && space(s.back())) {
      s.remove_suffix(1);
   }
   return s;
}

template <class T> void AppendInteger(std::string& out, T value) {
   char buf[24];
   auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long>(value));
   out.append(buf, r.ptr);
}

template <class T> void AppendFloating(std::string& out, T value, bool json) {
   if (std::isnan(value)) {
      out += json ? "\"NaN\"" : "NaN";
   } else if (std::isinf(value)) {
      out += json ? (value > 0 ? "\"INF\"" : "\"-INF\"") : (value > 0 ? "INF" : "-INF");
   } else {
      char buf[40];
      auto r = std::to_chars(buf, buf + sizeof buf, value);
      out.append(buf, r.ptr);
   }
}

template <class T> std::string ParseInteger(std::string_view text, void* out) {
   text = Trim(text);
   if (!text.empty() && text.front() == '+') {
      text.remove_prefix(1);
   }
   long value = 0;
   auto r = std::from_chars(text.data(), text.data() + text.size(), value);
   if (text.empty() || r.ec == std::errc::invalid_argument || r.ptr != text.data() + text.size()) {
      return "not an integer";
   }
   if (r.ec == std::errc::result_out_of_range || value < std::numeric_limits<T>::min() ||
       value > std::numeric_limits<T>::max()) {
      return "out of range";
   }
   *static_cast<T*>(out) = static_cast<T>(value);
   return {};
}

template <class T> std::string ParseFloating(std::string_view text, void* out) {
   text = Trim(text);
   T value{};
   if (text == "INF" || text == "+INF") {
      value = std::numeric_limits<T>::infinity();
   } else if (text == "-INF") {
      value = -std::numeric_limits<T>::infinity();
   } else if (text == "NaN") {
      value = std::numeric_limits<T>::quiet_NaN();
   } else {
      if (!text.empty() && text.front() == '+') {
         text.remove_prefix(1);
      }
      auto r = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || r.ec == std::errc::invalid_argument || r.ptr != text.data() + text.size() ||
          text.find_first_of("nNiIxX") != std::string_view::npos) {
         return "not a number";
      }
      if (r.ec == std::errc::result_out_of_range) {
         return "out of range";
      }
   }
   *static_cast<T*>(out) = value;
   return {};
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
   y -= m <= 2;
   const int64_t era = (y >= 0 ? y : y - 399) / 400;
   const unsigned yoe = static_cast<unsigned>(y - era * 400);
   const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
   const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
   return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
   z += 719468;
   const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
   const unsigned doe = static_cast<unsigned>(z - era * 146097);
   const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
   y = static_cast<int64_t>(yoe) + era * 400;
   const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
   const unsigned mp = (5 * doy + 2) / 153;
   d = doy - (153 * mp + 2) / 5 + 1;
   m = mp < 10 ? mp + 3 : mp - 9;
   y += m <= 2;
}

// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59.999999Z in microseconds since the epoch.
constexpr int64_t kMinMicros = -62135596800LL * 1000000;
constexpr int64_t kMaxMicros = 253402300799LL * 1000000 + 999999;

void Digits(std::string& out, int64_t value, int width) {
   char buf[8];
   for (int i = width - 1; i >= 0; --i) {
      buf[i] = static_cast<char>('0' + value % 10);
      value /= 10;
   }
   out.append(buf, static_cast<std::size_t>(width));
}

bool Number(std::string_view& s, int width, int& value) {
   if (s.size() < static_cast<std::size_t>(width)) {
      return false;
   }
   value = 0;
   for (int i = 0; i < width; ++i) {
      if (s[i] < '0' || s[i] > '9') {
         return false;
      }
      value = value * 10 + (s[i] - '0');
   }
   s.remove_prefix(static_cast<std::size_t>(width));
   return true;
}

bool Expect(std::string_view& s, char c) {
   if (s.empty() || s.front() != c) {
      return false;
   }
   s.remove_prefix(1);
   return true;
}

} // namespace

void AppendBase64(std::string& out, const std::vector<unsigned char>& bytes) {
   const std::size_t n = bytes.size();
   out.reserve(out.size() + (n + 2) / 3 * 4);
   std::size_t i = 0;
   for (; i + 3 <= n; i += 3) {
      const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
      const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63],
                            kBase64[v & 63]};
      out.append(quad, 4);
   }
   if (i + 1 == n) {
      const unsigned v = bytes[i] << 16;
      const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], '=', '='};
      out.append(quad, 4);
   } else if (i + 2 == n) {
      const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8);
      const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63], '='};
      out.append(quad, 4);
   }
}

bool ParseBase64(std::string_view text, std::vector<unsigned char>& out) {
   static const auto table = [] {
      std::array<signed char, 256> t{};
      t.fill(-1);
      for (int i = 0; i < 64; ++i) {
         t[static_cast<unsigned char>(kBase64[i])] = static_cast<signed char>(i);
      }
      return t;
   }();
   out.clear();
   out.reserve(text.size() / 4 * 3);
   unsigned acc = 0;
   int bits = 0;
   std::size_t symbols = 0, padding = 0;
   for (char c : text) {
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
         continue; // xsd:base64Binary allows white space between groups
      }
      if (c == '=') {
         ++padding;
         ++symbols;
         continue;
      }
      const int v = table[static_cast<unsigned char>(c)];
      if (v < 0 || padding > 0) {
         return false;
      }
      ++symbols;
      acc = (acc << 6) | static_cast<unsigned>(v);
      bits += 6;
      if (bits >= 8) {
         bits -= 8;
         out.push_back(static_cast<unsigned char>((acc >> bits) & 0xFF));
      }
   }
   // Whole groups of four; at most two padding characters; no stray bits.
   return symbols % 4 == 0 && padding <= 2 && (acc & ((1u << bits) - 1)) == 0;
}

void AppendDateTime(std::string& out, const DateTime& value) {
   const int64_t micros = value.GetUtcTime();
   if (micros < kMinMicros || micros > kMaxMicros) {
      throw EncodeError(
          "", "date-time " + std::to_string(micros) +
                  " µs from the epoch lies outside the years 0001 to 9999 that xsd:dateTime carries");
   }
   int64_t seconds = micros / 1000000;
   int64_t fraction = micros % 1000000;
   if (fraction < 0) {
      fraction += 1000000;
      --seconds;
   }
   int64_t days = seconds / 86400;
   int64_t rest = seconds % 86400;
   if (rest < 0) {
      rest += 86400;
      --days;
   }
   int64_t y = 0;
   unsigned m = 0, d = 0;
   CivilFromDays(days, y, m, d);
   Digits(out, y, 4);
   out += '-';
   Digits(out, m, 2);
   out += '-';
   Digits(out, d, 2);
   out += 'T';
   Digits(out, rest / 3600, 2);
   out += ':';
   Digits(out, rest / 60 % 60, 2);
   out += ':';
   Digits(out, rest % 60, 2);
   if (fraction != 0) {
      int width = 6;
      while (fraction % 10 == 0) {
         fraction /= 10;
         --width;
      }
      out += '.';
      Digits(out, fraction, width);
   }
   out += 'Z';
}

bool ParseDateTime(std::string_view s, DateTime& out, std::string& why) {
   s = Trim(s);
   int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
   if (!Number(s, 4, year) || !Expect(s, '-') || !Number(s, 2, month) || !Expect(s, '-') ||
       !Number(s, 2, day) || !Expect(s, 'T') || !Number(s, 2, hour) || !Expect(s, ':') ||
       !Number(s, 2, minute) || !Expect(s, ':') || !Number(s, 2, second)) {
      why = "not an xsd:dateTime (YYYY-MM-DDThh:mm:ss[.ffffff][Z|±hh:mm])";
      return false;
   }
   int64_t fraction = 0;
   if (Expect(s, '.')) {
      int digits = 0;
      while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
         if (digits == 6) {
            why = "more than six fractional digits (the unit is the microsecond)";
            return false;
         }
         fraction = fraction * 10 + (s.front() - '0');
         s.remove_prefix(1);
         ++digits;
      }
      if (digits == 0) {
         why = "a fraction needs digits";
         return false;
      }
      for (; digits < 6; ++digits) {
         fraction *= 10;
      }
   }
   int offset = 0;
   if (Expect(s, 'Z')) {
   } else if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
      const int sign = s.front() == '-' ? -1 : 1;
      s.remove_prefix(1);
      int oh = 0, om = 0;
      if (!Number(s, 2, oh) || !Expect(s, ':') || !Number(s, 2, om) || om > 59 || oh * 60 + om > 14 * 60) {
         why = "a zone offset is ±hh:mm, at most 14:00";
         return false;
      }
      offset = sign * (oh * 60 + om);
   }
   if (!s.empty()) {
      why = "unexpected text after the date-time";
      return false;
   }
   static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
   const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
   if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
       (month == 2 && day == 29 && !leap) || hour > 24 || minute > 59 || second > 59 ||
       (hour == 24 && (minute != 0 || second != 0 || fraction != 0))) {
      why = "no such date or time of day";
      return false;
   }
   const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
   const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second - offset * 60;
   const int64_t micros = seconds * 1000000 + fraction;
   if (micros < kMinMicros || micros > kMaxMicros) {
      // The zone moves the instant out of what can be written back.
      why = "in UTC outside the years 0001 to 9999";
      return false;
   }
   out = DateTime::FromUtcTime(micros);
   return true;
}

void AppendScalar(std::string& out, Ormid::FieldKind kind, const void* p, const Ormid::Type* enumType,
                  bool json) {
   using K = Ormid::FieldKind;
   switch (kind) {
   case K::Bool:
      out += *static_cast<const bool*>(p) ? "true" : "false";
      return;
   case K::Byte:
      return AppendInteger(out, *static_cast<const signed char*>(p));
   case K::Short:
      return AppendInteger(out, *static_cast<const short*>(p));
   case K::Int:
      return AppendInteger(out, *static_cast<const int*>(p));
   case K::Long:
      return AppendInteger(out, *static_cast<const long*>(p));
   case K::Float:
      return AppendFloating(out, *static_cast<const float*>(p), json);
   case K::Double:
      return AppendFloating(out, *static_cast<const double*>(p), json);
   case K::Enum: {
      const int ordinal = *static_cast<const int*>(p);
      const auto* e = static_cast<const Ormid::EnumType*>(enumType);
      if (e == nullptr || !e->IsValid(ordinal)) {
         throw EncodeError("", "ordinal " + std::to_string(ordinal) + " is not a value of enumeration " +
                                   (e != nullptr ? e->GetName() : "(unknown)"));
      }
      out += e->GetTag(ordinal);
      return;
   }
   case K::Binary:
      return AppendBase64(out, *static_cast<const std::vector<unsigned char>*>(p));
   case K::DateTime:
      return AppendDateTime(out, *static_cast<const DateTime*>(p));
   default:
      // Strings: the caller escapes them for its format.
      out += *static_cast<const std::string*>(p);
      return;
   }
}

std::string ParseScalar(std::string_view text, Ormid::FieldKind kind, const Ormid::Type* enumType,
                        void* out) {
   using K = Ormid::FieldKind;
   switch (kind) {
   case K::Bool: {
      const std::string_view t = Trim(text);
      if (t == "true" || t == "1") {
         *static_cast<bool*>(out) = true;
      } else if (t == "false" || t == "0") {
         *static_cast<bool*>(out) = false;
      } else {
         return "not a boolean";
      }
      return {};
   }
   case K::Byte:
      return ParseInteger<signed char>(text, out);
   case K::Short:
      return ParseInteger<short>(text, out);
   case K::Int:
      return ParseInteger<int>(text, out);
   case K::Long:
      return ParseInteger<long>(text, out);
   case K::Float:
      return ParseFloating<float>(text, out);
   case K::Double:
      return ParseFloating<double>(text, out);
   case K::Enum: {
      const auto* e = static_cast<const Ormid::EnumType*>(enumType);
      const int ordinal = e->FindValue(Trim(text));
      if (ordinal < 0) {
         return std::string("not a value of enumeration ") + e->GetName();
      }
      *static_cast<int*>(out) = ordinal;
      return {};
   }
   case K::Binary:
      return ParseBase64(text, *static_cast<std::vector<unsigned char>*>(out)) ? std::string()
                                                                               : std::string("not base64");
   case K::DateTime: {
      std::string why;
      return ParseDateTime(text, *static_cast<DateTime*>(out), why) ? std::string() : why;
   }
   default:
      static_cast<std::string*>(out)->assign(text);
      return {};
   }
}

std::string CheckXmlText(std::string_view s) {
   const auto* p = reinterpret_cast<const unsigned char*>(s.data());
   const auto* end = p + s.size();
   while (p < end) {
      const unsigned c = *p;
      if (c < 0x80) {
         if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            char buf[48];
            std::snprintf(buf, sizeof buf, "character U+%04X cannot be written in XML 1.0", c);
            return buf;
         }
         ++p;
         continue;
      }
      int len = 0;
      unsigned cp = 0;
      if ((c & 0xE0) == 0xC0) {
         len = 2;
         cp = c & 0x1F;
      } else if ((c & 0xF0) == 0xE0) {
         len = 3;
         cp = c & 0x0F;
      } else if ((c & 0xF8) == 0xF0) {
         len = 4;
         cp = c & 0x07;
      } else {
         return "invalid UTF-8";
      }
      if (end - p < len) {
         return "invalid UTF-8";
      }
      for (int i = 1; i < len; ++i) {
         if ((p[i] & 0xC0) != 0x80) {
            return "invalid UTF-8";
         }
         cp = (cp << 6) | (p[i] & 0x3F);
      }
      static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
         return "invalid UTF-8";
      }
      if (cp == 0xFFFE || cp == 0xFFFF) {
         return "character U+FFFE or U+FFFF cannot be written in XML 1.0";
      }
      p += len;
   }
   return {};
}

std::string Quote(std::string_view text, bool secret) {
   if (secret) {
      return "the value";
   }
   std::string q = "\"";
   const std::size_t n = std::min<std::size_t>(text.size(), 40);
   for (std::size_t i = 0; i < n; ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c < 0x20 || c == '"' || c == '\\' || c >= 0x7f) {
         char buf[8];
         std::snprintf(buf, sizeof buf, "\\x%02x", c);
         q += buf;
      } else {
         q += static_cast<char>(c);
      }
   }
   q += text.size() > n ? "...\"" : "\"";
   return q;
}

Pellum::Ref<Ormid::Any> BoxScalar(Ormid::FieldKind kind, const Ormid::Type* enumType, void* value) {
   if (kind == Ormid::FieldKind::Enum) {
      const auto* e = static_cast<const Ormid::EnumType*>(enumType);
      return Pellum::Ref<Ormid::Any>(e->GetFuncs().box(*static_cast<int*>(value)));
   }
   return WithScalarType(kind, [value](auto tag) {
      using T = decltype(tag);
      return Ormid::Box(std::move(*static_cast<T*>(value)));
   });
}

namespace {
template <class T>
bool TryUnbox(const Ormid::Any* value, Ormid::FieldKind k, Ormid::FieldKind& kind, const void*& p) {
   auto* box = dynamic_cast<const Ormid::Primitive<T>*>(value);
   if (box == nullptr) {
      return false;
   }
   kind = k;
   p = &box->GetValue();
   return true;
}
} // namespace

bool UnboxScalar(const Ormid::Any* value, Ormid::FieldKind& kind, const void*& p, int& ordinal) {
   using K = Ormid::FieldKind;
   const Ormid::Type* type = value->_GetType();
   if (type != nullptr && type->IsEnum()) {
      kind = K::Enum;
      ordinal = static_cast<const Ormid::EnumType*>(type)->GetFuncs().unbox(value);
      p = &ordinal;
      return true;
   }
   return TryUnbox<bool>(value, K::Bool, kind, p) || TryUnbox<signed char>(value, K::Byte, kind, p) ||
          TryUnbox<short>(value, K::Short, kind, p) || TryUnbox<int>(value, K::Int, kind, p) ||
          TryUnbox<long>(value, K::Long, kind, p) || TryUnbox<float>(value, K::Float, kind, p) ||
          TryUnbox<double>(value, K::Double, kind, p) || TryUnbox<std::string>(value, K::String, kind, p) ||
          TryUnbox<std::vector<unsigned char>>(value, K::Binary, kind, p) ||
          TryUnbox<DateTime>(value, K::DateTime, kind, p) || TryUnbox<Ormid::Uri>(value, K::Uri, kind, p) ||
          TryUnbox<Ormid::TypeName>(value, K::TypeName, kind, p) ||
          TryUnbox<Ormid::MethodName>(value, K::MethodName, kind, p) ||
          TryUnbox<Ormid::PropertyPath>(value, K::PropertyPath, kind, p);
}

void UnboxFor(const Ormid::Any* value, const Ormid::Type* staticType, Unboxed& out) {
   if (!UnboxScalar(value, out.kind, out.p, out.ordinal)) {
      throw EncodeError("", std::string("a value of an unknown class where ") + staticType->GetName() +
                                " is expected");
   }
   out.type = value->_GetType();
   if (staticType->GetKind() != Ormid::KindAny && out.type != staticType) {
      throw EncodeError("", std::string("a value of type ") + out.type->GetName() + " where " +
                                staticType->GetName() + " is expected");
   }
}

void AppendToPlainArray(Ormid::Any* array, Ormid::FieldKind kind, void* p) {
   WithScalarType(kind, [array, p](auto tag) {
      using T = decltype(tag);
      auto* a = dynamic_cast<Ormid::Array<T>*>(array);
      if (a == nullptr) {
         Pellum::ThrowTypeMismatchException(typeid(Ormid::Array<T>), typeid(*array));
      }
      a->Append(std::move(*static_cast<T*>(p)));
   });
}

} // namespace Wire::Detail
