// One-element sample arrays for the array properties of the registered types, chosen by the property's
// kind as the descriptors give it (the tests that walk every property through the descriptors share
// them).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ormid/Array.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Records.h"
#include "ormid/Registry.h"
#include "ormid/Type.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"

namespace SampleArrays {

template <class T> Pellum::Ref<Ormid::Any> ArrayOf(T value) {
   Pellum::Ref<Ormid::Array<T>> a(new Ormid::Array<T>());
   a->Append(std::move(value));
   return Pellum::Ref<Ormid::Any>(a.GetPtr());
}

// An array of one plain value of the plain kind `h` (boolean to property path, date-time), of one
// enumeration ordinal (the first value), of one reference to an object of the managed type `h`, or of one
// boxed int for any-values; null for a data-object or fault element type.
inline Pellum::Ref<Ormid::Any> NonDataArray(const Ormid::TypeInfo* h) {
   switch (h->kind) {
   case Ormid::KindBool:
      return ArrayOf(true);
   case Ormid::KindByte:
      return ArrayOf(static_cast<signed char>(3));
   case Ormid::KindShort:
      return ArrayOf(static_cast<short>(3));
   case Ormid::KindInt:
      return ArrayOf(3);
   case Ormid::KindLong:
      return ArrayOf(3L);
   case Ormid::KindFloat:
      return ArrayOf(1.5f);
   case Ormid::KindDouble:
      return ArrayOf(2.5);
   case Ormid::KindString:
      return ArrayOf(std::string("item"));
   case Ormid::KindBinary:
      return ArrayOf(std::vector<unsigned char>{1, 2});
   case Ormid::KindDateTime:
      return ArrayOf(Pellum::System::DateTime::FromUtcTime(0));
   case Ormid::KindUri:
      return ArrayOf(Ormid::Uri("http://example.invalid/"));
   case Ormid::KindTypeName:
      return ArrayOf(Ormid::TypeName("quorl.TaskInfo"));
   case Ormid::KindMethodName:
      return ArrayOf(Ormid::MethodName("powerOn"));
   case Ormid::KindPropertyPath:
      return ArrayOf(Ormid::PropertyPath("config.name"));
   case Ormid::KindEnum: {
      auto* e = static_cast<Ormid::EnumType*>(Ormid::TypeRegistry::Get().FindByHeader(h));
      Pellum::Ref<Ormid::Any> a(e->GetFuncs().createArray());
      static_cast<Ormid::Array<int>*>(a.GetPtr())->Append(0);
      return a;
   }
   case Ormid::KindManaged: {
      Pellum::Ref<Ormid::DataArray<Ormid::MoRef>> a(new Ormid::DataArray<Ormid::MoRef>());
      a->Append(new Ormid::MoRef(h->name, "obj-1"));
      return Pellum::Ref<Ormid::Any>(a.GetPtr());
   }
   case Ormid::KindAny: {
      Pellum::Ref<Ormid::DataArray<Ormid::Any>> a(new Ormid::DataArray<Ormid::Any>());
      a->Append(Ormid::Box(1).GetPtr());
      return Pellum::Ref<Ormid::Any>(a.GetPtr());
   }
   default:
      return nullptr;
   }
}

} // namespace SampleArrays
