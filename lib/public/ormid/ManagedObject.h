// Ormid::ManagedObject: the virtual base of every managed-object interface.
//
// A managed object is a server-side object addressed by reference (Ormid::MoRef). Each managed type has
// an abstract interface deriving, virtually, from its base type's interface and in the end from
// Ormid::ManagedObject; a client stub (Ormid::StubImpl, Stub.h) implements it by remote calls, a local
// implementation object implements it directly and is what a type's dispatcher calls into.
//
// Virtual slots of an interface, in order (one table shared along the chain of bases):
//   _GetType()      the interface's managed type (the interface overrides it with GetMoType<Iface>())
//   _GetRef()       the reference this object is known by
//   _Invalidate()   tells the object that its reference no longer names a live object; stubs and
//                   most implementations ignore it
//   then, per ancestor from the root down and then the class itself, one pure getter per own property
//   and one pure member per own method.
//
// The object is reference counted through its single Pellum::Object part (the virtual base shared with
// the stub side), so one object that is both an interface and a stub carries one count.
#pragma once

#include "ormid/Export.h"
#include "pellum/Object.h"

namespace Ormid {

class ManagedObjectType;
class MoRef;

// The non-virtual common part of managed objects. It holds no data and adds no virtual slot; it exists so
// that runtime helpers can name "any managed object" without the virtual base in the way.
class ORMID_API ManagedObjectCommon {
protected:
   ManagedObjectCommon() noexcept = default;
   ManagedObjectCommon(const ManagedObjectCommon&) noexcept = default;
   ManagedObjectCommon& operator=(const ManagedObjectCommon&) noexcept = default;
   ~ManagedObjectCommon() = default;
};

class ORMID_API ManagedObject : public ManagedObjectCommon, public virtual Pellum::Object {
public:
   // The managed type of the object (its most-derived interface's type).
   virtual ManagedObjectType* _GetType() const = 0;
   // The reference the object is known by; never null for a registered or remote object. The object
   // keeps the reference alive as long as it lives.
   virtual MoRef* _GetRef() const = 0;
   // Second managed-object slot: the reference no longer names a live object. Stubs do nothing.
   virtual void _Invalidate() = 0;

protected:
   ManagedObject() noexcept = default;
   ManagedObject(const ManagedObject&) noexcept = default;
   ManagedObject& operator=(const ManagedObject&) noexcept = default;
};

} // namespace Ormid
