// Every own property of every registered data object and fault, through its descriptor and through the
// typed layer (Ormid::Property): a sample of the property's kind set, read back, exchanged, cleared when
// optional, with reference counts, shared deduplicated strings, and refusals of values of another type or
// class that change nothing; clone, equality, difference and the rendering (secrets masked) see it; and
// each class's descriptor slots. Built twice: over the library's namespace, and over the test namespace of
// tests/schemas (every storage kind, in a program that builds in seconds).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "example_value.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "quorl/detail/ManagedPrelude.h"

#ifndef CONFORMANCE_NAMESPACE
#define CONFORMANCE_NAMESPACE "quorl."
#endif

namespace {

using Ormid::Any;
using Ormid::DataObjectType;
using Ormid::DynamicData;
using Ormid::FieldKind;
using Ormid::PropertyRecord;
using Pellum::Ref;

struct Probe {
   const DataObjectType* type;
   int index;
   const PropertyRecord& record;
   Ref<DynamicData> obj;

   bool Optional() const { return (record.flags & Ormid::PropertyFlags::Optional) != 0; }

   // Clone, equality and difference see the value that was just stored; as a pattern, a new object
   // matches it only where the property is optional or a reference (unset and null are wildcards, a
   // required value never is).
   void ExpectSeenByCopies(bool differsFromDefault) const {
      Ref<Any> copy(obj->_Clone());
      EXPECT_TRUE(Ormid::AreEqual(obj.GetPtr(), copy.GetPtr()));
      // The rendering shows the property, masked when secret, and the copy renders the same.
      const std::string text = obj->ToString();
      const std::string line = std::string("\n   ") + record.name + " = ";
      const bool secret = (record.flags & Ormid::PropertyFlags::Secret) != 0;
      EXPECT_NE(text.find(secret ? line + Ormid::kSecretMask : line), std::string::npos) << text;
      if (secret) { // also inside another value
         const std::string nested = Ref<Any>(new Ormid::DataArray<Any>{obj.GetPtr()})->ToString();
         EXPECT_NE(nested.find(std::string(record.name) + " = " + Ormid::kSecretMask), std::string::npos)
             << nested;
      }
      EXPECT_EQ(copy->ToString(), text);
      Ref<DynamicData> fresh = type->Create();
      if (!differsFromDefault) {
         return;
      }
      EXPECT_FALSE(Ormid::AreEqual(fresh.GetPtr(), obj.GetPtr()));
      const bool wildcard = Optional() || Ormid::IsReferenceKind(Ormid::GetFieldKind(record));
      EXPECT_EQ(Ormid::AreEqual(obj.GetPtr(), fresh.GetPtr(), true), wildcard);
      EXPECT_FALSE(Ormid::AreEqual(fresh.GetPtr(), obj.GetPtr(), true));
      Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(fresh.GetPtr(), obj.GetPtr());
      EXPECT_TRUE(diffs.Contains(std::string(".") + record.name)) << diffs.ToString();
   }
};

// Plain and string-valued fields: `value` differs from the default-constructed one. An optional field
// swaps with `unset`, of the form its kind takes (Pellum::Optional<T>; signed char, -1 unset, for a
// boolean; Pellum::Deduplicated for a deduplicated string).
template <class T, class Slot = Pellum::Optional<T>>
void CheckValue(const Probe& p, const T& value, bool differsFromDefault = true, Slot unset = {}) {
   DynamicData* obj = p.obj.GetPtr();
   EXPECT_EQ(p.type->IsSet(obj, p.index), !p.Optional());
   p.type->SetField(obj, p.index, &value);
   EXPECT_TRUE(p.type->IsSet(obj, p.index));
   ASSERT_NE(p.type->GetFieldPtr(obj, p.index), nullptr);
   EXPECT_TRUE(*static_cast<const T*>(p.type->GetFieldPtr(obj, p.index)) == value);
   T out{};
   p.type->GetField(obj, p.index, &out);
   EXPECT_TRUE(out == value);
   p.ExpectSeenByCopies(differsFromDefault);
   if (p.Optional()) {
      Slot slot = unset; // takes the value and gives it back
      p.type->SwapField(obj, p.index, &slot);
      EXPECT_FALSE(p.type->IsSet(obj, p.index));
      p.type->SwapField(obj, p.index, &slot);
      p.type->GetField(obj, p.index, &out);
      EXPECT_TRUE(p.type->IsSet(obj, p.index) && out == value);
      p.type->Reset(obj, p.index);
      EXPECT_FALSE(p.type->IsSet(obj, p.index));
      EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), nullptr);
   } else {
      T slot{};
      p.type->SwapField(obj, p.index, &slot);
      EXPECT_TRUE(slot == value);
      p.type->SwapField(obj, p.index, &slot);
      p.type->GetField(obj, p.index, &out);
      EXPECT_TRUE(out == value);
   }
}

// Deduplicated strings: objects holding the same contents share one entry of the table (a copy too, and a
// field given again what it holds keeps it); the entry goes with its last holder.
void CheckShared(const Probe& p) {
   auto& table = Pellum::Deduplicated<std::string>::_dedupTable;
   const std::string text = std::string("<shared ") + p.record.name + "/>";
   Ref<DynamicData> a = p.type->Create(), b = p.type->Create();
   for (DynamicData* o : {a.GetPtr(), b.GetPtr(), a.GetPtr()}) {
      p.type->SetField(o, p.index, &text);
   }
   const auto* entry = table.EntryFor(text);
   ASSERT_NE(entry, nullptr);
   EXPECT_EQ(entry->UseCount(), 2);
   Ref<Any> copy(a->_Clone());
   EXPECT_EQ(entry->UseCount(), 3);
   a.Reset();
   b.Reset();
   EXPECT_EQ(table.EntryFor(text), entry);
   copy.Reset();
   EXPECT_FALSE(table.Contains(text));
}

void CheckReference(const Probe& p, const Ref<Any>& value, bool narrowed) {
   DynamicData* obj = p.obj.GetPtr();
   ASSERT_NE(value.GetPtr(), nullptr) << "no sample value";
   EXPECT_FALSE(p.type->IsSet(obj, p.index));
   Ref<Any> out;
   if (Ormid::GetFieldKind(p.record) == FieldKind::Array) {
      // getField installs an empty array, which is neither set nor different from a null one.
      p.type->GetField(obj, p.index, &out);
      ASSERT_NE(out.GetPtr(), nullptr);
      EXPECT_FALSE(p.type->IsSet(obj, p.index));
      Ref<DynamicData> fresh = p.type->Create();
      EXPECT_TRUE(Ormid::AreEqual(obj, fresh.GetPtr()) && Ormid::AreEqual(fresh.GetPtr(), obj));
      EXPECT_TRUE(Ormid::DiffProperties(obj, fresh.GetPtr()).empty());
   }
   // The field takes one reference, also when it is given what it already holds.
   const int count = value->GetRefCount();
   p.type->SetField(obj, p.index, value.GetPtr());
   p.type->SetField(obj, p.index, value.GetPtr());
   EXPECT_EQ(value->GetRefCount(), count + 1);
   EXPECT_TRUE(p.type->IsSet(obj, p.index));
   EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), static_cast<void*>(value.GetPtr()));
   // getField: the slot takes a new reference and drops the one it held.
   Ref<Any> previous(new Ormid::KeyAnyValue());
   out = previous;
   p.type->GetField(obj, p.index, &out);
   EXPECT_EQ(out.GetPtr(), value.GetPtr());
   EXPECT_EQ(value->GetRefCount(), count + 2);
   EXPECT_EQ(previous->GetRefCount(), 1);
   out.Reset();
   p.ExpectSeenByCopies(true);
   {
      // A copy shares the immutable values (references, boxes) and holds copies of everything else.
      Ref<Any> copy(obj->_Clone());
      Ref<Any> copied;
      p.type->GetField(static_cast<DynamicData*>(copy.GetPtr()), p.index, &copied);
      const Ref<Any> cloned(value->_Clone());
      EXPECT_EQ(copied.GetPtr() == value.GetPtr(), cloned.GetPtr() == value.GetPtr());
   }
   if (narrowed) {
      // A value of another class is refused by setField and swapField, naming both classes; nothing moves.
      Ref<Any> wrong(new Ormid::Array<std::string>{"wrong"});
      if (dynamic_cast<Ormid::Array<std::string>*>(value.GetPtr()) != nullptr) {
         wrong = new Ormid::Array<int>{1};
      }
      try {
         p.type->SetField(obj, p.index, wrong.GetPtr());
         ADD_FAILURE() << "a value of another class was stored";
      } catch (const Pellum::TypeMismatchException& e) {
         const Any &given = *wrong, &held = *value;
         EXPECT_EQ(e.GetActual(), typeid(given));
         if (held._GetType()->GetHeader() == p.record.type) {
            EXPECT_EQ(e.GetExpected(), typeid(held));
         }
      }
      Ref<Any> wrongSlot = wrong;
      EXPECT_THROW(p.type->SwapField(obj, p.index, &wrongSlot), Pellum::TypeMismatchException);
      EXPECT_EQ(wrongSlot.GetPtr(), wrong.GetPtr());
      EXPECT_EQ(wrong->GetRefCount(), 2);
      EXPECT_EQ(p.type->GetFieldPtr(obj, p.index), static_cast<void*>(value.GetPtr()));
   }
   // swapField exchanges the pointers without changing a count; null stores null and releases the value.
   Ref<Any> slot;
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot.GetPtr(), value.GetPtr());
   EXPECT_EQ(value->GetRefCount(), count + 1);
   EXPECT_FALSE(p.type->IsSet(obj, p.index));
   p.type->SwapField(obj, p.index, &slot);
   EXPECT_EQ(slot.GetPtr(), nullptr);
   p.type->SetField(obj, p.index, nullptr);
   EXPECT_FALSE(p.type->IsSet(obj, p.index));
   EXPECT_EQ(value->GetRefCount(), count);
}

// The typed layer (Ormid::Property) on the same field: `a`, a set value, is set, read back and swapped
// for an empty value; every other value type is refused by Get, Set and Swap, with the object unchanged (values of
// another class: CheckReference).
template <class V> void CheckTyped(const Probe& p, const V& a) {
   constexpr bool reference = Ormid::Detail::RefTarget<V>::value;
   const Ormid::Property prop(*p.type, p.record.name);
   DynamicData* o = p.obj.GetPtr();
   EXPECT_EQ(prop.GetValueType(), reference ? typeid(Ref<Any>) : typeid(V));
   prop.Set(o, a);
   EXPECT_TRUE(prop.Get<V>(o) == a);
   EXPECT_TRUE(prop.IsSet(o));
   EXPECT_TRUE(prop.Visit(o, [](const auto&) {}));
   Ref<Any> before(o->_Clone());
   auto refused = [&]<class W>() {
      if constexpr (!std::is_same_v<W, V>) {
         if (prop.Takes<W>()) {
            return; // another Ref<X>: checked by the class of the value
         }
         W w{};
         EXPECT_THROW(prop.Get<W>(o), Pellum::TypeMismatchException) << typeid(W).name();
         EXPECT_THROW(prop.Set(o, w), Pellum::TypeMismatchException) << typeid(W).name();
         EXPECT_THROW(prop.Swap(o, w), Pellum::TypeMismatchException) << typeid(W).name();
      }
   };
   [&]<class... W>() {
      (refused.template operator()<W>(), ...);
   }.template operator()<bool, signed char, int, long, std::string, Pellum::System::DateTime,
                         Pellum::Optional<bool>, Pellum::Optional<int>, Pellum::Optional<std::string>,
                         Pellum::Deduplicated<std::string>, Ref<Any>>();
   if constexpr (reference) { // a typed reference of a class that cannot hold the value
      Ref<Ormid::Array<int>> narrow(new Ormid::Array<int>{1});
      if (dynamic_cast<Ormid::Array<int>*>(a.GetPtr()) == nullptr) {
         EXPECT_THROW(prop.Swap(o, narrow), Pellum::TypeMismatchException);
      }
   }
   EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), o));
   V io{};
   prop.Swap(o, io);
   EXPECT_TRUE(io == a);
   EXPECT_EQ(prop.IsSet(o), !reference && !p.Optional());
   EXPECT_TRUE(reference || prop.Get<V>(o) == V{});
}

template <class T> void CheckPlain(const Probe& p, const T& sample) {
   CheckValue(p, sample);
   p.Optional() ? CheckTyped(p, Pellum::Optional<T>(sample)) : CheckTyped(p, sample);
}

// One sample per plain storage kind, in the order of Ormid::FieldKind from Bool to PropertyPath (the
// ordinal of an enumeration is chosen per type).
const auto kSamples = std::make_tuple(true, static_cast<signed char>(5), static_cast<short>(5), 5, 5L, 1.5f,
                                      2.5, 0, std::string("sample"), std::vector<unsigned char>{1, 2, 3},
                                      Pellum::System::DateTime::FromUtcTime(123456),
                                      Ormid::Uri("http://example"), Ormid::TypeName("quorl.TaskInfo"),
                                      Ormid::MethodName("powerOn"), Ormid::PropertyPath("config.name"));

void CheckProperty(const DataObjectType* type, int index) {
   const PropertyRecord& record = type->GetOwnProperty(index);
   Probe p{type, index, record, type->Create()};
   const FieldKind kind = Ormid::GetFieldKind(record);
   if ((record.flags & Ormid::PropertyFlags::Deduplicated) != 0) {
      CheckValue<std::string, Pellum::Deduplicated<std::string>>(p, "<conformance/>");
      CheckTyped(p, Pellum::Optional<std::string>("<typed/>"));
      CheckShared(p);
   } else if (kind == FieldKind::Bool && p.Optional()) {
      CheckValue<signed char, signed char>(p, 1, true, -1);
      CheckTyped(p, Pellum::Optional<bool>(false));
   } else if (kind == FieldKind::Enum) {
      auto* e = static_cast<Ormid::EnumType*>(Ormid::TypeRegistry::Get().FindByHeader(record.type));
      ASSERT_NE(e, nullptr);
      const int ordinal = e->GetValueCount() > 1 ? 1 : 0;
      CheckValue(p, ordinal, ordinal != 0 || p.Optional());
      p.type->SetField(p.obj.GetPtr(), index, &ordinal);
      EXPECT_NE(p.obj->ToString().find(std::string(" = ") + e->GetTag(ordinal)), std::string::npos);
      p.Optional() ? CheckTyped(p, Pellum::Optional<int>(ordinal)) : CheckTyped(p, ordinal);
   } else if (Ormid::IsReferenceKind(kind)) {
      // Values of the property's class (an array of one element), two new ones.
      const quorl_types::ExampleOptions sample{
          .depth = 0, .optionals = false, .complete = false, .edgeValues = false};
      CheckReference(p, quorl_types::BuildExampleArgument(record, sample), kind != FieldKind::Any);
      CheckTyped(p, quorl_types::BuildExampleArgument(record, sample));
   } else {
      [&]<std::size_t... I>(std::index_sequence<I...>) {
         ((kind == static_cast<FieldKind>(I) ? CheckPlain(p, std::get<I>(kSamples)) : void()), ...);
      }
      (std::make_index_sequence<std::tuple_size_v<decltype(kSamples)>>());
   }
}

TEST(Conformance, EveryPropertyOfEveryClassThroughItsDescriptor) {
   int classes = 0;
   int properties = 0;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (!t->IsDataObject() || !std::string_view(t->GetName()).starts_with(CONFORMANCE_NAMESPACE)) {
         continue;
      }
      auto* type = static_cast<DataObjectType*>(t);
      ++classes;
      bool optional = false;
      for (int i = 0; i < type->GetOwnPropertyCount(); ++i) {
         SCOPED_TRACE(std::string(type->GetName()) + "." + type->GetOwnProperty(i).name);
         optional |= (type->GetOwnProperty(i).flags & Ormid::PropertyFlags::Optional) != 0;
         CheckProperty(type, i);
         ++properties;
      }
      SCOPED_TRACE(type->GetName());
      // A new object is of its class and clones into an equal object.
      Ref<DynamicData> obj = type->Create();
      EXPECT_EQ(obj->_GetType(), type);
      Ref<Any> copy(obj->_Clone());
      EXPECT_EQ(copy->_GetType(), type);
      EXPECT_TRUE(Ormid::AreEqual(obj.GetPtr(), copy.GetPtr()));
      EXPECT_EQ(type->CreateArray()->_GetItemType(), type);
      // The descriptor's slots follow the property list: without own properties no value accessors and the
      // shared always-true isSet; reset exactly when a property is optional; the dynamicProperty marker
      // exactly when own property 0 redeclares it.
      const Ormid::DataTypeInfo* d = type->GetDescriptor();
      int count = 0;
      while (d->properties[count].type != nullptr) {
         ++count;
      }
      EXPECT_EQ(count, type->GetOwnPropertyCount());
      for (const void* accessor :
           {reinterpret_cast<const void*>(d->getField), reinterpret_cast<const void*>(d->getFieldPtr),
            reinterpret_cast<const void*>(d->setField), reinterpret_cast<const void*>(d->swapField)}) {
         EXPECT_EQ(accessor == nullptr, count == 0);
      }
      EXPECT_EQ(d->isSet == &Ormid::AlwaysSet, count == 0);
      EXPECT_EQ(d->reset != nullptr, optional);
      EXPECT_NE(d->create, nullptr);
      EXPECT_NE(d->createArray, nullptr);
      EXPECT_EQ(d->hasOwnDynamicProperty != 0,
                count > 0 && std::string_view(d->properties[0].name) == "dynamicProperty");
   }
   EXPECT_GT(classes, 0);
   EXPECT_GT(properties, 0);
   RecordProperty("classes", classes);
   RecordProperty("properties", properties);
}

} // namespace
