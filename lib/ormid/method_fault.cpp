// Faults: MethodFault, RuntimeFault and the base-schema faults of Ormid::Fault, with their exceptions,
// property records, reflection accessors and descriptors.
//
// Fault classes generate no _DiffProperties: they inherit DynamicData's reflective difference.

#include <string>

#include "kobl_types.h"
#include "ormid/FieldAccess.h"
#include "ormid/MethodFault.h"
#include "pellum/Panic.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

constexpr const char kVersion0[] = "kobl.version.version0";

MethodFault* CheckedFault(MethodFault* fault) {
   if (fault == nullptr) {
      throw Pellum::Exception("a fault exception needs a fault; got null");
   }
   return fault;
}

std::string FaultMessage(const MethodFault* fault) {
   const Type* type = fault->_GetType();
   return Pellum::Detail::ASPrintInternal(
       "Fault cause: %1\n", Pellum::PrintFormatter(type != nullptr ? type->GetName() : "(unregistered)"));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// MethodFault::Exception

MethodFault::Exception::Exception(MethodFault* fault)
    : Pellum::Exception(FaultMessage(CheckedFault(fault))), _fault(fault) {}

MethodFault::Exception::Exception(const Exception& other) = default;

MethodFault::Exception::~Exception() = default;

Pellum::Exception* MethodFault::Exception::Clone() const {
   return new Exception(*this);
}

void MethodFault::Exception::Throw() const {
   throw Exception(*this);
}

// ---------------------------------------------------------------------------------------------------------
// MethodFault: faultCause (MethodFault, optional), faultMessage (LocalizableMessage[], optional).

MethodFault::MethodFault() = default;

MethodFault::MethodFault(const MethodFault& other)
    : DynamicData(other), faultCause(CloneNested(other.faultCause)),
      faultMessage(CloneNested(other.faultMessage)) {}

MethodFault::~MethodFault() = default;

Type* MethodFault::_GetType() const {
   return GetDoType<MethodFault>();
}

DataObjectType* MethodFault::_GetDataType() const {
   return GetDoType<MethodFault>();
}

Any* MethodFault::_Clone() const {
   return new MethodFault(*this);
}

bool MethodFault::_IsEqual(const Any* other, bool pattern) const {
   const MethodFault* o = static_cast<const MethodFault*>(other);
   return AreEqualAnysInt(faultCause.GetPtr(), o->faultCause.GetPtr(), 2, pattern) &&
          AreEqualAnysInt(faultMessage.GetPtr(), o->faultMessage.GetPtr(), 3, pattern);
}

const Pellum::Http::ResponseCode& MethodFault::GetResponseCode() const {
   return Pellum::Http::ResponseCode::InternalServerError;
}

void MethodFault::ThrowInternal() const {
   throw Exception(const_cast<MethodFault*>(this));
}

void MethodFault::Throw() const {
   ThrowInternal();
   Panic("NOT_REACHED %s:%d \n", __FILE__, 170);
}

MethodFault::Exception* MethodFault::CreateException() const {
   return new Exception(const_cast<MethodFault*>(this));
}

DataArray<LocalizableMessage>* MethodFault::GetFaultMessage() {
   return GetOrCreateArray(faultMessage);
}

namespace Detail {

const PropertyRecord kMethodFaultProperties[] = {
    {&gKoblMethodFaultTypeInfo, PropertyFlags::Optional, "faultCause", nullptr, kVersion0},
    {&gKoblLocalizableMessageTypeInfo, PropertyFlags::Array | PropertyFlags::Optional, "faultMessage",
     nullptr, kVersion0},
    {}};

namespace {

void MethodFaultGetField(DynamicData* obj, int index, void* out) {
   MethodFault* self = static_cast<MethodFault*>(obj);
   switch (index) {
   case 0:
      Field::GetRef(self->faultCause, out);
      break;
   case 1:
      Field::GetArray(self->GetFaultMessage(), out);
      break;
   default:
      break;
   }
}

void* MethodFaultGetFieldPtr(DynamicData* obj, int index) {
   MethodFault* self = static_cast<MethodFault*>(obj);
   switch (index) {
   case 0:
      return Field::RefPtr(self->faultCause);
   case 1:
      return Field::ArrayPtr(self->faultMessage);
   default:
      return nullptr;
   }
}

void MethodFaultSetField(DynamicData* obj, int index, const void* in) {
   MethodFault* self = static_cast<MethodFault*>(obj);
   switch (index) {
   case 0:
      Field::SetRef<MethodFault>(self->faultCause, in);
      break;
   case 1:
      Field::SetRef<DataArray<LocalizableMessage>>(self->faultMessage, in);
      break;
   default:
      break;
   }
}

void MethodFaultSwapField(DynamicData* obj, int index, void* io) {
   MethodFault* self = static_cast<MethodFault*>(obj);
   switch (index) {
   case 0:
      Field::SwapRef<MethodFault>(self->faultCause, io);
      break;
   case 1:
      Field::SwapRef<DataArray<LocalizableMessage>>(self->faultMessage, io);
      break;
   default:
      break;
   }
}

bool MethodFaultIsSet(const DynamicData* obj, int index) {
   const MethodFault* self = static_cast<const MethodFault*>(obj);
   switch (index) {
   case 0:
      return Field::IsSetRef(self->faultCause);
   case 1:
      return Field::IsSetArray(self->faultMessage);
   default:
      return true;
   }
}

void MethodFaultReset(DynamicData* obj, int index) {
   MethodFault* self = static_cast<MethodFault*>(obj);
   switch (index) {
   case 0:
      Field::ResetRef(self->faultCause);
      break;
   case 1:
      Field::ResetRef(self->faultMessage);
      break;
   default:
      break;
   }
}

DynamicData* MethodFaultCreate() {
   return new MethodFault();
}

DataArrayBase* MethodFaultCreateArray() {
   return new DataArray<MethodFault>();
}

} // namespace

const DataTypeInfo kMethodFaultDescriptor = {
    &gKoblMethodFaultTypeInfo, &gKoblDynamicDataTypeInfo, kMethodFaultProperties,  &MethodFaultGetField,
    &MethodFaultGetFieldPtr,   &MethodFaultSetField,      &MethodFaultSwapField,   &MethodFaultIsSet,
    &MethodFaultReset,         &MethodFaultCreate,        &MethodFaultCreateArray, 0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// Faults without own properties share one pattern: descriptor with the always-true isSet and the two
// factories only.

#define ORMID_FAULT_COMMON(Name, Cls)                                                                        \
   Type* Cls::_GetType() const {                                                                             \
      return GetDoType<Cls>();                                                                               \
   }                                                                                                         \
   DataObjectType* Cls::_GetDataType() const {                                                               \
      return GetDoType<Cls>();                                                                               \
   }                                                                                                         \
   Any* Cls::_Clone() const {                                                                                \
      return new Cls(*this);                                                                                 \
   }                                                                                                         \
   void Cls::ThrowInternal() const {                                                                         \
      throw Exception(const_cast<Cls*>(this));                                                               \
   }                                                                                                         \
   Cls::Exception* Cls::CreateException() const {                                                            \
      return new Exception(const_cast<Cls*>(this));                                                          \
   }                                                                                                         \
   Cls::~Name() = default;

#define ORMID_FAULT_WITHOUT_PROPERTIES(Name, Cls, BaseCls, header, baseHeader)                               \
   ORMID_FAULT_COMMON(Name, Cls)                                                                             \
   Cls::Name() = default;                                                                                    \
   Cls::Name(const Cls& other) : BaseCls(other) {}                                                           \
   bool Cls::_IsEqual(const Any* other, bool pattern) const {                                                \
      return BaseCls::_IsEqual(other, pattern);                                                              \
   }                                                                                                         \
   namespace Detail {                                                                                        \
   namespace {                                                                                               \
   DynamicData* Name##Create() {                                                                             \
      return new Cls();                                                                                      \
   }                                                                                                         \
   DataArrayBase* Name##CreateArray() {                                                                      \
      return new DataArray<Cls>();                                                                           \
   }                                                                                                         \
   }                                                                                                         \
   const DataTypeInfo k##Name##Descriptor = {                                                                \
       &header, &baseHeader,   kNoProperties,      nullptr, nullptr, nullptr, nullptr, &AlwaysSet,           \
       nullptr, &Name##Create, &Name##CreateArray, 0};                                                       \
   }

ORMID_FAULT_WITHOUT_PROPERTIES(RuntimeFault, RuntimeFault, MethodFault, gKoblRuntimeFaultTypeInfo,
                               gKoblMethodFaultTypeInfo)

ORMID_FAULT_WITHOUT_PROPERTIES(InvalidRequest, Fault::InvalidRequest, RuntimeFault,
                               gKoblFaultInvalidRequestTypeInfo, gKoblRuntimeFaultTypeInfo)
ORMID_FAULT_WITHOUT_PROPERTIES(NotSupported, Fault::NotSupported, RuntimeFault,
                               gKoblFaultNotSupportedTypeInfo, gKoblRuntimeFaultTypeInfo)
ORMID_FAULT_WITHOUT_PROPERTIES(RequestCanceled, Fault::RequestCanceled, RuntimeFault,
                               gKoblFaultRequestCanceledTypeInfo, gKoblRuntimeFaultTypeInfo)
ORMID_FAULT_WITHOUT_PROPERTIES(SecurityError, Fault::SecurityError, RuntimeFault,
                               gKoblFaultSecurityErrorTypeInfo, gKoblRuntimeFaultTypeInfo)

const Pellum::Http::ResponseCode& Fault::SecurityError::GetResponseCode() const {
   return Pellum::Http::ResponseCode::Forbidden;
}

// ---------------------------------------------------------------------------------------------------------
// kobl.fault.InvalidArgument: invalidProperty (string, optional).

ORMID_FAULT_COMMON(InvalidArgument, Fault::InvalidArgument)

Fault::InvalidArgument::InvalidArgument() = default;

Fault::InvalidArgument::InvalidArgument(std::string invalidProperty_)
    : invalidProperty(std::move(invalidProperty_)) {}

Fault::InvalidArgument::InvalidArgument(const InvalidArgument& other)
    : RuntimeFault(other), invalidProperty(other.invalidProperty) {}

bool Fault::InvalidArgument::_IsEqual(const Any* other, bool pattern) const {
   const Fault::InvalidArgument* o = static_cast<const Fault::InvalidArgument*>(other);
   return RuntimeFault::_IsEqual(other, pattern) &&
          Field::MatchOptional(invalidProperty, o->invalidProperty, pattern);
}

namespace Detail {

const PropertyRecord kInvalidArgumentProperties[] = {
    {&gStringTypeInfo, PropertyFlags::Optional, "invalidProperty", nullptr, kVersion0}, {}};

namespace {

void InvalidArgumentGetField(DynamicData* obj, int index, void* out) {
   Fault::InvalidArgument* self = static_cast<Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      Field::GetOptional(self->invalidProperty, out);
      break;
   default:
      break;
   }
}

void* InvalidArgumentGetFieldPtr(DynamicData* obj, int index) {
   Fault::InvalidArgument* self = static_cast<Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      return Field::OptionalPtr(self->invalidProperty);
   default:
      return nullptr;
   }
}

void InvalidArgumentSetField(DynamicData* obj, int index, const void* in) {
   Fault::InvalidArgument* self = static_cast<Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      Field::SetOptional(self->invalidProperty, in);
      break;
   default:
      break;
   }
}

void InvalidArgumentSwapField(DynamicData* obj, int index, void* io) {
   Fault::InvalidArgument* self = static_cast<Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      Field::SwapOptional(self->invalidProperty, io);
      break;
   default:
      break;
   }
}

bool InvalidArgumentIsSet(const DynamicData* obj, int index) {
   const Fault::InvalidArgument* self = static_cast<const Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      return Field::IsSetOptional(self->invalidProperty);
   default:
      return true;
   }
}

void InvalidArgumentReset(DynamicData* obj, int index) {
   Fault::InvalidArgument* self = static_cast<Fault::InvalidArgument*>(obj);
   switch (index) {
   case 0:
      Field::ResetOptional(self->invalidProperty);
      break;
   default:
      break;
   }
}

DynamicData* InvalidArgumentCreate() {
   return new Fault::InvalidArgument();
}

DataArrayBase* InvalidArgumentCreateArray() {
   return new DataArray<Fault::InvalidArgument>();
}

} // namespace

const DataTypeInfo kInvalidArgumentDescriptor = {&gKoblFaultInvalidArgumentTypeInfo,
                                                 &gKoblRuntimeFaultTypeInfo,
                                                 kInvalidArgumentProperties,
                                                 &InvalidArgumentGetField,
                                                 &InvalidArgumentGetFieldPtr,
                                                 &InvalidArgumentSetField,
                                                 &InvalidArgumentSwapField,
                                                 &InvalidArgumentIsSet,
                                                 &InvalidArgumentReset,
                                                 &InvalidArgumentCreate,
                                                 &InvalidArgumentCreateArray,
                                                 0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.fault.InvalidType: argument (string, optional).

ORMID_FAULT_COMMON(InvalidType, Fault::InvalidType)

Fault::InvalidType::InvalidType() = default;

Fault::InvalidType::InvalidType(std::string argument_) : argument(std::move(argument_)) {}

Fault::InvalidType::InvalidType(const InvalidType& other)
    : Fault::InvalidRequest(other), argument(other.argument) {}

bool Fault::InvalidType::_IsEqual(const Any* other, bool pattern) const {
   const Fault::InvalidType* o = static_cast<const Fault::InvalidType*>(other);
   return Fault::InvalidRequest::_IsEqual(other, pattern) &&
          Field::MatchOptional(argument, o->argument, pattern);
}

namespace Detail {

const PropertyRecord kInvalidTypeProperties[] = {
    {&gStringTypeInfo, PropertyFlags::Optional, "argument", nullptr, kVersion0}, {}};

namespace {

void InvalidTypeGetField(DynamicData* obj, int index, void* out) {
   Fault::InvalidType* self = static_cast<Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      Field::GetOptional(self->argument, out);
      break;
   default:
      break;
   }
}

void* InvalidTypeGetFieldPtr(DynamicData* obj, int index) {
   Fault::InvalidType* self = static_cast<Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      return Field::OptionalPtr(self->argument);
   default:
      return nullptr;
   }
}

void InvalidTypeSetField(DynamicData* obj, int index, const void* in) {
   Fault::InvalidType* self = static_cast<Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      Field::SetOptional(self->argument, in);
      break;
   default:
      break;
   }
}

void InvalidTypeSwapField(DynamicData* obj, int index, void* io) {
   Fault::InvalidType* self = static_cast<Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      Field::SwapOptional(self->argument, io);
      break;
   default:
      break;
   }
}

bool InvalidTypeIsSet(const DynamicData* obj, int index) {
   const Fault::InvalidType* self = static_cast<const Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      return Field::IsSetOptional(self->argument);
   default:
      return true;
   }
}

void InvalidTypeReset(DynamicData* obj, int index) {
   Fault::InvalidType* self = static_cast<Fault::InvalidType*>(obj);
   switch (index) {
   case 0:
      Field::ResetOptional(self->argument);
      break;
   default:
      break;
   }
}

DynamicData* InvalidTypeCreate() {
   return new Fault::InvalidType();
}

DataArrayBase* InvalidTypeCreateArray() {
   return new DataArray<Fault::InvalidType>();
}

} // namespace

const DataTypeInfo kInvalidTypeDescriptor = {&gKoblFaultInvalidTypeTypeInfo,
                                             &gKoblFaultInvalidRequestTypeInfo,
                                             kInvalidTypeProperties,
                                             &InvalidTypeGetField,
                                             &InvalidTypeGetFieldPtr,
                                             &InvalidTypeSetField,
                                             &InvalidTypeSwapField,
                                             &InvalidTypeIsSet,
                                             &InvalidTypeReset,
                                             &InvalidTypeCreate,
                                             &InvalidTypeCreateArray,
                                             0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.fault.ManagedObjectNotFound: obj (MoRef, required).

ORMID_FAULT_COMMON(ManagedObjectNotFound, Fault::ManagedObjectNotFound)

Fault::ManagedObjectNotFound::ManagedObjectNotFound() = default;

Fault::ManagedObjectNotFound::ManagedObjectNotFound(MoRef* obj_) : obj(obj_) {}

Fault::ManagedObjectNotFound::ManagedObjectNotFound(const ManagedObjectNotFound& other)
    : RuntimeFault(other), obj(CloneNested(other.obj)) {}

bool Fault::ManagedObjectNotFound::_IsEqual(const Any* other, bool pattern) const {
   const Fault::ManagedObjectNotFound* o = static_cast<const Fault::ManagedObjectNotFound*>(other);
   return RuntimeFault::_IsEqual(other, pattern) &&
          AreEqualAnysInt(obj.GetPtr(), o->obj.GetPtr(), 0, pattern);
}

const Pellum::Http::ResponseCode& Fault::ManagedObjectNotFound::GetResponseCode() const {
   return Pellum::Http::ResponseCode::NotFound;
}

namespace Detail {

const PropertyRecord kManagedObjectNotFoundProperties[] = {
    {&gKoblManagedObjectTypeInfo, 0, "obj", nullptr, kVersion0}, {}};

namespace {

void ManagedObjectNotFoundGetField(DynamicData* obj, int index, void* out) {
   Fault::ManagedObjectNotFound* self = static_cast<Fault::ManagedObjectNotFound*>(obj);
   switch (index) {
   case 0:
      Field::GetRef(self->obj, out);
      break;
   default:
      break;
   }
}

void* ManagedObjectNotFoundGetFieldPtr(DynamicData* obj, int index) {
   Fault::ManagedObjectNotFound* self = static_cast<Fault::ManagedObjectNotFound*>(obj);
   switch (index) {
   case 0:
      return Field::RefPtr(self->obj);
   default:
      return nullptr;
   }
}

void ManagedObjectNotFoundSetField(DynamicData* obj, int index, const void* in) {
   Fault::ManagedObjectNotFound* self = static_cast<Fault::ManagedObjectNotFound*>(obj);
   switch (index) {
   case 0:
      Field::SetRef<MoRef>(self->obj, in);
      break;
   default:
      break;
   }
}

void ManagedObjectNotFoundSwapField(DynamicData* obj, int index, void* io) {
   Fault::ManagedObjectNotFound* self = static_cast<Fault::ManagedObjectNotFound*>(obj);
   switch (index) {
   case 0:
      Field::SwapRef<MoRef>(self->obj, io);
      break;
   default:
      break;
   }
}

bool ManagedObjectNotFoundIsSet(const DynamicData* obj, int index) {
   const Fault::ManagedObjectNotFound* self = static_cast<const Fault::ManagedObjectNotFound*>(obj);
   switch (index) {
   case 0:
      return Field::IsSetRef(self->obj);
   default:
      return true;
   }
}

DynamicData* ManagedObjectNotFoundCreate() {
   return new Fault::ManagedObjectNotFound();
}

DataArrayBase* ManagedObjectNotFoundCreateArray() {
   return new DataArray<Fault::ManagedObjectNotFound>();
}

} // namespace

const DataTypeInfo kManagedObjectNotFoundDescriptor = {&gKoblFaultManagedObjectNotFoundTypeInfo,
                                                       &gKoblRuntimeFaultTypeInfo,
                                                       kManagedObjectNotFoundProperties,
                                                       &ManagedObjectNotFoundGetField,
                                                       &ManagedObjectNotFoundGetFieldPtr,
                                                       &ManagedObjectNotFoundSetField,
                                                       &ManagedObjectNotFoundSwapField,
                                                       &ManagedObjectNotFoundIsSet,
                                                       nullptr,
                                                       &ManagedObjectNotFoundCreate,
                                                       &ManagedObjectNotFoundCreateArray,
                                                       0};

} // namespace Detail

// ---------------------------------------------------------------------------------------------------------
// kobl.fault.SystemError: reason (string, required).

ORMID_FAULT_COMMON(SystemError, Fault::SystemError)

Fault::SystemError::SystemError() = default;

Fault::SystemError::SystemError(std::string reason_) : reason(std::move(reason_)) {}

Fault::SystemError::SystemError(const SystemError& other) : RuntimeFault(other), reason(other.reason) {}

bool Fault::SystemError::_IsEqual(const Any* other, bool pattern) const {
   const Fault::SystemError* o = static_cast<const Fault::SystemError*>(other);
   return RuntimeFault::_IsEqual(other, pattern) && reason == o->reason;
}

namespace Detail {

const PropertyRecord kSystemErrorProperties[] = {{&gStringTypeInfo, 0, "reason", nullptr, kVersion0}, {}};

namespace {

void SystemErrorGetField(DynamicData* obj, int index, void* out) {
   Fault::SystemError* self = static_cast<Fault::SystemError*>(obj);
   switch (index) {
   case 0:
      Field::GetValue(self->reason, out);
      break;
   default:
      break;
   }
}

void* SystemErrorGetFieldPtr(DynamicData* obj, int index) {
   Fault::SystemError* self = static_cast<Fault::SystemError*>(obj);
   switch (index) {
   case 0:
      return Field::ValuePtr(self->reason);
   default:
      return nullptr;
   }
}

void SystemErrorSetField(DynamicData* obj, int index, const void* in) {
   Fault::SystemError* self = static_cast<Fault::SystemError*>(obj);
   switch (index) {
   case 0:
      Field::SetValue(self->reason, in);
      break;
   default:
      break;
   }
}

void SystemErrorSwapField(DynamicData* obj, int index, void* io) {
   Fault::SystemError* self = static_cast<Fault::SystemError*>(obj);
   switch (index) {
   case 0:
      Field::SwapValue(self->reason, io);
      break;
   default:
      break;
   }
}

DynamicData* SystemErrorCreate() {
   return new Fault::SystemError();
}

DataArrayBase* SystemErrorCreateArray() {
   return new DataArray<Fault::SystemError>();
}

} // namespace

const DataTypeInfo kSystemErrorDescriptor = {&gKoblFaultSystemErrorTypeInfo,
                                             &gKoblRuntimeFaultTypeInfo,
                                             kSystemErrorProperties,
                                             &SystemErrorGetField,
                                             &SystemErrorGetFieldPtr,
                                             &SystemErrorSetField,
                                             &SystemErrorSwapField,
                                             &AlwaysSet,
                                             nullptr,
                                             &SystemErrorCreate,
                                             &SystemErrorCreateArray,
                                             0};

} // namespace Detail

} // namespace Ormid
