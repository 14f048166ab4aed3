// Values as JSON: the same walk of the descriptors as the XML codec, with JSON's arrays and objects.

#include <cstdio>
#include <string>
#include <vector>

#include "detail.h"
#include "ormid/Enum.h"
#include "ormid/Registry.h"

namespace Wire::Detail {
namespace {

bool IsStringKind(Ormid::FieldKind k) {
   using K = Ormid::FieldKind;
   return k == K::String || k == K::Uri || k == K::TypeName || k == K::MethodName || k == K::PropertyPath;
}

class JsonEncoder {
public:
   JsonEncoder(std::string& out, const Ormid::Version* version) : _out(out), _version(version) {}

   void Value(const Ormid::Any* value, const Ormid::Type* staticType, bool secret) {
      if (++_depth > 1000) {
         Fail("values nested deeper than 1000 levels (a reference cycle?)");
      }
      const bool anyPlace = staticType->GetKind() == Ormid::KindAny;
      if (const auto* ref = dynamic_cast<const Ormid::MoRef*>(value)) {
         const Ormid::Type* target = ref->GetManagedType();
         if (target == nullptr) {
            Fail("reference " + ref->ToString() + " names a type that is not registered");
         }
         if (!anyPlace && !staticType->IsManaged()) {
            Fail(std::string("a managed-object reference where ") + staticType->GetName() + " is expected");
         }
         _out += '{';
         if (anyPlace) {
            _out += "\"_type\":\"ManagedObjectReference\",";
         }
         _out += "\"type\":\"";
         _out += target->GetWsdlName();
         _out += "\",\"value\":";
         String(ref->GetId(), secret);
         _out += '}';
      } else if (const auto* data = dynamic_cast<const Ormid::DynamicData*>(value)) {
         Data(data, staticType);
      } else if (const auto* array = dynamic_cast<const Ormid::ArrayBase*>(value)) {
         if (!anyPlace) {
            Fail(std::string("an array where ") + staticType->GetName() + " is expected");
         }
         const Ormid::Type* item = array->_GetType()->GetItemType();
         _out += "{\"_type\":\"";
         _out += XsiName(array->_GetType());
         _out += "\",\"_value\":";
         Items(array, item, ItemKindOf(item), secret);
         _out += '}';
      } else {
         Unboxed box;
         try {
            UnboxFor(value, staticType, box);
         } catch (const EncodeError& e) {
            Fail(e.GetMessage());
         }
         const Ormid::Type* type = box.type;
         if (anyPlace) {
            _out += "{\"_type\":\"";
            _out += XsiName(type);
            _out += "\",\"_value\":";
         }
         Plain(box.kind, box.p, type, secret);
         if (anyPlace) {
            _out += '}';
         }
      }
      --_depth;
   }

   std::vector<PathStep> path;

private:
   [[noreturn]] void Fail(const std::string& message) const { throw EncodeError(JoinPath(path), message); }

   void String(std::string_view s, bool secret) {
      const std::string why = CheckXmlText(s);
      // JSON carries control characters; only broken UTF-8 is refused.
      if (!why.empty() && why.find("UTF-8") != std::string::npos) {
         Fail((secret ? std::string("the value") : Quote(s, false)) + ": " + why);
      }
      _out += '"';
      for (char ch : s) {
         const unsigned char c = static_cast<unsigned char>(ch);
         if (c == '"' || c == '\\') {
            _out += '\\';
            _out += ch;
         } else if (c < 0x20) {
            switch (c) {
            case '\n':
               _out += "\\n";
               break;
            case '\r':
               _out += "\\r";
               break;
            case '\t':
               _out += "\\t";
               break;
            default: {
               char buf[8];
               std::snprintf(buf, sizeof buf, "\\u%04x", c);
               _out += buf;
            }
            }
         } else {
            _out += ch;
         }
      }
      _out += '"';
   }

   void Plain(Ormid::FieldKind kind, const void* p, const Ormid::Type* type, bool secret) {
      using K = Ormid::FieldKind;
      if (IsStringKind(kind)) {
         return String(*static_cast<const std::string*>(p), secret);
      }
      const bool quoted = kind == K::Enum || kind == K::Binary || kind == K::DateTime;
      if (quoted) {
         _out += '"';
      }
      try {
         AppendScalar(_out, kind, p, type, true);
      } catch (const EncodeError& e) {
         Fail(e.GetMessage());
      }
      if (quoted) {
         _out += '"';
      }
   }

   void Items(const Ormid::Any* array, const Ormid::Type* item, Ormid::FieldKind itemKind, bool secret) {
      _out += '[';
      int i = 0;
      if (itemKind == Ormid::FieldKind::Reference || itemKind == Ormid::FieldKind::Any) {
         const auto* items = dynamic_cast<const Ormid::DataArrayBase*>(array);
         if (items == nullptr) {
            Fail(std::string("not an array of ") + item->GetName());
         }
         for (std::size_t n = 0; n < items->size(); ++n) {
            if (n > 0) {
               _out += ',';
            }
            path.push_back({{}, i++});
            Value(items->GetAny(n), item, secret);
            path.pop_back();
         }
      } else if (!ForEachPlainItem(array, [&](Ormid::FieldKind, const void* p) {
                    if (i > 0) {
                       _out += ',';
                    }
                    path.push_back({{}, i++});
                    Plain(itemKind, p, item, secret);
                    path.pop_back();
                 })) {
         Fail(std::string("not an array of ") + item->GetName());
      }
      _out += ']';
   }

   void Data(const Ormid::DynamicData* data, const Ormid::Type* staticType) {
      const Ormid::DataObjectType* type = data->_GetDataType();
      const Ormid::DataObjectType* written = WrittenType(type, _version);
      if (staticType->GetKind() != Ormid::KindAny && !written->IsA(staticType)) {
         Fail(std::string("a ") + type->GetName() + " where " + staticType->GetName() + " is expected");
      }
      _out += '{';
      bool first = true;
      if (written != staticType) {
         _out += "\"_type\":\"";
         _out += XsiName(written);
         _out += '"';
         first = false;
      }
      auto* obj = const_cast<Ormid::DynamicData*>(data);
      for (const Place& place : PlanOf(written).places) {
         if (!PartOf(place.version, _version)) {
            continue;
         }
         const void* p = place.owner->GetDescriptor()->getFieldPtr(obj, place.index);
         path.push_back({place.name, -1});
         if (p == nullptr) {
            if (place.required()) {
               Fail("required property is unset");
            }
         } else {
            _out += first ? "\"" : ",\"";
            first = false;
            _out += place.name;
            _out += "\":";
            switch (place.kind) {
            case Ormid::FieldKind::Reference:
            case Ormid::FieldKind::Any:
               Value(static_cast<const Ormid::Any*>(p), place.type, place.secret);
               break;
            case Ormid::FieldKind::Array:
               Items(static_cast<const Ormid::Any*>(p), place.type, place.itemKind, place.secret);
               break;
            case Ormid::FieldKind::Bool:
               if (place.optional) {
                  _out += *static_cast<const signed char*>(p) != 0 ? "true" : "false";
                  break;
               }
               [[fallthrough]];
            default:
               Plain(place.kind, p, place.type, place.secret);
            }
         }
         path.pop_back();
      }
      _out += '}';
   }

   std::string& _out;
   const Ormid::Version* _version;
   int _depth = 0;
};

class JsonDecoder {
public:
   JsonDecoder(std::string_view text, const DecodeOptions& options)
       : _s(text), _version(Resolve(options.version)), _maxDepth(options.maxDepth) {}

   Pellum::Ref<Ormid::Any> Document() {
      Pellum::Ref<Ormid::Any> value = Value(AnyType(), false);
      Space();
      if (_at != _s.size()) {
         Syntax("text after the value");
      }
      return value;
   }

private:
   [[noreturn]] void Fail(const std::string& message) const { throw DecodeError(JoinPath(_path), message); }
   [[noreturn]] void Syntax(const std::string& what) const {
      Fail("malformed JSON at offset " + std::to_string(_at) + ": " + what);
   }

   void Space() {
      while (_at < _s.size() && (_s[_at] == ' ' || _s[_at] == '\t' || _s[_at] == '\n' || _s[_at] == '\r')) {
         ++_at;
      }
   }
   bool Peek(char c) {
      Space();
      return _at < _s.size() && _s[_at] == c;
   }
   void Expect(char c) {
      if (!Peek(c)) {
         Syntax(std::string("expected '") + c + "'");
      }
      ++_at;
   }
   bool Literal(std::string_view word) {
      Space();
      if (_s.substr(_at, word.size()) == word) {
         _at += word.size();
         return true;
      }
      return false;
   }

   void Enter() {
      if (++_depth > _maxDepth) {
         Fail("values nested deeper than the limit of " + std::to_string(_maxDepth));
      }
   }

   static void Utf8(std::string& out, unsigned cp) {
      if (cp < 0x80) {
         out += static_cast<char>(cp);
      } else if (cp < 0x800) {
         out += static_cast<char>(0xC0 | (cp >> 6));
         out += static_cast<char>(0x80 | (cp & 0x3F));
      } else if (cp < 0x10000) {
         out += static_cast<char>(0xE0 | (cp >> 12));
         out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
         out += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
         out += static_cast<char>(0xF0 | (cp >> 18));
         out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
         out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
         out += static_cast<char>(0x80 | (cp & 0x3F));
      }
   }

   unsigned Hex4() {
      if (_at + 4 > _s.size()) {
         Syntax("short \\u escape");
      }
      unsigned v = 0;
      for (int i = 0; i < 4; ++i) {
         const char c = _s[_at++];
         v <<= 4;
         if (c >= '0' && c <= '9') {
            v |= static_cast<unsigned>(c - '0');
         } else if (c >= 'a' && c <= 'f') {
            v |= static_cast<unsigned>(c - 'a' + 10);
         } else if (c >= 'A' && c <= 'F') {
            v |= static_cast<unsigned>(c - 'A' + 10);
         } else {
            Syntax("bad \\u escape");
         }
      }
      return v;
   }

   std::string String() {
      Expect('"');
      std::string out;
      const std::size_t start = _at;
      while (true) {
         if (_at >= _s.size()) {
            Syntax("unterminated string");
         }
         const unsigned char c = static_cast<unsigned char>(_s[_at]);
         if (c == '"') {
            ++_at;
            break;
         }
         if (c < 0x20) {
            Syntax("control character in a string");
         }
         if (c != '\\') {
            out += static_cast<char>(c);
            ++_at;
            continue;
         }
         ++_at;
         if (_at >= _s.size()) {
            Syntax("unterminated string");
         }
         const char e = _s[_at++];
         switch (e) {
         case '"':
         case '\\':
         case '/':
            out += e;
            break;
         case 'b':
            out += '\b';
            break;
         case 'f':
            out += '\f';
            break;
         case 'n':
            out += '\n';
            break;
         case 'r':
            out += '\r';
            break;
         case 't':
            out += '\t';
            break;
         case 'u': {
            unsigned cp = Hex4();
            if (cp >= 0xD800 && cp <= 0xDBFF) {
               if (_s.substr(_at, 2) != "\\u") {
                  Syntax("lone surrogate in a \\u escape");
               }
               _at += 2;
               const unsigned low = Hex4();
               if (low < 0xDC00 || low > 0xDFFF) {
                  Syntax("lone surrogate in a \\u escape");
               }
               cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
               Syntax("lone surrogate in a \\u escape");
            }
            Utf8(out, cp);
            break;
         }
         default:
            Syntax("bad escape in a string");
         }
      }
      const std::string why = CheckXmlText(out);
      if (!why.empty() && why.find("UTF-8") != std::string::npos) {
         _at = start;
         Syntax("invalid UTF-8 in a string");
      }
      return out;
   }

   // A number, boolean or string token as text.
   std::string Token(bool& wasString) {
      Space();
      wasString = Peek('"');
      if (wasString) {
         return String();
      }
      const std::size_t start = _at;
      while (_at < _s.size() && (std::isalnum(static_cast<unsigned char>(_s[_at])) || _s[_at] == '-' ||
                                 _s[_at] == '+' || _s[_at] == '.')) {
         ++_at;
      }
      if (_at == start) {
         Syntax("expected a value");
      }
      return std::string(_s.substr(start, _at - start));
   }

   // A plain value into `out` (of the kind's C++ type).
   void Plain(Ormid::FieldKind kind, const Ormid::Type* type, bool secret, void* out) {
      using K = Ormid::FieldKind;
      bool wasString = false;
      const std::string text = Token(wasString);
      const bool wantString =
          IsStringKind(kind) || kind == K::Enum || kind == K::Binary || kind == K::DateTime;
      const bool special = (kind == K::Float || kind == K::Double) && wasString;
      if (wasString != wantString && !special) {
         Fail(Quote(text, secret) +
              (wantString ? " is not a JSON string" : " is a string, not a JSON literal"));
      }
      const std::string why = ParseScalar(text, kind, type, out);
      if (!why.empty()) {
         Fail(Quote(text, secret) + " is " + why);
      }
   }

   Pellum::Ref<Ormid::Any> PlainBox(Ormid::FieldKind kind, const Ormid::Type* type, bool secret) {
      return WithScalarType(kind, [&](auto tag) {
         using T = decltype(tag);
         T value{};
         Plain(kind, type, secret, &value);
         return BoxScalar(kind, type, &value);
      });
   }

   void SkipValue() {
      Enter();
      Space();
      if (Peek('{')) {
         ++_at;
         if (!Peek('}')) {
            do {
               String();
               Expect(':');
               SkipValue();
            } while (Peek(',') && ++_at);
         }
         Expect('}');
      } else if (Peek('[')) {
         ++_at;
         if (!Peek(']')) {
            do {
               SkipValue();
            } while (Peek(',') && ++_at);
         }
         Expect(']');
      } else {
         bool s = false;
         Token(s);
      }
      --_depth;
   }

   // A value held by reference (or a box) in a place of static type `staticType`.
   Pellum::Ref<Ormid::Any> Value(const Ormid::Type* staticType, bool secret) {
      Enter();
      const bool anyPlace = staticType->GetKind() == Ormid::KindAny;
      Expect('{');
      const Ormid::Type* type = staticType;
      bool more = !Peek('}');
      if (more && _s.substr(_at, 8) == "\"_type\""
                                       ":") {
         String();
         Expect(':');
         const std::string name = String();
         const auto colon = name.find(':');
         const bool xsd = colon != std::string::npos && name.compare(0, colon, "xsd") == 0;
         const Ormid::Type* named =
             TypeFromXsi(colon == std::string::npos ? name : name.substr(colon + 1), xsd);
         if (named == nullptr) {
            Fail("unknown _type " + Quote(name, false));
         }
         try {
            CheckTypeInVersion(named, _version);
         } catch (const DecodeError& e) {
            Fail(e.GetMessage());
         }
         if (!anyPlace && !(staticType->IsManaged()
                                ? named->IsManaged()
                                : named == staticType || (named->IsDataObject() && named->IsA(staticType)))) {
            Fail(std::string("_type ") + named->GetWsdlName() + " is not a " + staticType->GetName());
         }
         type = named;
         more = Peek(',') && ++_at;
      } else if (anyPlace) {
         Fail("a value in an anyType place needs its _type first");
      }
      Pellum::Ref<Ormid::Any> value;
      if (type->IsDataObject()) {
         value = Object(static_cast<const Ormid::DataObjectType*>(type), more);
      } else if (type->IsManaged()) {
         value = Reference(more, secret);
      } else {
         // A box or an array in an anyType place: {"_type": ..., "_value": ...}.
         if (!more || String() != "_value") {
            Fail("expected \"_value\" after \"_type\"");
         }
         Expect(':');
         if (type->IsArray()) {
            const Ormid::Type* item = type->GetItemType();
            value = NewArray(item);
            Items(value.GetPtr(), item, ItemKindOf(item), secret);
         } else {
            value = PlainBox(ItemKindOf(type), type, secret);
         }
      }
      Expect('}');
      --_depth;
      return value;
   }

   Pellum::Ref<Ormid::Any> Reference(bool more, bool secret) {
      std::string typeName, id;
      bool haveType = false, haveId = false;
      while (more) {
         const std::string key = String();
         Expect(':');
         if (key == "type" && !haveType) {
            typeName = String();
            haveType = true;
         } else if (key == "value" && !haveId) {
            id = String();
            haveId = true;
         } else {
            Fail("unexpected member " + Quote(key, false) + " of a managed-object reference");
         }
         more = Peek(',') && ++_at;
      }
      if (!haveType || !haveId || id.empty()) {
         Fail("a managed-object reference needs \"type\" and a non-empty \"value\"");
      }
      Ormid::Type* type = Ormid::TypeRegistry::Get().FindByWsdlName(typeName);
      if (type == nullptr || !type->IsManaged()) {
         Fail("unknown managed type " + Quote(typeName, false));
      }
      (void)secret;
      return Pellum::Ref<Ormid::Any>(new Ormid::MoRef(type, id));
   }

   void Items(Ormid::Any* array, const Ormid::Type* item, Ormid::FieldKind itemKind, bool secret) {
      Expect('[');
      int i = 0;
      if (!Peek(']')) {
         do {
            _path.push_back({{}, i++});
            if (itemKind == Ormid::FieldKind::Reference || itemKind == Ormid::FieldKind::Any) {
               Pellum::Ref<Ormid::Any> v = Value(item, secret);
               static_cast<Ormid::DataArrayBase*>(array)->AppendAny(v.GetPtr());
            } else {
               WithScalarType(itemKind, [&](auto tag) {
                  decltype(tag) v{};
                  Plain(itemKind, item, secret, &v);
                  AppendToPlainArray(array, itemKind, &v);
               });
            }
            _path.pop_back();
         } while (Peek(',') && ++_at);
      }
      Expect(']');
   }

   Pellum::Ref<Ormid::Any> Object(const Ormid::DataObjectType* type, bool more) {
      Pellum::Ref<Ormid::DynamicData> obj = type->Create();
      const Plan& plan = PlanOf(type);
      std::vector<bool> seen(plan.places.size());
      int cursor = 0;
      while (more) {
         const std::string key = String();
         Expect(':');
         const int at = plan.FindFrom(key, cursor);
         if (at < 0) {
            _path.push_back({key, -1});
            Fail(std::string("unknown member: no property of ") + type->GetName());
         }
         const Place& place = plan.places[static_cast<std::size_t>(at)];
         _path.push_back({place.name, -1});
         if (seen[static_cast<std::size_t>(at)]) {
            Fail("given twice");
         }
         seen[static_cast<std::size_t>(at)] = true;
         if (!PartOf(place.version, _version)) {
            SkipValue();
         } else if (Literal("null")) {
            seen[static_cast<std::size_t>(at)] = false; // null stands for unset
         } else {
            Member(obj.GetPtr(), place);
         }
         _path.pop_back();
         more = Peek(',') && ++_at;
      }
      for (std::size_t i = 0; i < plan.places.size(); ++i) {
         const Place& place = plan.places[i];
         if (place.required() && !seen[i] && PartOf(place.version, _version)) {
            _path.push_back({place.name, -1});
            Fail("required property is missing");
         }
      }
      return Pellum::Ref<Ormid::Any>(obj.GetPtr());
   }

   void Member(Ormid::DynamicData* obj, const Place& place) {
      const Ormid::DataTypeInfo* d = place.owner->GetDescriptor();
      try {
         switch (place.kind) {
         case Ormid::FieldKind::Reference:
         case Ormid::FieldKind::Any: {
            Pellum::Ref<Ormid::Any> v = Value(place.type, place.secret);
            d->setField(obj, place.index, v.GetPtr());
            return;
         }
         case Ormid::FieldKind::Array: {
            Pellum::Ref<Ormid::Any> array;
            d->getField(obj, place.index, &array);
            Items(array.GetPtr(), place.type, place.itemKind, place.secret);
            return;
         }
         default:
            WithScalarType(place.kind, [&](auto tag) {
               decltype(tag) v{};
               Plain(place.kind, place.type, place.secret, &v);
               if constexpr (std::is_same_v<decltype(tag), bool>) {
                  if (place.optional) {
                     const signed char b = v ? 1 : 0;
                     d->setField(obj, place.index, &b);
                     return;
                  }
               }
               d->setField(obj, place.index, &v);
            });
         }
      } catch (const DecodeError&) {
         throw;
      } catch (const std::exception& e) {
         Fail(e.what());
      }
   }

   std::string_view _s;
   std::size_t _at = 0;
   const Ormid::Version* _version;
   int _maxDepth;
   int _depth = 0;
   std::vector<PathStep> _path;
};

} // namespace
} // namespace Wire::Detail

namespace Wire {

std::string EncodeJson(const Ormid::Any* value, const EncodeOptions& options) {
   if (value == nullptr) {
      throw EncodeError("", "no value to encode");
   }
   std::string out;
   Detail::JsonEncoder(out, Detail::Resolve(options.version)).Value(value, Detail::AnyType(), false);
   return out;
}

Pellum::Ref<Ormid::Any> DecodeJson(std::string_view document, const DecodeOptions& options) {
   if (document.size() > options.maxBytes) {
      throw DecodeError("", "document of " + std::to_string(document.size()) +
                                " bytes is over the limit of " + std::to_string(options.maxBytes) + " bytes");
   }
   return Detail::JsonDecoder(document, options).Document();
}

} // namespace Wire
