// What the XML and JSON codecs share: per-type plans computed once from the descriptors, the names types
// go by on the wire, scalar text forms, and the paths of error messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/ManagedType.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Type.h"
#include "ormid/Versions.h"
#include "pellum/System/DateTime.h"
#include "wire/Codec.h"

namespace Wire::Detail {

inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kXsdNamespace = "http://www.w3.org/2001/XMLSchema";
inline constexpr std::string_view kSoapNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
// The wire name of a managed-object reference in an anyType place, and of arrays of them.
inline constexpr std::string_view kMoRefName = "ManagedObjectReference";

// One place a value can take: a property of a data object or fault, a parameter or the result of a call.
struct Place {
   const Ormid::DataObjectType* owner = nullptr; // declaring type (null for parameters and results)
   int index = 0;                                // own index in `owner`, or parameter position
   std::string_view name;
   Ormid::FieldKind kind = Ormid::FieldKind::Any; // storage kind (parameters: of the boxed value)
   Ormid::Type* type = nullptr;                   // static type; the item type for arrays; string for links
   const Ormid::Version* version = nullptr;       // the version that introduced it (null: always present)
   bool optional = false;
   bool array = false;
   bool secret = false;
   // The kind of one item or of the value itself, whatever the storage: Bool ... PropertyPath for
   // plain values, Enum, Reference (data objects, faults, references), Any.
   Ormid::FieldKind itemKind = Ormid::FieldKind::Any;
   bool required() const noexcept { return !optional && !array; }
};

// The places of a data-object type (inherited first) or of a method's parameters, with a name index.
struct Plan {
   const Ormid::Type* type = nullptr; // the data-object type (null for a method)
   std::vector<Place> places;
   std::vector<std::pair<std::string_view, int>> byName; // sorted
   bool redeclared = false; // some name is there twice (a property redeclared by a derived type)
   int Find(std::string_view name) const noexcept;
   // Find for a reader that meets the places in declaration order, as writers write them: `cursor` (the
   // place after the last one found) is tried first, then the last one again (an array's next item) and
   // the few after it (unset places are left out), before the index.
   int FindFrom(std::string_view name, int& cursor) const noexcept;
};

// The plan of a data-object type, made on first use and kept for the process (thread-safe).
const Plan& PlanOf(const Ormid::DataObjectType* type);
// The plan of a method's parameters.
const Plan& ParamPlanOf(const Ormid::ManagedMethod* method);
// The place of a method's result (`returnval`); a task method answers a reference to its task.
Place ResultPlaceOf(const Ormid::ManagedMethod* method);

// The version of a tag name (cached); null for an unknown name.
const Ormid::Version* VersionNamed(const char* name);
// True when something tagged `tagged` is part of `version` (null on either side: true).
inline bool PartOf(const Ormid::Version* tagged, const Ormid::Version* version) noexcept {
   return tagged == nullptr || version == nullptr || version->Includes(*tagged);
}
// The option's version, or the default one.
const Ormid::Version* Resolve(const Ormid::Version* version);
const Ormid::VersionRecord& RecordOf(const Ormid::Version* version);

// A registered type by header; raises Error when it is not registered.
Ormid::Type* TypeOf(const Ormid::TypeInfo* header);
Ormid::Type* AnyType();
Ormid::Type* StringType();

// The kind of one value of `type` (see Place::itemKind).
Ormid::FieldKind ItemKindOf(const Ormid::Type* type);

// The name that xsi:type gives `type`: "xsd:int", "TypeName", "VirtualMachineConfigSpec",
// "ManagedObjectReference" (kobl.ManagedObject), "ArrayOfString", "ArrayOfManagedObjectReference".
std::string XsiName(const Ormid::Type* type);
// The element name of one item of a boxed array of `item`: "string", "ManagedObjectReference".
std::string_view ItemElementName(const Ormid::Type* item);
// The type an xsi:type names: `local` is the name without prefix, `xsd` tells whether its prefix was
// bound to the XML Schema namespace. Null when unknown.
Ormid::Type* TypeFromXsi(std::string_view local, bool xsd);

// Raises DecodeError (path filled in by the caller: empty here) when `type` (or an array type's item) is not
// part of `version`: a document of that version cannot name it.
void CheckTypeInVersion(const Ormid::Type* type, const Ormid::Version* version);

// The data-object type a value is written as for `version`: its own, or its nearest base that is part of
// the version.
const Ormid::DataObjectType* WrittenType(const Ormid::DataObjectType* type, const Ormid::Version* version);

// A new empty array whose items are of `item`.
Pellum::Ref<Ormid::Any> NewArray(const Ormid::Type* item);

// --- paths of error messages ---
struct PathStep {
   std::string_view name; // empty for the value itself
   int index = -1;        // an item's position, or -1
};
std::string JoinPath(const std::vector<PathStep>& steps);

// --- scalar text forms ---
// Appends the text form of a plain value of kind `kind` stored at `p` (enumerations: `enumType` names
// the ordinal). Raises EncodeError (path filled in by the caller) for what the text form cannot carry.
void AppendScalar(std::string& out, Ormid::FieldKind kind, const void* p, const Ormid::Type* enumType,
                  bool json);
// Base64 (RFC 4648 with padding).
void AppendBase64(std::string& out, const std::vector<unsigned char>& bytes);
bool ParseBase64(std::string_view text, std::vector<unsigned char>& out);
void AppendDateTime(std::string& out, const Pellum::System::DateTime& value);
bool ParseDateTime(std::string_view text, Pellum::System::DateTime& out, std::string& why);

// Calls f(T{}) with the C++ type a plain value of kind `kind` is stored as (enumerations: int).
template <class F> decltype(auto) WithScalarType(Ormid::FieldKind kind, F&& f) {
   using K = Ormid::FieldKind;
   switch (kind) {
   case K::Bool:
      return f(bool{});
   case K::Byte:
      return f(static_cast<signed char>(0));
   case K::Short:
      return f(short{});
   case K::Int:
   case K::Enum:
      return f(int{});
   case K::Long:
      return f(long{});
   case K::Float:
      return f(float{});
   case K::Double:
      return f(double{});
   case K::Binary:
      return f(std::vector<unsigned char>{});
   case K::DateTime:
      return f(Pellum::System::DateTime{});
   case K::Uri:
      return f(Ormid::Uri{});
   case K::TypeName:
      return f(Ormid::TypeName{});
   case K::MethodName:
      return f(Ormid::MethodName{});
   case K::PropertyPath:
      return f(Ormid::PropertyPath{});
   case K::String:
   default:
      return f(std::string{});
   }
}

// Reads the text form of a plain value. Answers an empty string on success, otherwise what is wrong.
// Numbers and booleans may be surrounded by white space; strings are taken as they are.
std::string ParseScalar(std::string_view text, Ormid::FieldKind kind, const Ormid::Type* enumType, void* out);

// Checks that `text` is valid UTF-8 that XML 1.0 can carry; answers what is wrong, or empty.
std::string CheckXmlText(std::string_view text);
// The opening of an error message about a value's text: the text quoted (at most 40 bytes), or
// "the value" for a secret place.
std::string Quote(std::string_view text, bool secret);

// A boxed value of a plain kind.
Pellum::Ref<Ormid::Any> BoxScalar(Ormid::FieldKind kind, const Ormid::Type* enumType, void* value);
// The kind and address of the value inside a box (Primitive<T> or an enumeration box); false when
// `value` is no box. Enumeration boxes answer Enum with the ordinal in `ordinal`.
bool UnboxScalar(const Ormid::Any* value, Ormid::FieldKind& kind, const void*& p, int& ordinal);
// The plain value inside the box `value` standing in a place of static type `staticType` (anyType, or the
// box's own type). Raises EncodeError without a path for a value that is no box or of another type.
struct Unboxed {
   Ormid::FieldKind kind = Ormid::FieldKind::String;
   const void* p = nullptr;
   int ordinal = 0; // the storage of an enumeration box's ordinal (p points here)
   const Ormid::Type* type = nullptr;
};
void UnboxFor(const Ormid::Any* value, const Ormid::Type* staticType, Unboxed& out);
// Appends the plain value at `p` to an array of plain values (Array<T>, enumerations as Array<int>).
void AppendToPlainArray(Ormid::Any* array, Ormid::FieldKind kind, void* p);
// Calls f(kind, const void* item) for every item of a plain array; false when `value` is none.
template <class F> bool ForEachPlainItem(const Ormid::Any* value, F&& f);

template <class T, class F> bool EachOf(const Ormid::Any* value, Ormid::FieldKind kind, F& f) {
   auto* a = dynamic_cast<const Ormid::Array<T>*>(value);
   if (a == nullptr) {
      return false;
   }
   for (const auto& item : a->GetValues()) {
      f(kind, static_cast<const void*>(&item));
   }
   return true;
}

template <class F> bool ForEachPlainItem(const Ormid::Any* value, F&& f) {
   using K = Ormid::FieldKind;
   // Enumeration arrays derive from Array<int>: the caller tells them apart by the item type.
   return EachOf<bool>(value, K::Bool, f) || EachOf<signed char>(value, K::Byte, f) ||
          EachOf<short>(value, K::Short, f) || EachOf<int>(value, K::Int, f) ||
          EachOf<long>(value, K::Long, f) || EachOf<float>(value, K::Float, f) ||
          EachOf<double>(value, K::Double, f) || EachOf<std::string>(value, K::String, f) ||
          EachOf<std::vector<unsigned char>>(value, K::Binary, f) ||
          EachOf<Pellum::System::DateTime>(value, K::DateTime, f) || EachOf<Ormid::Uri>(value, K::Uri, f) ||
          EachOf<Ormid::TypeName>(value, K::TypeName, f) ||
          EachOf<Ormid::MethodName>(value, K::MethodName, f) ||
          EachOf<Ormid::PropertyPath>(value, K::PropertyPath, f);
}

} // namespace Wire::Detail
