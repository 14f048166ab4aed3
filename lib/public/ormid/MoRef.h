// Ormid::MoRef: a reference to a managed object, the value of every property, parameter and result typed
// by a managed type.
//
// A reference names the managed type (by wire name) and the object's id within the server
// ("quorl.VirtualMachine" and "vm-42"). It is immutable: _Clone() returns the object itself, so copies of a
// data object share their references. Two references are equal when type name and id are equal (bytewise).
// Its runtime type (_GetType()) is the root managed type "kobl.ManagedObject", whatever type it names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ormid/Any.h"
#include "ormid/Export.h"
#include "pellum/Ref.h"

namespace Ormid {

class ORMID_API MoRef final : public Any {
public:
   // Throws Pellum::Exception when the type name or the id is empty.
   MoRef(std::string typeName, std::string id);
   // The type must be a managed type (kind 18); throws Pellum::Exception otherwise or for an empty id.
   MoRef(const Type* type, std::string id);
   MoRef(const MoRef&) = default;
   MoRef& operator=(const MoRef&) = delete;
   ~MoRef() override;

   // Reads "type:id" (the id is everything after the first colon). Throws Pellum::Exception naming the
   // text when there is no colon or either part is empty.
   static Pellum::Ref<MoRef> Parse(std::string_view text);

   const std::string& GetTypeName() const noexcept { return _typeName; }
   const std::string& GetId() const noexcept { return _id; }
   // The registered managed type of that name, or null when none is registered under it.
   Type* GetManagedType() const;

   bool Equals(const MoRef& other) const noexcept { return _id == other._id && _typeName == other._typeName; }
   std::size_t Hash() const noexcept;

   // "quorl.VirtualMachine:vm-42".
   std::string ToString() const override;
   Type* _GetType() const override;
   Any* _Clone() const override { return const_cast<MoRef*>(this); }
   // Equal when `other` is a MoRef with the same type name and id; any other value is unequal.
   bool _IsEqual(const Any* other, bool pattern) const override;
   // Appends `prefix` when not equal.
   void _DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const override;

   // Function objects for hashed containers keyed by references (by value, not by address).
   struct Hasher {
      std::size_t operator()(const MoRef* r) const noexcept { return r ? r->Hash() : 0; }
      std::size_t operator()(const Pellum::Ref<MoRef>& r) const noexcept { return (*this)(r.GetPtr()); }
   };
   struct EqualTo {
      bool operator()(const MoRef* a, const MoRef* b) const noexcept {
         return a == b || (a && b && a->Equals(*b));
      }
      bool operator()(const Pellum::Ref<MoRef>& a, const Pellum::Ref<MoRef>& b) const noexcept {
         return (*this)(a.GetPtr(), b.GetPtr());
      }
   };

private:
   const std::string _typeName;
   const std::string _id;
};

inline bool operator==(const MoRef& a, const MoRef& b) noexcept {
   return a.Equals(b);
}

} // namespace Ormid
