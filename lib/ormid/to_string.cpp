// Readable rendering of values by reflection.

#include <cstdio>
#include <string>
#include <typeinfo>
#include <vector>

#include "ormid/Array.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
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

// One plain value of kind `kind` stored at `p`.
void Plain(std::string& out, FieldKind kind, const void* p, const TypeInfo* valueType) {
   switch (kind) {
   case FieldKind::Bool:
      out += *static_cast<const unsigned char*>(p) != 0 ? "true" : "false";
      break;
   case FieldKind::Byte:
      out += std::to_string(static_cast<int>(*static_cast<const signed char*>(p)));
      break;
   case FieldKind::Short:
      out += std::to_string(*static_cast<const short*>(p));
      break;
   case FieldKind::Int:
      out += std::to_string(*static_cast<const int*>(p));
      break;
   case FieldKind::Long:
      out += std::to_string(*static_cast<const long*>(p));
      break;
   case FieldKind::Float:
      out += Pellum::PrintFormatter::Render(*static_cast<const float*>(p));
      break;
   case FieldKind::Double:
      out += Pellum::PrintFormatter::Render(*static_cast<const double*>(p));
      break;
   case FieldKind::Enum:
      EnumName(out, TypeRegistry::Get().FindByHeader(valueType), *static_cast<const int*>(p));
      break;
   case FieldKind::String:
   case FieldKind::Uri:
   case FieldKind::TypeName:
   case FieldKind::MethodName:
   case FieldKind::PropertyPath:
      // The string-valued classes derive from std::string and add nothing.
      Quoted(out, *static_cast<const std::string*>(p));
      break;
   case FieldKind::Binary:
      Binary(out, *static_cast<const std::vector<unsigned char>*>(p));
      break;
   case FieldKind::DateTime:
      out += static_cast<const Pellum::System::DateTime*>(p)->ToString();
      break;
   case FieldKind::Reference:
   case FieldKind::Any:
   case FieldKind::Array:
      break;
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
         DynamicData* self = const_cast<DynamicData*>(data);
         type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
            const void* p = owner->GetDescriptor()->getFieldPtr(self, index);
            if (p == nullptr) {
               return; // unset, null or empty
            }
            _out += any ? ",\n" : "\n";
            any = true;
            Indent(_out, level + 1);
            _out += record.name;
            _out += " = ";
            if ((record.flags & PropertyFlags::Secret) != 0) {
               _out += kSecretMask;
               return;
            }
            const FieldKind kind = GetFieldKind(record);
            if (IsReferenceKind(kind)) {
               Value(static_cast<const Any*>(p), level + 1);
            } else {
               Plain(_out, kind, p, record.type);
            }
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

   template <class T> bool TryPlainArray(const ArrayBase* value, FieldKind kind, int level) {
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
         Plain(_out, kind, &v, nullptr);
      });
      return true;
   }

   void PlainArray(const ArrayBase* value, int level) {
      TryPlainArray<bool>(value, FieldKind::Bool, level) ||
          TryPlainArray<signed char>(value, FieldKind::Byte, level) ||
          TryPlainArray<short>(value, FieldKind::Short, level) ||
          TryPlainArray<int>(value, FieldKind::Int, level) ||
          TryPlainArray<long>(value, FieldKind::Long, level) ||
          TryPlainArray<float>(value, FieldKind::Float, level) ||
          TryPlainArray<double>(value, FieldKind::Double, level) ||
          TryPlainArray<std::string>(value, FieldKind::String, level) ||
          TryPlainArray<std::vector<unsigned char>>(value, FieldKind::Binary, level) ||
          TryPlainArray<Pellum::System::DateTime>(value, FieldKind::DateTime, level) ||
          TryPlainArray<TypeName>(value, FieldKind::TypeName, level) ||
          TryPlainArray<MethodName>(value, FieldKind::MethodName, level) ||
          TryPlainArray<Uri>(value, FieldKind::Uri, level) ||
          TryPlainArray<PropertyPath>(value, FieldKind::PropertyPath, level) || Opaque(value);
   }

   template <class T> bool TryBox(const Any* value, FieldKind kind) {
      const Primitive<T>* box = dynamic_cast<const Primitive<T>*>(value);
      if (box == nullptr) {
         return false;
      }
      Plain(_out, kind, &box->GetValue(), nullptr);
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
      TryBox<bool>(value, FieldKind::Bool) || TryBox<signed char>(value, FieldKind::Byte) ||
          TryBox<short>(value, FieldKind::Short) || TryBox<int>(value, FieldKind::Int) ||
          TryBox<long>(value, FieldKind::Long) || TryBox<float>(value, FieldKind::Float) ||
          TryBox<double>(value, FieldKind::Double) || TryBox<std::string>(value, FieldKind::String) ||
          TryBox<std::vector<unsigned char>>(value, FieldKind::Binary) ||
          TryBox<Pellum::System::DateTime>(value, FieldKind::DateTime) ||
          TryBox<TypeName>(value, FieldKind::TypeName) || TryBox<MethodName>(value, FieldKind::MethodName) ||
          TryBox<Uri>(value, FieldKind::Uri) || TryBox<PropertyPath>(value, FieldKind::PropertyPath) ||
          (_out += "<value>", true);
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
