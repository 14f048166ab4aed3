// Constant descriptor records through which a type library describes its types to the runtime.
//
// Every record here is plain data with a fixed layout (pinned below with static assertions): type
// libraries emit them as constant or zero-initialised static storage, and the runtime reads them by
// reflection. Nothing in a record is ever freed; the runtime keeps pointers to them for the process.
//
//   TypeInfo          the type header: kind code, wire name, WSDL name, version name. Its address is the
//                     identity of the type inside the process.
//   PropertyRecord    one own property of a data object, fault or managed type (also ParamInfo: one
//                     parameter or result of a managed method).
//   DataTypeInfo      descriptor of a data object or fault: header, base header, property list, the eight
//                     reflection accessors, the two factories and the dynamicProperty marker.
//   EnumTypeInfo      descriptor of an enumeration: header and the null-terminated list of value names;
//   EnumFuncs         with its five conversion functions.
//   VersionRecord,    the version catalogue of one namespace (KoblVersions): versions, parent pairs,
//   VersionParent,    product releases, and the slots the runtime fills when the namespace registers
//   ProductRecord,    (namespace id, official and internal version slots, current version slot).
//   KoblVersions
//   TypePrivilege,    descriptor of a managed type and its methods.
//   ManagedMethodInfo,
//   ManagedTypeInfo
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ormid/Export.h"
#include "pellum/Ref.h"

namespace Ormid {

class Any;
class DynamicData;
class DataArrayBase;
class EnumType;
class Version;
class ManagedObject;
class ManagedMethod;
class MoRef;
class StubImpl;
class StubAdapter;
class RequestContext;
template <class T> class Array;

// Kind codes of type headers. 15 to 18 are the codes type libraries use; the other codes belong to the
// runtime's own headers (primitive and string-valued types, any value) and to the array types it creates.
enum TypeKind : uint64_t {
   KindBool = 1,          // "boolean"        bool
   KindByte = 2,          // "byte"           signed char
   KindShort = 3,         // "short"          short
   KindInt = 4,           // "int"            int
   KindLong = 5,          // "long"           long (64 bits)
   KindFloat = 6,         // "float"          float
   KindDouble = 7,        // "double"         double
   KindString = 8,        // "string"         std::string
   KindBinary = 9,        // "binary"         std::vector<unsigned char>
   KindDateTime = 10,     // "dateTime"       Pellum::System::DateTime
   KindUri = 11,          // "kobl.URI"       Ormid::Uri
   KindTypeName = 12,     // "kobl.TypeName"  Ormid::TypeName
   KindMethodName = 13,   // "kobl.MethodName" Ormid::MethodName
   KindPropertyPath = 14, // "kobl.PropertyPath" Ormid::PropertyPath
   KindEnum = 15,         // enumeration: value stored as an int ordinal
   KindDataObject = 16,   // data object (kobl.DynamicData and everything derived from it)
   KindFault = 17,        // fault (kobl.MethodFault and everything derived from it)
   KindManaged = 18,      // managed object type; values are Ormid::MoRef references
   KindAny = 19,          // "anyType"        any value (Ormid::Any)
   KindArray = 20,        // array type created by Type::GetArrayType(); never in a library's header
};

// The type header. `kind` holds a TypeKind code in a full 64-bit word.
struct TypeInfo {
   uint64_t kind;
   const char* name;
   const char* wsdlName;
   const char* version;
};

// Property flag bits.
namespace PropertyFlags {
enum : uint32_t {
   Array = 0x1,       // holds an array of `type`
   Optional = 0x2,    // may be unset
   Managed = 0x4,     // property of a managed type
   Linkable = 0x10,   // an array whose items are targets of link properties in the same structure
   Link = 0x20,       // holds the key (a string, or an array of strings) of an item of `type`
   Marker40 = 0x40,   // carried for other components; the runtime gives it no meaning
   Secret = 0x200,    // the value is a password, ticket, token or shared secret: never rendered
   Marker400 = 0x400, // carried for other components; the runtime gives it no meaning
   // An optional string stored deduplicated: swapField takes a Pellum::Deduplicated<std::string> handle
   // where other optional strings take a Pellum::Optional<std::string>.
   Deduplicated = 0x800,
};
} // namespace PropertyFlags

// One own property. Lists end with a record whose `type` is null (all zero).
struct PropertyRecord {
   const TypeInfo* type; // value type; the item type for arrays
   uint32_t flags;       // PropertyFlags
   const char* name;
   const char* privilegeId; // usually null
   const char* version;
};
// A parameter or the result of a managed method: the same five fields.
using ParamInfo = PropertyRecord;

// Reflection accessors of a data object class (slots 4 to 9 of DataTypeInfo). `index` is 0-based over the
// class's own properties. Value arguments by storage kind of the field:
//   plain values (bool, integers, float, double, enumeration ordinals as int): the value itself;
//   optional booleans: one signed char (-1 unset, 0 false, 1 true);
//   optional plain values: the plain value for getField/setField, the whole Pellum::Optional<T> for
//     swapField;
//   strings and string-valued types, date-times, binaries: the object itself (std::string, Ormid::TypeName,
//     Pellum::System::DateTime, std::vector<unsigned char> ...), or its Pellum::Optional for swapField
//     when the property is optional (a deduplicated string: its Pellum::Deduplicated<std::string>);
//   references (data objects, faults, MoRef, any values, arrays): a Pellum::Ref<Ormid::Any> slot for
//     getField and swapField; for setField `in` is the Ormid::Any* value itself (null allowed), which the
//     accessor narrows to the field's class (Pellum::ThrowTypeMismatchException on a mismatch).
// getFieldPtr answers the address of the stored value, or null when the property has no value; for a
// reference it answers the referenced object as an Ormid::Any* converted to void*.
using GetFieldFn = void (*)(DynamicData* obj, int index, void* out);
using GetFieldPtrFn = void* (*)(DynamicData* obj, int index);
using SetFieldFn = void (*)(DynamicData* obj, int index, const void* in);
using SwapFieldFn = void (*)(DynamicData* obj, int index, void* io);
using IsSetFn = bool (*)(const DynamicData* obj, int index);
using ResetFn = void (*)(DynamicData* obj, int index);
// Factories: a new default-constructed object, a new empty Ormid::DataArray of the class; both with
// reference count zero (the caller takes the first reference).
using CreateFn = DynamicData* (*)();
using CreateArrayFn = DataArrayBase* (*)();

// Descriptor of a data object or fault: twelve machine words.
struct DataTypeInfo {
   const TypeInfo* type;
   const TypeInfo* base;             // never null, except for kobl.DynamicData itself
   const PropertyRecord* properties; // own properties, ended by an all-zero record; never null
   GetFieldFn getField;              // null when the class has no own property
   GetFieldPtrFn getFieldPtr;        // null when the class has no own property
   SetFieldFn setField;              // null when the class has no own property
   SwapFieldFn swapField;            // null when the class has no own property
   IsSetFn isSet;                    // Ormid::AlwaysSet when the class has no own property
   ResetFn reset;                    // null when no own property is optional
   CreateFn create;
   CreateArrayFn createArray;
   uintptr_t hasOwnDynamicProperty; // 1 when own property 0 redeclares dynamicProperty
};

// The shared isSet accessor of classes without own properties: answers true for every index.
ORMID_API bool AlwaysSet(const DynamicData* obj, int index);

// Enumerations.
struct EnumTypeInfo {
   const TypeInfo* type;
   const char* const* names; // value names in ordinal order, ended by a null pointer
};

// Conversion functions of one enumeration E (generic implementations: Ormid::EnumConv<E>, Enum.h).
struct EnumFuncs {
   // Ordinal of a boxed Ormid::Primitive<E>; type mismatch for another dynamic type.
   int (*unbox)(const Any* value);
   // A new Ormid::Primitive<E> holding the ordinal (count zero).
   Any* (*box)(int ordinal);
   // Ordinals of an Ormid::Array<E> to their names; `out` receives a new Ormid::Array<std::string>.
   void (*toNames)(const Any* values, const EnumType* type, Pellum::Ref<Array<std::string>>& out);
   // Names to a new Ormid::Array<E> (count zero); unknown names raise EnumType::GetValue's exception.
   Any* (*fromNames)(const Array<std::string>* names, const EnumType* type);
   // A new empty Ormid::Array<E> (count zero).
   Any* (*createArray)();
};

// Version catalogue of a namespace.
struct VersionRecord {
   const char* name;          // "quorl.version.version5"
   const char* wireNamespace; // service namespace the version is published in
   const char* versionId;     // identifier on the wire
   const char* releaseId;     // product release text or null
   const char* taskTypeName;
   const char* taskTypeNamespace;
   uint32_t stage; // VersionStage
   uint32_t flags;
};

// Stage codes of VersionRecord::stage.
enum VersionStage : uint32_t {
   StageReleased = 0,
   StagePreview = 1,
   StageFeature = 2,
   StageUnstable = 3,
   StageDisabled = 4,
};

// (version, parent): `version` extends `parent` and contains everything `parent` contains. A parent may
// name a version of another namespace.
struct VersionParent {
   const char* version;
   const char* parent;
};

struct ProductRecord {
   const char* name;
   uint64_t releaseCount;
   const char* const* releases; // newest first
};

// The one namespace record handed to every registration of the namespace's packages.
struct KoblVersions {
   const char* name;                 // "quorl"
   int32_t* namespaceId;             // filled by the runtime (may be null)
   const char* const* dependencies;  // dependencyCount names of namespaces
   const ProductRecord* products;    // productCount records
   const VersionRecord* versions;    // versionCount records
   const VersionParent* parents;     // parentCount pairs
   const Version** officialVersions; // versionSlotCount slots, filled by the runtime (may be null)
   const Version** internalVersions; // versionSlotCount slots, filled by the runtime (may be null)
   const Version** currentVersion;   // one slot, filled by the runtime (may be null)
   uint32_t versionCount, versionSlotCount;
   uint32_t parentCount, dependencyCount;
   uint32_t productCount, reserved1;
   uint32_t count13a, count13b; // carried for other components
};

// Managed types.
struct TypePrivilege {
   const char* typeName; // wire name of a target type; null ends the list
   const char* privilegeId;
};

struct ManagedMethodInfo {
   const char* name;     // wire method name; null ends the list
   const char* wsdlName; // operation name ("..._Task" for server tasks)
   const char* privilegeId;
   const TypePrivilege* typePrivileges; // null or a list ended by a null pair
   ParamInfo result;                    // type null when the method has no result
   const ParamInfo* params;             // ended by a record whose type is null
   const TypeInfo* const* faults;       // ended by a null pointer
   const char* version;
   const char* feature;
   uint8_t flag1, flag2, flag3;
};

// Position of an own property by exact name, or 0xFFFFFFFF.
using PropertyIndexFn = uint32_t (*)(const char* name, uint32_t length);
// Carries a call received for a local object onto its interface (method slot `index`).
using DispatchFn = void (*)(ManagedObject* target, int index, std::vector<Pellum::Ref<Any>>& args,
                            Pellum::Ref<Any>& result);
// A new client stub of the type.
using CreateStubFn = StubImpl* (*)(MoRef* ref, StubAdapter* adapter, RequestContext* context);

struct ManagedTypeInfo {
   const TypeInfo* type;
   const TypeInfo* base;
   const PropertyRecord* properties;
   const ManagedMethodInfo* methods;
   PropertyIndexFn propertyIndex;
   DispatchFn dispatch;
   CreateStubFn createStub;
   ManagedMethod** methodObjects; // m + p + 1 slots, filled by the runtime
};

// Layouts (64-bit).
static_assert(sizeof(void*) == 8, "the records are laid out for 64-bit targets");
static_assert(sizeof(TypeInfo) == 32 && offsetof(TypeInfo, name) == 8 && offsetof(TypeInfo, wsdlName) == 16 &&
              offsetof(TypeInfo, version) == 24);
static_assert(sizeof(PropertyRecord) == 40 && offsetof(PropertyRecord, flags) == 8 &&
              offsetof(PropertyRecord, name) == 16 && offsetof(PropertyRecord, privilegeId) == 24 &&
              offsetof(PropertyRecord, version) == 32);
static_assert(sizeof(DataTypeInfo) == 96 && offsetof(DataTypeInfo, base) == 8 &&
              offsetof(DataTypeInfo, properties) == 16 && offsetof(DataTypeInfo, getField) == 24 &&
              offsetof(DataTypeInfo, getFieldPtr) == 32 && offsetof(DataTypeInfo, setField) == 40 &&
              offsetof(DataTypeInfo, swapField) == 48 && offsetof(DataTypeInfo, isSet) == 56 &&
              offsetof(DataTypeInfo, reset) == 64 && offsetof(DataTypeInfo, create) == 72 &&
              offsetof(DataTypeInfo, createArray) == 80 &&
              offsetof(DataTypeInfo, hasOwnDynamicProperty) == 88);
static_assert(sizeof(EnumTypeInfo) == 16 && offsetof(EnumTypeInfo, names) == 8);
static_assert(sizeof(EnumFuncs) == 40 && offsetof(EnumFuncs, box) == 8 &&
              offsetof(EnumFuncs, toNames) == 16 && offsetof(EnumFuncs, fromNames) == 24 &&
              offsetof(EnumFuncs, createArray) == 32);
static_assert(sizeof(VersionRecord) == 56 && offsetof(VersionRecord, wireNamespace) == 8 &&
              offsetof(VersionRecord, versionId) == 16 && offsetof(VersionRecord, releaseId) == 24 &&
              offsetof(VersionRecord, taskTypeName) == 32 &&
              offsetof(VersionRecord, taskTypeNamespace) == 40 && offsetof(VersionRecord, stage) == 48 &&
              offsetof(VersionRecord, flags) == 52);
static_assert(sizeof(VersionParent) == 16 && offsetof(VersionParent, parent) == 8);
static_assert(sizeof(ProductRecord) == 24 && offsetof(ProductRecord, releaseCount) == 8 &&
              offsetof(ProductRecord, releases) == 16);
static_assert(sizeof(KoblVersions) == 104 && offsetof(KoblVersions, namespaceId) == 8 &&
              offsetof(KoblVersions, dependencies) == 16 && offsetof(KoblVersions, products) == 24 &&
              offsetof(KoblVersions, versions) == 32 && offsetof(KoblVersions, parents) == 40 &&
              offsetof(KoblVersions, officialVersions) == 48 &&
              offsetof(KoblVersions, internalVersions) == 56 &&
              offsetof(KoblVersions, currentVersion) == 64 && offsetof(KoblVersions, versionCount) == 72 &&
              offsetof(KoblVersions, versionSlotCount) == 76 && offsetof(KoblVersions, parentCount) == 80 &&
              offsetof(KoblVersions, dependencyCount) == 84 && offsetof(KoblVersions, productCount) == 88 &&
              offsetof(KoblVersions, reserved1) == 92 && offsetof(KoblVersions, count13a) == 96 &&
              offsetof(KoblVersions, count13b) == 100);
static_assert(sizeof(TypePrivilege) == 16 && offsetof(TypePrivilege, privilegeId) == 8);
static_assert(sizeof(ManagedMethodInfo) == 112 && offsetof(ManagedMethodInfo, wsdlName) == 8 &&
              offsetof(ManagedMethodInfo, privilegeId) == 16 &&
              offsetof(ManagedMethodInfo, typePrivileges) == 24 &&
              offsetof(ManagedMethodInfo, result) == 32 && offsetof(ManagedMethodInfo, params) == 72 &&
              offsetof(ManagedMethodInfo, faults) == 80 && offsetof(ManagedMethodInfo, version) == 88 &&
              offsetof(ManagedMethodInfo, feature) == 96 && offsetof(ManagedMethodInfo, flag1) == 104 &&
              offsetof(ManagedMethodInfo, flag2) == 105 && offsetof(ManagedMethodInfo, flag3) == 106);
static_assert(sizeof(ManagedTypeInfo) == 64 && offsetof(ManagedTypeInfo, base) == 8 &&
              offsetof(ManagedTypeInfo, properties) == 16 && offsetof(ManagedTypeInfo, methods) == 24 &&
              offsetof(ManagedTypeInfo, propertyIndex) == 32 && offsetof(ManagedTypeInfo, dispatch) == 40 &&
              offsetof(ManagedTypeInfo, createStub) == 48 && offsetof(ManagedTypeInfo, methodObjects) == 56);

// The runtime's own headers. Wire names: "boolean", "byte", "short", "int", "long", "float", "double",
// "string", "binary", "dateTime", "kobl.URI", "kobl.TypeName", "kobl.MethodName", "kobl.PropertyPath",
// "anyType"; all with version "kobl.version.version0".
extern "C++" ORMID_API const TypeInfo gBoolTypeInfo;
extern "C++" ORMID_API const TypeInfo gByteTypeInfo;
extern "C++" ORMID_API const TypeInfo gShortTypeInfo;
extern "C++" ORMID_API const TypeInfo gIntTypeInfo;
extern "C++" ORMID_API const TypeInfo gLongTypeInfo;
extern "C++" ORMID_API const TypeInfo gFloatTypeInfo;
extern "C++" ORMID_API const TypeInfo gDoubleTypeInfo;
extern "C++" ORMID_API const TypeInfo gStringTypeInfo;
extern "C++" ORMID_API const TypeInfo gBinaryTypeInfo;
extern "C++" ORMID_API const TypeInfo gDateTimeTypeInfo;
extern "C++" ORMID_API const TypeInfo gUriTypeInfo;
extern "C++" ORMID_API const TypeInfo gTypeNameTypeInfo;
extern "C++" ORMID_API const TypeInfo gMethodNameTypeInfo;
extern "C++" ORMID_API const TypeInfo gPropertyPathTypeInfo;
extern "C++" ORMID_API const TypeInfo gAnyTypeInfo;
// "kobl.MethodFault" (kind 17), "kobl.RuntimeFault" (17), "kobl.ManagedObject" (18: the type of every
// managed-object reference and the base of root managed types).
extern "C++" ORMID_API const TypeInfo gKoblMethodFaultTypeInfo;
extern "C++" ORMID_API const TypeInfo gKoblRuntimeFaultTypeInfo;
extern "C++" ORMID_API const TypeInfo gKoblManagedObjectTypeInfo;

} // namespace Ormid

// Base types of the schema language, in the global namespace: "kobl.DynamicData", "kobl.DynamicProperty",
// "kobl.KeyAnyValue", "kobl.LocalizableMessage" (kind 16), the managed types (kind 18)
// "kobl.query.PropertyCollector", "kobl.reflect.DynamicTypeManager", "kobl.reflect.ManagedMethodExecuter",
// and the base-schema faults "kobl.fault.InvalidArgument" ... "kobl.fault.SystemError" (kind 17).
extern "C++" ORMID_API const Ormid::TypeInfo gKoblDynamicDataTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblDynamicPropertyTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblKeyAnyValueTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblLocalizableMessageTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblQueryPropertyCollectorTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblReflectDynamicTypeManagerTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblReflectManagedMethodExecuterTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultInvalidArgumentTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultInvalidRequestTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultInvalidTypeTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultManagedObjectNotFoundTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultNotSupportedTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultRequestCanceledTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultSecurityErrorTypeInfo;
extern "C++" ORMID_API const Ormid::TypeInfo gKoblFaultSystemErrorTypeInfo;
// The headers of namespace Ormid above also by their global name, as every other type header: generated
// code names a header ::g<Wire name without dots>TypeInfo.
using Ormid::gKoblManagedObjectTypeInfo;
using Ormid::gKoblMethodFaultTypeInfo;
using Ormid::gKoblRuntimeFaultTypeInfo;
