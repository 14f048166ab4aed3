// Readable rendering of values by reflection.

#include <cstdio>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "ormid/Array.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxBinaryBytes = 32;

void Indent(std::string& out, int level) {
   out.append(static_cast<std::size_t>(level) * 3, ' ');
}

void Quoted(std::string& out, const std::string& s) {
   out += '"';
   for (unsigned char c : s) {
      switch (c) {
      case '"':
         out += "\\\"";
         break;
      case '\\':
         out += "\\\\";
         break;
      case '\n':
         out += "\\n";
         break;
      case '\r':
         out += "\\r";
         break;
      case '\t':
         out += "\\t";
         break;
      default:
         if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
         } else {
            out += static_cast<char>(c);
         }
      }
   }
   out += '"';
}

void Binary(std::string& out, const std::vector<unsigned char>& bytes) {
   out += '<';
   out += std::to_string(bytes.size());
   out += bytes.size() == 1 ? " byte" : " bytes";
   if (!bytes.empty()) {
      out += ':';
      for (std::size_t i = 0; i < bytes.size() && i < kMaxBinaryBytes; ++i) {
         char buf[4];
         std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
         out += buf;
      }
      if (bytes.size() > kMaxBinaryBytes) {
         out += "...";
      }
   }
   out += '>';
}

void EnumName(std::string& out, const Type* type, int ordinal) {
   const EnumType* e = dynamic_cast<const EnumType*>(type);
   if (e != nullptr && e->IsValid(ordinal)) {
      out += e->GetTag(ordinal);
   } else {
      out += "<ordinal ";
      out += std::to_string(ordinal);
      out += '>';
   }
}

// One plain value: a number, a string or string-valued object, a binary or a date-time.
template <class T> void Plain(std::string& out, const T& value) {
   if constexpr (std::is_same_v<T, bool>) {
      out += value ? "true" : "false";
   } else if constexpr (std::is_same_v<T, signed char>) {
      out += std::to_string(int{value});
   } else if constexpr (std::is_integral_v<T>) {
      out += std::to_string(value);
   } else if constexpr (std::is_floating_point_v<T>) {
      out += Pellum::PrintFormatter::Render(value);
   } else if constexpr (std::is_base_of_v<std::string, T>) {
      Quoted(out, value); // the string-valued classes derive from std::string and add nothing
   } else if constexpr (std::is_same_v<T, std::vector<unsigned char>>) {
      Binary(out, value);
   } else {
      static_assert(std::is_same_v<T, Pellum::System::DateTime>);
      out += value.ToString();
   }
}

class Renderer {
public:
   explicit Renderer(std::string& out) : _out(out) {}

   void Value(const Any* value, int level) {
      if (value == nullptr) {
         _out += "<unset>";
         return;
      }
      if (level > kMaxDepth) {
         _out += "...";
         return;
      }
      if (const MoRef* ref = dynamic_cast<const MoRef*>(value)) {
         _out += ref->ToString();
      } else if (const DynamicData* data = dynamic_cast<const DynamicData*>(value)) {
         Data(data, level);
      } else if (const DataArrayBase* array = dynamic_cast<const DataArrayBase*>(value)) {
         DataArrayValue(array, level);
      } else if (const ArrayBase* plain = dynamic_cast<const ArrayBase*>(value)) {
         PlainArray(plain, level);
      } else {
         Boxed(value);
      }
   }

private:
   std::string TypeNameOf(const Any* value) {
      const Type* type = value->_GetType();
      return type != nullptr ? std::string(type->GetName()) : Pellum::DemangleTypeName(typeid(*value));
   }

   void Data(const DynamicData* data, int level) {
      const DataObjectType* type = data->_GetDataType();
      _out += '(';
      _out += type != nullptr ? std::string(type->GetName()) : Pellum::DemangleTypeName(typeid(*data));
      _out += ") {";
      bool any = false;
      if (type != nullptr) {
         type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
            const Property property(*owner, index);
            property.Visit(data, [&](const auto& value) { // only a property with a value
               using T = std::remove_cvref_t<decltype(value)>;
               _out += any ? ",\n" : "\n";
               any = true;
               Indent(_out, level + 1);
               _out += record.name;
               _out += " = ";
               if ((record.flags & PropertyFlags::Secret) != 0) {
                  _out += kSecretMask;
               } else if constexpr (std::is_same_v<T, const Any*>) {
                  Value(value, level + 1);
               } else if constexpr (std::is_same_v<T, int>) {
                  if (property.GetKind() == FieldKind::Enum) {
                     EnumName(_out, TypeRegistry::Get().FindByHeader(record.type), value);
                  } else {
                     Plain(_out, value);
                  }
               } else {
                  Plain(_out, value);
               }
            });
         });
      }
      if (any) {
         _out += '\n';
         Indent(_out, level);
      }
      _out += '}';
   }

   template <class Each> void List(const std::string& typeName, std::size_t n, int level, Each&& each) {
      _out += '(';
      _out += typeName;
      _out += ") [";
      for (std::size_t i = 0; i < n; ++i) {
         _out += i == 0 ? "\n" : ",\n";
         Indent(_out, level + 1);
         each(i);
      }
      if (n > 0) {
         _out += '\n';
         Indent(_out, level);
      }
      _out += ']';
   }

   void DataArrayValue(const DataArrayBase* array, int level) {
      List(TypeNameOf(array), array->size(), level,
           [&](std::size_t i) { Value(array->GetAny(i), level + 1); });
   }

   template <class T> bool TryPlainArray(const ArrayBase* value, int level) {
      const Array<T>* array = dynamic_cast<const Array<T>*>(value);
      if (array == nullptr) {
         return false;
      }
      const Type* item = value->_GetType() != nullptr ? value->_GetType()->GetItemType() : nullptr;
      const bool isEnum = item != nullptr && item->IsEnum();
      List(TypeNameOf(value), array->size(), level, [&](std::size_t i) {
         const T& v = (*array)[i];
         if constexpr (std::is_same_v<T, int>) {
            if (isEnum) {
               EnumName(_out, item, v);
               return;
            }
         }
         Plain(_out, v);
      });
      return true;
   }

   void PlainArray(const ArrayBase* value, int level) {
      TryPlainArray<bool>(value, level) || TryPlainArray<signed char>(value, level) ||
          TryPlainArray<short>(value, level) || TryPlainArray<int>(value, level) ||
          TryPlainArray<long>(value, level) || TryPlainArray<float>(value, level) ||
          TryPlainArray<double>(value, level) || TryPlainArray<std::string>(value, level) ||
          TryPlainArray<std::vector<unsigned char>>(value, level) ||
          TryPlainArray<Pellum::System::DateTime>(value, level) || TryPlainArray<TypeName>(value, level) ||
          TryPlainArray<MethodName>(value, level) || TryPlainArray<Uri>(value, level) ||
          TryPlainArray<PropertyPath>(value, level) || Opaque(value);
   }

   template <class T> bool TryBox(const Any* value) {
      const Primitive<T>* box = dynamic_cast<const Primitive<T>*>(value);
      if (box == nullptr) {
         return false;
      }
      Plain(_out, box->GetValue());
      return true;
   }

   void Boxed(const Any* value) {
      const Type* type = value->_GetType();
      _out += '(';
      _out += TypeNameOf(value);
      _out += ") ";
      if (type != nullptr && type->IsEnum()) {
         const EnumType* e = static_cast<const EnumType*>(type);
         EnumName(_out, e, e->GetFuncs().unbox(value));
         return;
      }
      TryBox<bool>(value) || TryBox<signed char>(value) || TryBox<short>(value) || TryBox<int>(value) ||
          TryBox<long>(value) || TryBox<float>(value) || TryBox<double>(value) ||
          TryBox<std::string>(value) || TryBox<std::vector<unsigned char>>(value) ||
          TryBox<Pellum::System::DateTime>(value) || TryBox<TypeName>(value) || TryBox<MethodName>(value) ||
          TryBox<Uri>(value) || TryBox<PropertyPath>(value) || (_out += "<value>", true);
   }

   bool Opaque(const Any* value) {
      _out += '(';
      _out += TypeNameOf(value);
      _out += ") <value>";
      return true;
   }

   std::string& _out;
};

} // namespace

std::string ToString(const Any* value) {
   std::string out;
   Renderer(out).Value(value, 0);
   return out;
}

std::string ToString(const Any* value, unsigned flags) {
   if (value != nullptr && (flags & PropertyFlags::Secret) != 0) {
      return kSecretMask;
   }
   return ToString(value);
}

} // namespace Ormid
