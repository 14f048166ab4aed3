// Private: the descriptors of the runtime's own data and fault types, defined beside their classes
// (base_types.cpp, method_fault.cpp) and registered by kobl_types.cpp.
#pragma once

#include "ormid/Records.h"

namespace Ormid::Detail {

extern const PropertyRecord kNoProperties[];

extern const DataTypeInfo kDynamicDataDescriptor;
extern const DataTypeInfo kKeyAnyValueDescriptor;
extern const DataTypeInfo kLocalizableMessageDescriptor;
extern const DataTypeInfo kDynamicPropertyDescriptor;

extern const DataTypeInfo kMethodFaultDescriptor;
extern const DataTypeInfo kRuntimeFaultDescriptor;
extern const DataTypeInfo kInvalidArgumentDescriptor;
extern const DataTypeInfo kInvalidRequestDescriptor;
extern const DataTypeInfo kInvalidTypeDescriptor;
extern const DataTypeInfo kManagedObjectNotFoundDescriptor;
extern const DataTypeInfo kNotSupportedDescriptor;
extern const DataTypeInfo kRequestCanceledDescriptor;
extern const DataTypeInfo kSecurityErrorDescriptor;
extern const DataTypeInfo kSystemErrorDescriptor;

} // namespace Ormid::Detail
