// Faults: what the classes of MethodFault, RuntimeFault and the base-schema faults of Ormid::Fault do beyond
// what is generated from lib/ormid/schema (their other members, property records, reflection accessors
// and descriptors): the root exception, the root's Throw() and default response code, and the convenience
// constructors.

#include <string>

#include "ormid/MethodFault.h"
#include "pellum/Panic.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

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
// MethodFault

const Pellum::Http::ResponseCode& MethodFault::GetResponseCode() const {
   return Pellum::Http::ResponseCode::InternalServerError;
}

void MethodFault::Throw() const {
   ThrowInternal();
   Panic("NOT_REACHED %s:%d \n", __FILE__, 170);
}

// ---------------------------------------------------------------------------------------------------------
// Convenience constructors of the base-schema faults

Fault::InvalidArgument::InvalidArgument(std::string invalidProperty_)
    : invalidProperty(std::move(invalidProperty_)) {}

Fault::InvalidType::InvalidType(std::string argument_) : argument(std::move(argument_)) {}

Fault::ManagedObjectNotFound::ManagedObjectNotFound(MoRef* obj_) : obj(obj_) {}

Fault::SystemError::SystemError(std::string reason_) : reason(std::move(reason_)) {}

} // namespace Ormid
