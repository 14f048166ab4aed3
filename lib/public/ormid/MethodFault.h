// Faults: data objects that are raised as errors, and the exceptions that carry them.
//
// Ormid::MethodFault ("kobl.MethodFault") is the root of every fault. Fields: faultCause (the fault that
// caused this one, optional) and faultMessage (optional array of localizable messages). Fault classes
// continue the data-object virtual table (Any.h) with:
//   8   GetResponseCode()   the HTTP response code that stands for the fault
//   9   ThrowInternal()     throws a new <Fault>::Exception holding this fault; never returns
//   10  Throw()             calls ThrowInternal() through the table, so the most-derived class decides even
//                           when the fault is held through a base pointer; should it ever return, the
//                           process stops with Panic("NOT_REACHED ...")
//   11  CreateException()   a new <Fault>::Exception holding this fault, not thrown; the caller owns it
//
// Every fault class has a nested Exception class deriving from the Exception class of its base fault; the
// chain ends in MethodFault::Exception : Pellum::Exception, so a handler for any base fault's exception,
// for Pellum::Exception or for Pellum::Throwable catches it. The exception's message is
// "Fault cause: <wire name of the fault's type>\n"; the fault itself (its message and properties) is
// reached through GetFault(). Exceptions are copyable; a copy (Clone(), Throw()) keeps the most-derived
// exception class and shares the same fault object. Faults are values: allocate them on the heap (the
// exception holds a counted reference).
//
// A derived fault class declares its exception with ORMID_FAULT_EXCEPTION(BaseFaultClass) and overrides
// slots 9 and 11 (and 8 when its response code differs from its base's):
//
//   class MyFault : public Ormid::RuntimeFault {
//   public:
//      ORMID_FAULT_EXCEPTION(Ormid::RuntimeFault)
//      void ThrowInternal() const override { throw Exception(const_cast<MyFault*>(this)); }
//      Exception* CreateException() const override { return new Exception(const_cast<MyFault*>(this)); }
//      ...
//   };
//
// The runtime's base faults (namespace Ormid::Fault, wire names "kobl.fault.<Name>"), with their response
// codes (every other base fault: InternalServerError):
//   InvalidArgument : RuntimeFault        invalidProperty: string, optional
//   InvalidRequest : RuntimeFault
//   InvalidType : InvalidRequest          argument: string, optional
//   ManagedObjectNotFound : RuntimeFault  obj: MoRef, required                  NotFound
//   NotSupported : RuntimeFault
//   RequestCanceled : RuntimeFault
//   SecurityError : RuntimeFault                                                Forbidden
//   SystemError : RuntimeFault            reason: string, required
#pragma once

#include <string>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/BaseTypes.h"
#include "ormid/Export.h"
#include "ormid/MoRef.h"
#include "pellum/Exception.h"
#include "pellum/Http.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"

// The nested exception class of a fault class whose base fault class is `BaseFault`.
#define ORMID_FAULT_EXCEPTION(BaseFault)                                                                     \
   class Exception : public BaseFault::Exception {                                                           \
   public:                                                                                                   \
      explicit Exception(::Ormid::MethodFault* fault) : BaseFault::Exception(fault) {}                       \
      Exception(const Exception&) = default;                                                                 \
      ~Exception() override = default;                                                                       \
      ::Pellum::Exception* Clone() const override { return new Exception(*this); }                           \
      [[noreturn]] void Throw() const override { throw Exception(*this); }                                   \
   };

namespace Ormid {

class ORMID_API MethodFault : public DynamicData {
public:
   class ORMID_API Exception : public Pellum::Exception {
   public:
      // Holds a reference to `fault` (not null: Pellum::Exception otherwise); the message is
      // "Fault cause: <type name>\n".
      explicit Exception(MethodFault* fault);
      Exception(const Exception& other);
      ~Exception() override;

      Pellum::Exception* Clone() const override;
      [[noreturn]] void Throw() const override;

      MethodFault* GetFault() const noexcept { return _fault.GetPtr(); }

   private:
      Pellum::Ref<MethodFault> _fault;
   };

   MethodFault();
   MethodFault(const MethodFault& other);
   ~MethodFault() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   bool _IsEqual(const Any* other, bool pattern) const override;
   DataObjectType* _GetDataType() const override;

   virtual const Pellum::Http::ResponseCode& GetResponseCode() const;
   // Not declared [[noreturn]] so that Throw() can guard against a broken override.
   virtual void ThrowInternal() const;
   [[noreturn]] virtual void Throw() const;
   virtual Exception* CreateException() const;

   // The messages, installing an empty array first when the field is null (thread-safe).
   DataArray<LocalizableMessage>* GetFaultMessage();

   Pellum::Ref<MethodFault> faultCause;
   Pellum::Ref<DataArray<LocalizableMessage>> faultMessage;
};

class ORMID_API RuntimeFault : public MethodFault {
public:
   ORMID_FAULT_EXCEPTION(MethodFault)

   RuntimeFault();
   RuntimeFault(const RuntimeFault& other);
   ~RuntimeFault() override;

   Type* _GetType() const override;
   Any* _Clone() const override;
   bool _IsEqual(const Any* other, bool pattern) const override;
   DataObjectType* _GetDataType() const override;
   void ThrowInternal() const override;
   Exception* CreateException() const override;
};

namespace Fault {

// Declares the members every runtime fault class has (constructors, destructor, the data-object slots and
// fault slots 9 and 11).
#define ORMID_BASE_FAULT_MEMBERS(Cls, BaseFault)                                                             \
public:                                                                                                      \
   ORMID_FAULT_EXCEPTION(BaseFault)                                                                          \
   Cls();                                                                                                    \
   Cls(const Cls& other);                                                                                    \
   ~Cls() override;                                                                                          \
   Type* _GetType() const override;                                                                          \
   Any* _Clone() const override;                                                                             \
   bool _IsEqual(const Any* other, bool pattern) const override;                                             \
   DataObjectType* _GetDataType() const override;                                                            \
   void ThrowInternal() const override;                                                                      \
   Exception* CreateException() const override;

class ORMID_API InvalidArgument : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(InvalidArgument, RuntimeFault)
   explicit InvalidArgument(std::string invalidProperty);

   Pellum::Optional<std::string> invalidProperty;
};

class ORMID_API InvalidRequest : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(InvalidRequest, RuntimeFault)
};

class ORMID_API InvalidType : public InvalidRequest {
   ORMID_BASE_FAULT_MEMBERS(InvalidType, InvalidRequest)
   explicit InvalidType(std::string argument);

   Pellum::Optional<std::string> argument;
};

class ORMID_API ManagedObjectNotFound : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(ManagedObjectNotFound, RuntimeFault)
   explicit ManagedObjectNotFound(MoRef* obj);
   const Pellum::Http::ResponseCode& GetResponseCode() const override;

   Pellum::Ref<MoRef> obj;
};

class ORMID_API NotSupported : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(NotSupported, RuntimeFault)
};

class ORMID_API RequestCanceled : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(RequestCanceled, RuntimeFault)
};

class ORMID_API SecurityError : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(SecurityError, RuntimeFault)
   const Pellum::Http::ResponseCode& GetResponseCode() const override;
};

class ORMID_API SystemError : public RuntimeFault {
   ORMID_BASE_FAULT_MEMBERS(SystemError, RuntimeFault)
   explicit SystemError(std::string reason);

   std::string reason;
};

#undef ORMID_BASE_FAULT_MEMBERS

} // namespace Fault

extern template class ORMID_API DataArray<MethodFault>;

} // namespace Ormid
