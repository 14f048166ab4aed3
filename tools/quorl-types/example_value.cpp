// Example values for `quorl-types show`.
//
// The example is made the way the runtime itself handles values it knows only by descriptor: the type's
// create factory makes the object, and each property is stored through its typed handle
// (Ormid::Property), with the value type of its storage kind. Sample values by kind:
//
//   boolean true; byte, short, int, long 1; float 0.5; double 1.5; enumeration its first value;
//   string "example" (a link: "example-key"); binary 4 bytes 01020304; date-time 2024-01-01T00:00:00Z;
//   URI "https://example.invalid/"; type name the example's own type; method name "exampleMethod";
//   property path "example.path"; managed-object reference "<type>:example-1"; any value the boxed
//   string "example"; data object an example of the property's type (one level less deep);
//   array one element of the item kind (for data objects while depth remains).
//
// Secret properties get a sample value like any other: the rendering masks them. With edge values
// (ExampleOptions::edgeValues) each kind takes the value of kEdge instead.
#include "example_value.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "ormid/Array.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "pellum/Exception.h"
#include "pellum/System/DateTime.h"

namespace quorl_types {
namespace {

using Ormid::Any;
using Ormid::DataObjectType;
using Ormid::FieldKind;
using Ormid::PropertyRecord;
using Pellum::Ref;

constexpr int64_t kExampleTime = 1704067200LL * 1000000; // 2024-01-01T00:00:00Z

const char* const kText = "example";
const char* const kLinkKey = "example-key";

Ormid::Type* Registered(const Ormid::TypeInfo* header) {
   Ormid::Type* type = Ormid::TypeRegistry::Get().FindByHeader(header);
   if (type == nullptr) {
      throw Pellum::Exception(std::string("type ") + header->name + " is not registered");
   }
   return type;
}

const Ormid::EnumType& EnumOf(const PropertyRecord& record) {
   auto* type = dynamic_cast<Ormid::EnumType*>(Registered(record.type));
   if (type == nullptr) {
      throw Pellum::Exception(std::string(record.type->name) + " is not an enumeration");
   }
   return *type;
}

const DataObjectType& DataTypeOf(const Ormid::TypeInfo* header) {
   auto* type = dynamic_cast<DataObjectType*>(Registered(header));
   if (type == nullptr) {
      throw Pellum::Exception(std::string(header->name) + " is not a data object or fault");
   }
   return *type;
}

// The sample of each plain kind: the plain samples, or the edge values.
struct Samples {
   std::string text, linkKey;
   signed char byteValue;
   short shortValue;
   int intValue;
   long longValue;
   float floatValue;
   double doubleValue;
   std::vector<unsigned char> bytes;
   Pellum::System::DateTime time;
   bool lastEnumValue;
};

const Samples kPlain{
    kText, kLinkKey, 1, 1, 1, 1, 0.5f, 1.5, {1, 2, 3, 4}, Pellum::System::DateTime::FromUtcTime(kExampleTime),
    false};
const Samples kEdge{"<a href=\"x\">&amp; caf\xC3\xA9 \xE2\x82\xAC\r\n\ttab ]]> '\xF0\x9F\x98\x80'</a>",
                    "key <&>",
                    -128,
                    32767,
                    -2147483647 - 1,
                    9223372036854775807L,
                    1.17549435e-38f,
                    0.1,
                    {0, 255, 1, 254, 128, 127, 62, 63},
                    Pellum::System::DateTime::FromUtcTime(1733411143123457LL), // 2024-12-05T15:05:43.123457Z
                    true};

struct Context {
   ExampleOptions options;
   const Samples& samples;
   int Ordinal(const Ormid::EnumType& type) const {
      return samples.lastEnumValue ? type.GetValueCount() - 1 : 0;
   }
};

Ref<Ormid::DynamicData> Build(const Context& cx, const DataObjectType& type, int depth);

template <class T> Ref<Any> ArrayOf(T value) {
   Ref<Ormid::Array<T>> array(new Ormid::Array<T>());
   array->Append(std::move(value));
   return Ref<Any>(array.GetPtr());
}

// One element of the item kind; null for an array of data objects when no depth remains.
Ref<Any> ExampleArray(const Context& cx, const PropertyRecord& record, int depth) {
   const Samples& s = cx.samples;
   if ((record.flags & Ormid::PropertyFlags::Link) != 0) {
      return ArrayOf(s.linkKey);
   }
   const Ormid::TypeInfo* item = record.type;
   switch (item->kind) {
   case Ormid::KindBool:
      return ArrayOf(true);
   case Ormid::KindByte:
      return ArrayOf(s.byteValue);
   case Ormid::KindShort:
      return ArrayOf(s.shortValue);
   case Ormid::KindInt:
      return ArrayOf(s.intValue);
   case Ormid::KindLong:
      return ArrayOf(s.longValue);
   case Ormid::KindFloat:
      return ArrayOf(s.floatValue);
   case Ormid::KindDouble:
      return ArrayOf(s.doubleValue);
   case Ormid::KindString:
      return ArrayOf(s.text);
   case Ormid::KindBinary:
      return ArrayOf(s.bytes);
   case Ormid::KindDateTime:
      return ArrayOf(s.time);
   case Ormid::KindUri:
      return ArrayOf(Ormid::Uri("https://example.invalid/"));
   case Ormid::KindTypeName:
      return ArrayOf(Ormid::TypeName(record.type->name));
   case Ormid::KindMethodName:
      return ArrayOf(Ormid::MethodName("exampleMethod"));
   case Ormid::KindPropertyPath:
      return ArrayOf(Ormid::PropertyPath("example.path"));
   case Ormid::KindEnum: {
      const Ormid::EnumType& type = EnumOf(record);
      Ref<Any> array(type.GetFuncs().createArray());
      static_cast<Ormid::Array<int>*>(array.GetPtr())->Append(cx.Ordinal(type));
      return array;
   }
   case Ormid::KindManaged: {
      Ref<Ormid::DataArray<Ormid::MoRef>> array(new Ormid::DataArray<Ormid::MoRef>());
      array->Append(new Ormid::MoRef(item->name, "example-1"));
      return Ref<Any>(array.GetPtr());
   }
   case Ormid::KindAny: {
      Ref<Ormid::DataArray<Any>> array(new Ormid::DataArray<Any>());
      array->Append(Ormid::Box(s.text).GetPtr());
      return Ref<Any>(array.GetPtr());
   }
   case Ormid::KindDataObject:
   case Ormid::KindFault: {
      if (depth <= 0) {
         return nullptr;
      }
      const DataObjectType& type = DataTypeOf(item);
      Ref<Ormid::DataArrayBase> array = type.CreateArray();
      array->AppendAny(Build(cx, type, depth - 1).GetPtr());
      return Ref<Any>(array.GetPtr());
   }
   default:
      throw Pellum::Exception(std::string("no example for arrays of ") + item->name);
   }
}

// Stores `value` in a property whose value type is T, or Pellum::Optional<T> when it is optional.
template <class T> void Store(const Ormid::Property& property, Ormid::DynamicData* obj, const T& value) {
   if (property.IsOptional()) {
      property.Set(obj, Pellum::Optional<T>(value));
   } else {
      property.Set(obj, value);
   }
}

void StoreExample(const Context& cx, const DataObjectType& self, const Ormid::Property& property,
                  Ormid::DynamicData* obj, int depth) {
   const Samples& s = cx.samples;
   const PropertyRecord& record = property.GetRecord();
   const bool optional = property.IsOptional();
   if (optional && !cx.options.optionals) {
      return;
   }
   switch (property.GetKind()) {
   case FieldKind::Bool:
      return Store(property, obj, true);
   case FieldKind::Byte:
      return Store(property, obj, s.byteValue);
   case FieldKind::Short:
      return Store(property, obj, s.shortValue);
   case FieldKind::Int:
      return Store(property, obj, s.intValue);
   case FieldKind::Long:
      return Store(property, obj, s.longValue);
   case FieldKind::Float:
      return Store(property, obj, s.floatValue);
   case FieldKind::Double:
      return Store(property, obj, s.doubleValue);
   case FieldKind::Enum:
      return Store(property, obj, cx.Ordinal(EnumOf(record)));
   case FieldKind::String:
      return Store(property, obj, (record.flags & Ormid::PropertyFlags::Link) != 0 ? s.linkKey : s.text);
   case FieldKind::Binary:
      return Store(property, obj, s.bytes);
   case FieldKind::DateTime:
      return Store(property, obj, s.time);
   case FieldKind::Uri:
      return Store(property, obj, Ormid::Uri("https://example.invalid/"));
   case FieldKind::TypeName:
      return Store(property, obj, Ormid::TypeName(self.GetName()));
   case FieldKind::MethodName:
      return Store(property, obj, Ormid::MethodName("exampleMethod"));
   case FieldKind::PropertyPath:
      return Store(property, obj, Ormid::PropertyPath("example.path"));
   case FieldKind::Reference: {
      Ref<Any> value;
      if (record.type->kind == Ormid::KindManaged) {
         value = new Ormid::MoRef(record.type->name, "example-1");
      } else if (depth > 0 || (cx.options.complete && !optional && depth > -kCompleteDepth)) {
         value = Build(cx, DataTypeOf(record.type), depth - 1).GetPtr();
      }
      return property.Set(obj, value);
   }
   case FieldKind::Any:
      return property.Set(obj, Ormid::Box(s.text));
   case FieldKind::Array:
      return property.Set(obj, ExampleArray(cx, record, depth));
   }
}

Ref<Ormid::DynamicData> Build(const Context& cx, const DataObjectType& type, int depth) {
   Ref<Ormid::DynamicData> obj = type.Create();
   type.ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
      try {
         StoreExample(cx, type, Ormid::Property(*owner, index), obj.GetPtr(), depth);
      } catch (const std::exception& e) {
         throw Pellum::Exception(std::string("cannot build an example of ") + type.GetName() + ": property " +
                                 record.name + ": " + e.what());
      }
   });
   return obj;
}

// Prefixes every line of `text` with `indent`.
std::string IndentLines(const std::string& text, const std::string& indent) {
   std::string out = indent;
   for (char c : text) {
      out += c;
      if (c == '\n') {
         out += indent;
      }
   }
   return out;
}

} // namespace

Ref<Ormid::DynamicData> BuildExampleValue(const DataObjectType& type, int depth) {
   ExampleOptions options;
   options.depth = depth;
   return BuildExampleValue(type, options);
}

Ref<Ormid::DynamicData> BuildExampleValue(const DataObjectType& type, const ExampleOptions& options) {
   const Context cx{options, options.edgeValues ? kEdge : kPlain};
   return Build(cx, type, options.depth);
}

Ref<Any> BuildExampleArgument(const PropertyRecord& record, const ExampleOptions& options) {
   const Context cx{options, options.edgeValues ? kEdge : kPlain};
   const Samples& s = cx.samples;
   const int depth = options.depth;
   switch (Ormid::GetFieldKind(record)) {
   case FieldKind::Bool:
      return Ormid::Box(true);
   case FieldKind::Byte:
      return Ormid::Box(s.byteValue);
   case FieldKind::Short:
      return Ormid::Box(s.shortValue);
   case FieldKind::Int:
      return Ormid::Box(s.intValue);
   case FieldKind::Long:
      return Ormid::Box(s.longValue);
   case FieldKind::Float:
      return Ormid::Box(s.floatValue);
   case FieldKind::Double:
      return Ormid::Box(s.doubleValue);
   case FieldKind::Enum: {
      const Ormid::EnumType& type = EnumOf(record);
      return Ref<Any>(type.GetFuncs().box(cx.Ordinal(type)));
   }
   case FieldKind::String:
      return Ormid::Box((record.flags & Ormid::PropertyFlags::Link) != 0 ? s.linkKey : s.text);
   case FieldKind::Binary:
      return Ormid::Box(s.bytes);
   case FieldKind::DateTime:
      return Ormid::Box(s.time);
   case FieldKind::Uri:
      return Ormid::Box(Ormid::Uri("https://example.invalid/"));
   case FieldKind::TypeName:
      return Ormid::Box(Ormid::TypeName(record.type->name));
   case FieldKind::MethodName:
      return Ormid::Box(Ormid::MethodName("exampleMethod"));
   case FieldKind::PropertyPath:
      return Ormid::Box(Ormid::PropertyPath("example.path"));
   case FieldKind::Reference:
      if (record.type->kind == Ormid::KindManaged) {
         return Ref<Any>(new Ormid::MoRef(record.type->name, "example-1"));
      }
      return Ref<Any>(Build(cx, DataTypeOf(record.type), depth).GetPtr());
   case FieldKind::Any:
      return Ormid::Box(s.text);
   case FieldKind::Array:
      return ExampleArray(cx, record, depth + 1);
   }
   return nullptr;
}

std::string ExampleValueText(const DataObjectType& type) {
   return IndentLines(Ormid::ToString(BuildExampleValue(type).GetPtr()), "  ");
}

} // namespace quorl_types
