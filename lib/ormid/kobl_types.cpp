// The runtime's own types: headers, version catalogues of its namespaces, and their registration when
// libormid loads.
//
// Namespaces and their types, in registration order:
//   "kobl"          version kobl.version.version0; the primitive and string-valued types, anyType, the base
//                   data types, the faults and the root managed type kobl.ManagedObject
//   "kobl.query"    versions kobl.query.version.version1 .. version4 (a release chain over
//                   kobl.version.version0); kobl.query.PropertyCollector
//   "kobl.reflect"  versions kobl.reflect.version.version1 .. version2 (likewise);
//                   kobl.reflect.DynamicTypeManager, kobl.reflect.ManagedMethodExecuter
// A type library's version catalogue names these versions as parents of its own.

#include "kobl/Descriptors.h"
#include "ormid/BaseTypes.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/Registry.h"

namespace Ormid {

namespace {
constexpr const char kV0[] = "kobl.version.version0";
constexpr const char kQueryV1[] = "kobl.query.version.version1";
constexpr const char kReflectV1[] = "kobl.reflect.version.version1";
} // namespace

// ---------------------------------------------------------------------------------------------------------
// Headers

const TypeInfo gBoolTypeInfo = {KindBool, "boolean", "boolean", kV0};
const TypeInfo gByteTypeInfo = {KindByte, "byte", "byte", kV0};
const TypeInfo gShortTypeInfo = {KindShort, "short", "short", kV0};
const TypeInfo gIntTypeInfo = {KindInt, "int", "int", kV0};
const TypeInfo gLongTypeInfo = {KindLong, "long", "long", kV0};
const TypeInfo gFloatTypeInfo = {KindFloat, "float", "float", kV0};
const TypeInfo gDoubleTypeInfo = {KindDouble, "double", "double", kV0};
const TypeInfo gStringTypeInfo = {KindString, "string", "string", kV0};
const TypeInfo gBinaryTypeInfo = {KindBinary, "binary", "base64Binary", kV0};
const TypeInfo gDateTimeTypeInfo = {KindDateTime, "dateTime", "dateTime", kV0};
const TypeInfo gUriTypeInfo = {KindUri, "kobl.URI", "anyURI", kV0};
const TypeInfo gTypeNameTypeInfo = {KindTypeName, "kobl.TypeName", "TypeName", kV0};
const TypeInfo gMethodNameTypeInfo = {KindMethodName, "kobl.MethodName", "MethodName", kV0};
const TypeInfo gPropertyPathTypeInfo = {KindPropertyPath, "kobl.PropertyPath", "PropertyPath", kV0};
const TypeInfo gAnyTypeInfo = {KindAny, "anyType", "anyType", kV0};
const TypeInfo gKoblMethodFaultTypeInfo = {KindFault, "kobl.MethodFault", "MethodFault", kV0};
const TypeInfo gKoblRuntimeFaultTypeInfo = {KindFault, "kobl.RuntimeFault", "RuntimeFault", kV0};
const TypeInfo gKoblManagedObjectTypeInfo = {KindManaged, "kobl.ManagedObject", "ManagedObject", kV0};

} // namespace Ormid

const Ormid::TypeInfo gKoblDynamicDataTypeInfo = {Ormid::KindDataObject, "kobl.DynamicData", "DynamicData",
                                                  Ormid::kV0};
const Ormid::TypeInfo gKoblDynamicPropertyTypeInfo = {Ormid::KindDataObject, "kobl.DynamicProperty",
                                                      "DynamicProperty", Ormid::kV0};
const Ormid::TypeInfo gKoblKeyAnyValueTypeInfo = {Ormid::KindDataObject, "kobl.KeyAnyValue", "KeyAnyValue",
                                                  Ormid::kV0};
const Ormid::TypeInfo gKoblLocalizableMessageTypeInfo = {Ormid::KindDataObject, "kobl.LocalizableMessage",
                                                         "LocalizableMessage", Ormid::kV0};
const Ormid::TypeInfo gKoblQueryPropertyCollectorTypeInfo = {
    Ormid::KindManaged, "kobl.query.PropertyCollector", "PropertyCollector", Ormid::kQueryV1};
const Ormid::TypeInfo gKoblReflectDynamicTypeManagerTypeInfo = {
    Ormid::KindManaged, "kobl.reflect.DynamicTypeManager", "DynamicTypeManager", Ormid::kReflectV1};
const Ormid::TypeInfo gKoblReflectManagedMethodExecuterTypeInfo = {
    Ormid::KindManaged, "kobl.reflect.ManagedMethodExecuter", "ManagedMethodExecuter", Ormid::kReflectV1};
const Ormid::TypeInfo gKoblFaultInvalidArgumentTypeInfo = {Ormid::KindFault, "kobl.fault.InvalidArgument",
                                                           "InvalidArgument", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultInvalidRequestTypeInfo = {Ormid::KindFault, "kobl.fault.InvalidRequest",
                                                          "InvalidRequest", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultInvalidTypeTypeInfo = {Ormid::KindFault, "kobl.fault.InvalidType",
                                                       "InvalidType", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultManagedObjectNotFoundTypeInfo = {
    Ormid::KindFault, "kobl.fault.ManagedObjectNotFound", "ManagedObjectNotFound", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultNotSupportedTypeInfo = {Ormid::KindFault, "kobl.fault.NotSupported",
                                                        "NotSupported", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultRequestCanceledTypeInfo = {Ormid::KindFault, "kobl.fault.RequestCanceled",
                                                           "RequestCanceled", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultSecurityErrorTypeInfo = {Ormid::KindFault, "kobl.fault.SecurityError",
                                                         "SecurityError", Ormid::kV0};
const Ormid::TypeInfo gKoblFaultSystemErrorTypeInfo = {Ormid::KindFault, "kobl.fault.SystemError",
                                                       "SystemError", Ormid::kV0};

namespace Ormid {

namespace {

// ---------------------------------------------------------------------------------------------------------
// Version catalogues

const VersionRecord kKoblVersionRecords[] = {
    {"kobl.version.version0", "kobl", "0.0", nullptr, nullptr, nullptr, StageReleased, 0},
};

const VersionRecord kQueryVersionRecords[] = {
    {"kobl.query.version.version4", "kobl", "4.0", nullptr, nullptr, nullptr, StageReleased, 0},
    {"kobl.query.version.version3", "kobl", "3.0", nullptr, nullptr, nullptr, StageReleased, 0},
    {"kobl.query.version.version2", "kobl", "2.0", nullptr, nullptr, nullptr, StageReleased, 0},
    {"kobl.query.version.version1", "kobl", "1.0", nullptr, nullptr, nullptr, StageReleased, 0},
};
const VersionParent kQueryParents[] = {
    {"kobl.query.version.version1", "kobl.version.version0"},
    {"kobl.query.version.version2", "kobl.query.version.version1"},
    {"kobl.query.version.version3", "kobl.query.version.version2"},
    {"kobl.query.version.version4", "kobl.query.version.version3"},
};

const VersionRecord kReflectVersionRecords[] = {
    {"kobl.reflect.version.version2", "kobl", "2.0", nullptr, nullptr, nullptr, StageReleased, 0},
    {"kobl.reflect.version.version1", "kobl", "1.0", nullptr, nullptr, nullptr, StageReleased, 0},
};
const VersionParent kReflectParents[] = {
    {"kobl.reflect.version.version1", "kobl.version.version0"},
    {"kobl.reflect.version.version2", "kobl.reflect.version.version1"},
};

int32_t gKoblNamespaceId = -1;
int32_t gKoblQueryNamespaceId = -1;
int32_t gKoblReflectNamespaceId = -1;
const Version* gKoblCurrent = nullptr;
const Version* gKoblQueryCurrent = nullptr;
const Version* gKoblReflectCurrent = nullptr;

const KoblVersions kKoblVersions = {"kobl",
                                    &gKoblNamespaceId,
                                    nullptr,
                                    nullptr,
                                    kKoblVersionRecords,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    &gKoblCurrent,
                                    1,
                                    0,
                                    0,
                                    0,
                                    0,
                                    0,
                                    0,
                                    0};
const KoblVersions kKoblQueryVersions = {"kobl.query",
                                         &gKoblQueryNamespaceId,
                                         nullptr,
                                         nullptr,
                                         kQueryVersionRecords,
                                         kQueryParents,
                                         nullptr,
                                         nullptr,
                                         &gKoblQueryCurrent,
                                         4,
                                         0,
                                         4,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0};
const KoblVersions kKoblReflectVersions = {"kobl.reflect",
                                           &gKoblReflectNamespaceId,
                                           nullptr,
                                           nullptr,
                                           kReflectVersionRecords,
                                           kReflectParents,
                                           nullptr,
                                           nullptr,
                                           &gKoblReflectCurrent,
                                           2,
                                           0,
                                           2,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0};

// ---------------------------------------------------------------------------------------------------------
// Type arrays: one slot per type, in type-list order; the lookup templates below read their slot.

enum KoblSlot {
   SlotBool,
   SlotByte,
   SlotShort,
   SlotInt,
   SlotLong,
   SlotFloat,
   SlotDouble,
   SlotString,
   SlotBinary,
   SlotDateTime,
   SlotUri,
   SlotTypeName,
   SlotMethodName,
   SlotPropertyPath,
   SlotAny,
   SlotDynamicData,
   SlotKeyAnyValue,
   SlotLocalizableMessage,
   SlotDynamicProperty,
   SlotMethodFault,
   SlotRuntimeFault,
   SlotInvalidArgument,
   SlotInvalidRequest,
   SlotInvalidType,
   SlotManagedObjectNotFound,
   SlotNotSupported,
   SlotRequestCanceled,
   SlotSecurityError,
   SlotSystemError,
   SlotManagedObject,
   SlotCount
};

Type* gKoblTypes[SlotCount];
Type* gKoblQueryTypes[1];
Type* gKoblReflectTypes[2];

// The property collector has no members in this runtime; its method-object table holds the null slot.
ManagedMethod* gKoblQueryPropertyCollectorMethodObjects[1];
const PropertyRecord kNoManagedProperties[] = {{}};
const ManagedMethodInfo kNoMethods[] = {{}};
const ManagedTypeInfo kPropertyCollectorDescriptor = {&gKoblQueryPropertyCollectorTypeInfo,
                                                      &gKoblManagedObjectTypeInfo,
                                                      kNoManagedProperties,
                                                      kNoMethods,
                                                      nullptr,
                                                      nullptr,
                                                      nullptr,
                                                      gKoblQueryPropertyCollectorMethodObjects};
// Likewise the two reflection services: type libraries name them as results of their own methods.
ManagedMethod* gKoblReflectDynamicTypeManagerMethodObjects[1];
ManagedMethod* gKoblReflectManagedMethodExecuterMethodObjects[1];
const ManagedTypeInfo kReflectDescriptors[2] = {
    {&gKoblReflectDynamicTypeManagerTypeInfo, &gKoblManagedObjectTypeInfo, kNoManagedProperties, kNoMethods,
     nullptr, nullptr, nullptr, gKoblReflectDynamicTypeManagerMethodObjects},
    {&gKoblReflectManagedMethodExecuterTypeInfo, &gKoblManagedObjectTypeInfo, kNoManagedProperties,
     kNoMethods, nullptr, nullptr, nullptr, gKoblReflectManagedMethodExecuterMethodObjects}};

Type* const* KoblTypeList(int& count) {
   const TypeInfo* primitives[] = {
       &gBoolTypeInfo,  &gByteTypeInfo,     &gShortTypeInfo,      &gIntTypeInfo,          &gLongTypeInfo,
       &gFloatTypeInfo, &gDoubleTypeInfo,   &gStringTypeInfo,     &gBinaryTypeInfo,       &gDateTimeTypeInfo,
       &gUriTypeInfo,   &gTypeNameTypeInfo, &gMethodNameTypeInfo, &gPropertyPathTypeInfo, &gAnyTypeInfo};
   int slot = 0;
   for (const TypeInfo* header : primitives) {
      gKoblTypes[slot++] = new PrimitiveType(header);
   }
   const DataTypeInfo* data[] = {
       &Detail::kKoblDynamicDataDescriptor,          &Detail::kKoblKeyAnyValueDescriptor,
       &Detail::kKoblLocalizableMessageDescriptor,   &Detail::kKoblDynamicPropertyDescriptor,
       &Detail::kKoblMethodFaultDescriptor,          &Detail::kKoblRuntimeFaultDescriptor,
       &Detail::kKoblFaultInvalidArgumentDescriptor, &Detail::kKoblFaultInvalidRequestDescriptor,
       &Detail::kKoblFaultInvalidTypeDescriptor,     &Detail::kKoblFaultManagedObjectNotFoundDescriptor,
       &Detail::kKoblFaultNotSupportedDescriptor,    &Detail::kKoblFaultRequestCanceledDescriptor,
       &Detail::kKoblFaultSecurityErrorDescriptor,   &Detail::kKoblFaultSystemErrorDescriptor};
   for (const DataTypeInfo* descriptor : data) {
      gKoblTypes[slot++] = CreateDataObjectType(descriptor);
   }
   gKoblTypes[slot++] = new ManagedRootType(&gKoblManagedObjectTypeInfo);
   count = slot;
   return gKoblTypes;
}

Type* const* KoblQueryTypeList(int& count) {
   gKoblQueryTypes[0] = CreateManagedObjectType(&kPropertyCollectorDescriptor);
   count = 1;
   return gKoblQueryTypes;
}

Type* const* KoblReflectTypeList(int& count) {
   gKoblReflectTypes[0] = CreateManagedObjectType(&kReflectDescriptors[0]);
   gKoblReflectTypes[1] = CreateManagedObjectType(&kReflectDescriptors[1]);
   count = 2;
   return gKoblReflectTypes;
}

// Registered at load, in this order; never destroyed (the objects are trivially destructible).
const TypeInfoLoader gKoblLoader(&kKoblVersions, &KoblTypeList);
const TypeInfoLoader gKoblQueryLoader(&kKoblQueryVersions, &KoblQueryTypeList);
const TypeInfoLoader gKoblReflectLoader(&kKoblReflectVersions, &KoblReflectTypeList);

template <class T> T* Slot(KoblSlot slot) {
   return static_cast<T*>(gKoblTypes[slot]);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Lookup templates

template <> Type* GetNoType<bool>() {
   return gKoblTypes[SlotBool];
}
template <> Type* GetNoType<signed char>() {
   return gKoblTypes[SlotByte];
}
template <> Type* GetNoType<short>() {
   return gKoblTypes[SlotShort];
}
template <> Type* GetNoType<int>() {
   return gKoblTypes[SlotInt];
}
template <> Type* GetNoType<long>() {
   return gKoblTypes[SlotLong];
}
template <> Type* GetNoType<float>() {
   return gKoblTypes[SlotFloat];
}
template <> Type* GetNoType<double>() {
   return gKoblTypes[SlotDouble];
}
template <> Type* GetNoType<std::string>() {
   return gKoblTypes[SlotString];
}
template <> Type* GetNoType<std::vector<unsigned char>>() {
   return gKoblTypes[SlotBinary];
}
template <> Type* GetNoType<Pellum::System::DateTime>() {
   return gKoblTypes[SlotDateTime];
}
template <> Type* GetNoType<Uri>() {
   return gKoblTypes[SlotUri];
}
template <> Type* GetNoType<TypeName>() {
   return gKoblTypes[SlotTypeName];
}
template <> Type* GetNoType<MethodName>() {
   return gKoblTypes[SlotMethodName];
}
template <> Type* GetNoType<PropertyPath>() {
   return gKoblTypes[SlotPropertyPath];
}
template <> Type* GetNoType<Any>() {
   return gKoblTypes[SlotAny];
}
template <> Type* GetNoType<MoRef>() {
   return gKoblTypes[SlotManagedObject];
}

template <> DataObjectType* GetDoType<DynamicData>() {
   return Slot<DataObjectType>(SlotDynamicData);
}
template <> DataObjectType* GetDoType<KeyAnyValue>() {
   return Slot<DataObjectType>(SlotKeyAnyValue);
}
template <> DataObjectType* GetDoType<LocalizableMessage>() {
   return Slot<DataObjectType>(SlotLocalizableMessage);
}
template <> DataObjectType* GetDoType<DynamicProperty>() {
   return Slot<DataObjectType>(SlotDynamicProperty);
}
template <> DataObjectType* GetDoType<MethodFault>() {
   return Slot<DataObjectType>(SlotMethodFault);
}
template <> DataObjectType* GetDoType<RuntimeFault>() {
   return Slot<DataObjectType>(SlotRuntimeFault);
}
template <> DataObjectType* GetDoType<Fault::InvalidArgument>() {
   return Slot<DataObjectType>(SlotInvalidArgument);
}
template <> DataObjectType* GetDoType<Fault::InvalidRequest>() {
   return Slot<DataObjectType>(SlotInvalidRequest);
}
template <> DataObjectType* GetDoType<Fault::InvalidType>() {
   return Slot<DataObjectType>(SlotInvalidType);
}
template <> DataObjectType* GetDoType<Fault::ManagedObjectNotFound>() {
   return Slot<DataObjectType>(SlotManagedObjectNotFound);
}
template <> DataObjectType* GetDoType<Fault::NotSupported>() {
   return Slot<DataObjectType>(SlotNotSupported);
}
template <> DataObjectType* GetDoType<Fault::RequestCanceled>() {
   return Slot<DataObjectType>(SlotRequestCanceled);
}
template <> DataObjectType* GetDoType<Fault::SecurityError>() {
   return Slot<DataObjectType>(SlotSecurityError);
}
template <> DataObjectType* GetDoType<Fault::SystemError>() {
   return Slot<DataObjectType>(SlotSystemError);
}

} // namespace Ormid
