// Fuzz target: values through reflection. The input picks a registered data-object or fault type, creates
// an object of it and drives a sequence of operations through the descriptors (Type.h, Records.h,
// FieldAccess.h): get, get-pointer, set, swap, reset and is-set of every property with values of the right
// and of wrong C++ kinds, array elements (append, index, set, remove) in and out of range, boxes,
// enumerations by name and by ordinal, faults as exceptions, registry and property lookups by made-up
// names, and copy, equality, difference and rendering of whatever the operations produced.
//
// What counts as a finding (fuzz/README.md):
//   - an operation the documentation says is refused (a wrong C++ kind, a value the field cannot hold, an
//     index out of range, an object of another class, the reset of a required plain property) that is
//     taken, or refused with another exception than the documented one (Pellum::TypeMismatchException for
//     a wrong kind, Pellum::Exception for the rest), or that changes the object it refuses to change
//     (compared with a copy taken before the operation);
//   - an operation on a value of the right kind that is refused;
//   - a copy unequal to its original, a difference list that disagrees with equality, a property whose
//     getFieldPtr and isSet disagree, a swap that does not swap back;
//   - a secret (a value of a property flagged secret) in any rendering, difference or exception message;
//   - anything the sanitizers report (leaks included) and any other exception (libFuzzer reports the abort).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/FieldAccess.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "ormid/Type.h"
#include "pellum/Deduplicated.h"
#include "pellum/Exception.h"
#include "pellum/Optional.h"
#include "pellum/System/DateTime.h"

namespace {

using namespace Ormid;
using Pellum::Ref;
using Pellum::System::DateTime;

// Every value written into a secret property starts with this; no other text the target makes contains it
// (made-up text has its 'Q' lowered).
constexpr std::string_view kSecret = "zQsecretQz";

[[noreturn]] void Finding(const std::string& what) {
   std::fprintf(stderr, "\n=== reflection finding: %s\n===\n", what.c_str());
   __builtin_trap();
}

// The input, read front to back; zeros once it is used up.
class Input {
public:
   Input(const std::uint8_t* data, std::size_t size) : _p(data), _n(size) {}
   bool Empty() const { return _n == 0; }
   std::uint8_t Byte() {
      if (_n == 0) {
         return 0;
      }
      --_n;
      return *_p++;
   }
   std::uint32_t U32() {
      return Byte() | Byte() << 8 | Byte() << 16 | static_cast<std::uint32_t>(Byte()) << 24;
   }
   std::uint64_t U64() { return U32() | static_cast<std::uint64_t>(U32()) << 32; }
   std::size_t Below(std::size_t n) { return n == 0 ? 0 : (n <= 256 ? Byte() : U32()) % n; }
   bool OneIn(int n) { return Byte() % n == 0; }
   std::string Text(std::size_t max = 12) {
      std::string s;
      for (std::size_t len = Below(max + 1); len > 0; --len) {
         const char c = static_cast<char>(Byte());
         s.push_back(c == 'Q' ? 'q' : c);
      }
      return s;
   }

private:
   const std::uint8_t* _p;
   std::size_t _n;
};

// The registered types, once.
struct Catalogue {
   std::vector<DataObjectType*> data;
   std::vector<EnumType*> enums;
   std::vector<Type*> managed;
   std::vector<Type*> all;
};
const Catalogue& Types() {
   static const Catalogue catalogue = [] {
      Catalogue c;
      c.all = TypeRegistry::Get().GetTypes();
      for (Type* t : c.all) {
         if (t->IsDataObject()) {
            c.data.push_back(static_cast<DataObjectType*>(t));
         } else if (t->IsEnum()) {
            c.enums.push_back(static_cast<EnumType*>(t));
         } else if (t->IsManaged()) {
            c.managed.push_back(t);
         }
      }
      return c;
   }();
   return catalogue;
}

// One property of a type: where it is declared and what it holds.
struct Prop {
   const DataObjectType* owner;
   int index;
   const PropertyRecord* record;
   FieldKind kind;
   Type* type; // the value type (the item type of an array; string for links); null when not registered
   bool Secret() const { return (record->flags & PropertyFlags::Secret) != 0; }
   bool Optional() const { return (record->flags & PropertyFlags::Optional) != 0; }
   // Holds references to managed objects (a link holds the key of its target as a string instead).
   bool Managed() const {
      return record->type->kind == KindManaged && (record->flags & PropertyFlags::Link) == 0;
   }
};
const std::vector<Prop>& PropsOf(const DataObjectType* type) {
   static std::unordered_map<const DataObjectType*, std::vector<Prop>> cache;
   auto [it, fresh] = cache.try_emplace(type);
   std::vector<Prop>& props = it->second;
   if (fresh) {
      type->ForEachProperty([&](const DataObjectType* owner, int index, const PropertyRecord& record) {
         Type* value = (record.flags & PropertyFlags::Link) != 0
                           ? GetNoType<std::string>()
                           : TypeRegistry::Get().FindByHeader(record.type);
         props.push_back(Prop{owner, index, &record, GetFieldKind(record), value});
      });
   }
   return props;
}

// The C++ types a value argument can have: the plain ones, their Pellum::Optional (swap of an optional
// field), the deduplicated string handle and the generic slot.
using PlainTypes = std::tuple<bool, signed char, short, int, long, float, double, std::string,
                              std::vector<unsigned char>, DateTime, Uri, TypeName, MethodName, PropertyPath>;
constexpr int kPlainCount = std::tuple_size_v<PlainTypes>;
constexpr int kSlotCount = 2 * kPlainCount + 2;
template <int I> struct SlotAt {
   using type = std::conditional_t<
       (I < kPlainCount), std::tuple_element_t<I % kPlainCount, PlainTypes>,
       std::conditional_t<
           (I < 2 * kPlainCount), Pellum::Optional<std::tuple_element_t<I % kPlainCount, PlainTypes>>,
           std::conditional_t<I == 2 * kPlainCount, Pellum::Deduplicated<std::string>, Ref<Any>>>>;
};
template <class F, int... I> void DispatchSlot(int code, F& f, std::integer_sequence<int, I...>) {
   ((code == I ? (f(std::type_identity<typename SlotAt<I>::type>{}), 0) : 0), ...);
}
template <class F> void WithSlot(int code, F&& f) {
   DispatchSlot(code, f, std::make_integer_sequence<int, kSlotCount>{});
}
template <class T>
constexpr bool kIsPlain =
    std::is_arithmetic_v<T> || std::is_same_v<T, std::string> || std::is_same_v<T, DateTime> ||
    std::is_same_v<T, std::vector<unsigned char>> || std::is_same_v<T, Uri> || std::is_same_v<T, TypeName> ||
    std::is_same_v<T, MethodName> || std::is_same_v<T, PropertyPath>;

int SlotCode(const std::type_info& type) {
   int found = -1;
   for (int code = 0; code < kSlotCount && found < 0; ++code) {
      WithSlot(code, [&](auto tag) {
         if (typeid(typename decltype(tag)::type) == type) {
            found = code;
         }
      });
   }
   if (found < 0) {
      Finding(std::string("a slot type outside the documented ones: ") + type.name());
   }
   return found;
}

// Whether an operation must be taken, must be refused (and with which exception), or may go either way.
enum class Expect { Taken, Mismatch, Refused, Either };

struct Fuzzer {
   Input in;
   std::vector<Ref<Any>> pool; // values the operations made or read; never a secret property's value
   int depth = 0;

   // --- values ---------------------------------------------------------------------------------------

   DateTime MakeDateTime() {
      // Within 0001-01-01 .. 9999-12-31 and the offsets a date-time holds.
      constexpr std::int64_t kSpan = 315537897600LL * DateTime::kMicrosPerSecond;
      const auto micros = static_cast<std::int64_t>(in.U64() % static_cast<std::uint64_t>(kSpan)) -
                          62135596800LL * DateTime::kMicrosPerSecond;
      const auto offset = static_cast<std::int32_t>(in.Below(2 * DateTime::kMaxOffsetMinutes + 1)) -
                          DateTime::kMaxOffsetMinutes;
      try {
         return DateTime::FromUtcTime(micros, offset);
      } catch (const Pellum::Exception&) {
         return DateTime::FromUtcTime(0);
      }
   }

   // A plain value of C++ type T for property `p` (null: no property in particular). Mostly what the field
   // holds; now and then a value just outside (ordinals, boolean bytes).
   template <class T> T Make(const Prop* p) {
      if constexpr (std::is_same_v<T, bool>) {
         return in.Byte() & 1;
      } else if constexpr (std::is_same_v<T, signed char>) {
         return p != nullptr && p->kind == FieldKind::Bool ? static_cast<signed char>(in.Byte() % 5) - 2
                                                           : static_cast<signed char>(in.Byte());
      } else if constexpr (std::is_integral_v<T>) {
         if (p != nullptr && p->kind == FieldKind::Enum && p->type != nullptr) {
            const int count = static_cast<EnumType*>(p->type)->GetValueCount();
            return static_cast<T>(static_cast<int>(in.Below(static_cast<std::size_t>(count) + 2)) - 1);
         }
         return static_cast<T>(in.U64());
      } else if constexpr (std::is_floating_point_v<T>) {
         if (in.OneIn(4)) {
            return std::numeric_limits<T>::quiet_NaN();
         }
         return static_cast<T>(static_cast<std::int32_t>(in.U32())) / 16;
      } else if constexpr (std::is_same_v<T, std::vector<unsigned char>>) {
         const std::string s = in.Text(8);
         return T(s.begin(), s.end());
      } else if constexpr (std::is_same_v<T, DateTime>) {
         return MakeDateTime();
      } else if constexpr (std::is_same_v<T, Ref<Any>>) {
         return MakeAny(p);
      } else if constexpr (std::is_same_v<T, Pellum::Deduplicated<std::string>>) {
         return in.OneIn(3) ? T() : T(Make<std::string>(p));
      } else if constexpr (std::is_convertible_v<T, std::string>) { // strings and string-valued types
         std::string s = in.Text();
         return T(p != nullptr && p->Secret() ? std::string(kSecret) + s : s);
      } else { // Pellum::Optional<X>
         T o;
         if (!in.OneIn(3)) {
            o.Set(Make<std::decay_t<decltype(o.GetStored())>>(p));
         }
         return o;
      }
   }

   // A new value for a reference, any value or array, mostly of the kind the property holds: null, an object
   // of the property's type or another data type, a box, a reference to a managed object, an array, or a
   // copy of a value of the pool (never the value itself: nothing the target makes holds itself).
   Ref<Any> MakeAny(const Prop* p) {
      const Catalogue& c = Types();
      if (depth > 2) {
         return Ref<Any>();
      }
      ++depth;
      Ref<Any> v;
      switch (in.Byte() % 9) {
      case 0:
         break;
      case 1:
         if (p != nullptr && p->type != nullptr && p->type->IsDataObject()) {
            v = Ref<Any>(static_cast<DataObjectType*>(p->type)->Create().GetPtr());
            break;
         }
         [[fallthrough]];
      case 2:
         v = Ref<Any>(c.data[in.Below(c.data.size())]->Create().GetPtr());
         break;
      case 3:
         // A copy of a small value only: an object that takes in copies of itself doubles at every step.
         if (!pool.empty()) {
            if (const Any* source = pool[in.Below(pool.size())].GetPtr(); ToString(source).size() < 2000) {
               v = Ref<Any>(source->_Clone());
            }
         }
         break;
      case 4: {
         const Type* t =
             p != nullptr && p->Managed() && in.OneIn(2) ? p->type : c.managed[in.Below(c.managed.size())];
         v = in.OneIn(8) ? Ref<Any>(new MoRef("quorl.NoSuchType" + in.Text(3), "x"))
                         : Ref<Any>(new MoRef(t, "id-" + in.Text(4)));
         break;
      }
      case 5: {
         EnumType* e = p != nullptr && p->kind == FieldKind::Enum ? static_cast<EnumType*>(p->type)
                       : c.enums.empty()                          ? nullptr
                                                                  : c.enums[in.Below(c.enums.size())];
         if (e == nullptr) {
            break;
         }
         v = Ref<Any>(
             e->GetFuncs().box(static_cast<int>(in.Below(static_cast<std::size_t>(e->GetValueCount())))));
         break;
      }
      case 6:
         v = MakeArray(p);
         break;
      default: {
         const int code = static_cast<int>(in.Below(kPlainCount));
         WithSlot(code, [&](auto tag) {
            using T = typename decltype(tag)::type;
            if constexpr (kIsPlain<T>) {
               v = Box(Make<T>(nullptr));
            }
         });
      }
      }
      --depth;
      return v;
   }

   // An array with a few elements: of the property's item type mostly, else of a random data type or
   // enumeration, or of a plain type.
   Ref<Any> MakeArray(const Prop* p) {
      const Catalogue& c = Types();
      Type* item = p != nullptr && p->kind == FieldKind::Array && !in.OneIn(4) ? p->type : nullptr;
      Ref<Any> a;
      if (item != nullptr && p->Managed()) {
         a = Ref<Any>(new DataArray<MoRef>());
      } else if (item == nullptr || item == GetNoType<Any>() || item->IsDataObject()) {
         switch (item != nullptr ? 0 : in.Byte() % 4) {
         case 0:
            a = item == nullptr || item == GetNoType<Any>()
                    ? Ref<Any>(new DataArray<Any>())
                    : Ref<Any>(static_cast<DataObjectType*>(item)->CreateArray().GetPtr());
            break;
         case 1:
            a = Ref<Any>(c.data[in.Below(c.data.size())]->CreateArray().GetPtr());
            break;
         case 2:
            if (!c.enums.empty()) {
               a = Ref<Any>(c.enums[in.Below(c.enums.size())]->GetFuncs().createArray());
               break;
            }
            [[fallthrough]];
         default:
            a = PlainArray(static_cast<int>(in.Below(kPlainCount)));
         }
      } else if (item->IsEnum()) {
         a = Ref<Any>(static_cast<EnumType*>(item)->GetFuncs().createArray());
      } else {
         for (int code = 0; code < kPlainCount && !a; ++code) {
            WithSlot(code, [&](auto tag) {
               using T = typename decltype(tag)::type;
               if constexpr (kIsPlain<T>) {
                  if (GetNoType<T>() == item) {
                     a = PlainArray(code);
                  }
               }
            });
         }
      }
      for (std::size_t n = in.Below(4); n > 0 && a; --n) {
         Append(a.GetPtr(), p);
      }
      return a;
   }
   Ref<Any> PlainArray(int code) {
      Ref<Any> a;
      WithSlot(code, [&](auto tag) {
         if constexpr (kIsPlain<typename decltype(tag)::type>) {
            a = Ref<Any>(new Array<typename decltype(tag)::type>());
         }
      });
      return a;
   }

   // Appends one element of the array's kind (rarely of another kind or null, which a data array refuses
   // with the documented exception and nothing changed).
   void Append(Any* array, const Prop* p) {
      if (auto* data = dynamic_cast<DataArrayBase*>(array)) {
         Type* item = data->_GetItemType();
         Ref<Any> v;
         if (item->IsDataObject() && !in.OneIn(4)) {
            v = Ref<Any>(static_cast<DataObjectType*>(item)->Create().GetPtr());
         } else {
            v = MakeAny(p);
         }
         Expect expect = !v                                                     ? Expect::Refused
                         : item == GetNoType<Any>() || v->_GetType()->IsA(item) ? Expect::Taken
                                                                                : Expect::Mismatch;
         if (item == GetNoType<MoRef>()) {
            expect = !v                                 ? Expect::Refused
                     : dynamic_cast<MoRef*>(v.GetPtr()) ? Expect::Taken
                                                        : Expect::Mismatch;
         }
         Try(array, expect, "AppendAny", [&] { data->AppendAny(v.GetPtr()); });
         return;
      }
      bool done = false;
      for (int code = 0; code < kPlainCount && !done; ++code) {
         WithSlot(code, [&](auto tag) {
            using T = typename decltype(tag)::type;
            if constexpr (kIsPlain<T>) {
               if (auto* plain = dynamic_cast<Array<T>*>(array)) {
                  plain->Append(Make<T>(nullptr));
                  done = true;
               }
            }
         });
      }
   }

   // --- checks -------------------------------------------------------------------------------------

   // A copy of a value and its rendering, to compare with after a refused operation.
   struct Snapshot {
      Ref<Any> copy;
      std::string text;
   };
   static Snapshot Take(const Any* v) {
      if (v == nullptr) {
         return {};
      }
      return {Ref<Any>(v->_Clone()), ToString(v)};
   }
   static void CheckUnchanged(const Snapshot& before, const Any* v, const char* what) {
      if (v == nullptr) {
         return;
      }
      const std::string text = ToString(v);
      // A NaN equals nothing, not even its own copy: such a value is held to its rendering alone.
      const bool nan = HoldsNaN(text);
      if (text != before.text || (!nan && !AreEqual(before.copy.GetPtr(), v))) {
         Finding(std::string(what) + " was refused but changed the value\n--- before:\n" + before.text +
                 "\n--- after:\n" + text + "\n--- differences:\n" +
                 DiffProperties(before.copy.GetPtr(), v).ToString());
      }
   }
   static bool HoldsNaN(const std::string& text) {
      return text.find("nan") != std::string::npos || text.find("NaN") != std::string::npos;
   }
   static void CheckNoSecret(const std::string& text, const char* where) {
      if (text.find(kSecret) != std::string::npos) {
         Finding(std::string("a secret value in ") + where + ":\n" + text);
      }
   }

   // Runs one operation on `target` and holds it to `expect`. A refusal must be the documented exception and
   // leave `target` as it was; an exception message never shows a secret.
   template <class F> bool Try(const Any* target, Expect expect, const char* what, F&& op) {
      const bool refusable = expect != Expect::Taken;
      Snapshot before = refusable ? Take(target) : Snapshot{};
      try {
         op();
      } catch (const Pellum::TypeMismatchException& e) {
         CheckNoSecret(e.what(), "an exception message");
         if (expect == Expect::Taken) {
            Finding(std::string(what) + ": a value of the right kind refused as a mismatch: " + e.what());
         }
         CheckUnchanged(before, target, what);
         return false;
      } catch (const Pellum::Exception& e) {
         CheckNoSecret(e.what(), "an exception message");
         if (expect == Expect::Taken || expect == Expect::Mismatch) {
            Finding(std::string(what) + ": expected " +
                    (expect == Expect::Taken ? "success" : "a type mismatch") + ", got: " + e.what());
         }
         CheckUnchanged(before, target, what);
         return false;
      }
      if (expect == Expect::Mismatch || expect == Expect::Refused) {
         Finding(std::string(what) + ": taken, though it must be refused");
      }
      return true;
   }

   // Copy, equality, difference and rendering of two values of the pool.
   void Compare(const Any* a, const Any* b) {
      const std::string text = ToString(a);
      CheckNoSecret(text, "a rendering");
      const Ref<Any> copy(a == nullptr ? nullptr : a->_Clone());
      const bool nan = HoldsNaN(text);
      if (!nan && (!AreEqual(a, copy.GetPtr()) || !AreEqual(copy.GetPtr(), a, true))) {
         Finding("a copy differs from its original:\n" + text);
      }
      if (ToString(copy.GetPtr()) != text) {
         Finding("a copy renders differently:\n" + text + "\n--- copy:\n" + ToString(copy.GetPtr()));
      }
      const PropertyDiffSet diffs = DiffProperties(a, b);
      CheckNoSecret(diffs.ToString(), "a difference list");
      if (diffs.empty() != AreEqual(a, b)) {
         Finding("the difference list disagrees with equality:\n" + diffs.ToString() + "--- a:\n" + text +
                 "\n--- b:\n" + ToString(b));
      }
   }

   // --- properties ---------------------------------------------------------------------------------

   // Whether setting (or swapping in) `slot` of C++ type T must be taken by property `p`.
   template <class T> Expect ExpectValue(const Prop& p, const T& v) {
      if constexpr (std::is_same_v<T, Ref<Any>>) {
         const Any* a = v.GetPtr();
         if (a == nullptr || p.kind == FieldKind::Any) {
            return Expect::Taken;
         }
         if (p.type == nullptr) {
            return Expect::Either;
         }
         if (p.kind == FieldKind::Array) {
            Type* want = p.Managed() ? GetNoType<MoRef>()->GetArrayType() : p.type->GetArrayType();
            if (a->_GetType() != want) {
               return p.Managed() ? Expect::Refused : Expect::Mismatch;
            }
            return p.Managed() && static_cast<const ArrayBase*>(a)->GetCollectionLength() > 0 ? Expect::Either
                                                                                              : Expect::Taken;
         }
         if (p.Managed()) {
            const auto* ref = dynamic_cast<const MoRef*>(a);
            if (ref == nullptr) {
               return Expect::Refused;
            }
            Type* named = TypeRegistry::Get().FindByName(ref->GetTypeName());
            return named == nullptr || named->IsA(p.type) ? Expect::Taken : Expect::Refused;
         }
         return a->_GetType()->IsA(p.type) ? Expect::Taken : Expect::Mismatch;
      } else if constexpr (std::is_same_v<T, signed char>) {
         // A boolean byte: -1 (unset) only for an optional boolean.
         return p.kind != FieldKind::Bool || (v >= (p.Optional() ? -1 : 0) && v <= 1) ? Expect::Taken
                                                                                      : Expect::Refused;
      } else if constexpr (std::is_same_v<T, int>) {
         return p.kind != FieldKind::Enum || p.type == nullptr || static_cast<EnumType*>(p.type)->IsValid(v)
                    ? Expect::Taken
                    : Expect::Refused;
      } else if constexpr (std::is_same_v<T, Pellum::Optional<int>>) {
         return p.kind != FieldKind::Enum || p.type == nullptr || !v.IsSet() ||
                        static_cast<EnumType*>(p.type)->IsValid(v.GetStored())
                    ? Expect::Taken
                    : Expect::Refused;
      } else {
         return Expect::Taken;
      }
   }

   // get, set or swap of property `p` of `obj` with a value argument of the right C++ type mostly, of
   // another now and then.
   void Access(DynamicData* obj, const Prop& p, int op) {
      const bool swap = op == 2;
      const std::type_info& right = p.owner->GetSlotType(p.index, swap);
      const int code = in.OneIn(5) ? static_cast<int>(in.Below(kSlotCount)) : SlotCode(right);
      WithSlot(code, [&](auto tag) {
         using T = typename decltype(tag)::type;
         const bool kind = typeid(T) == right;
         if (op == 0) {
            // A deduplicated string is read only when set (getField requires a set handle).
            if (p.kind == FieldKind::String && (p.record->flags & PropertyFlags::Deduplicated) != 0 &&
                !p.owner->IsSet(obj, p.index)) {
               return;
            }
            T out{};
            Try(obj, kind ? Expect::Taken : Expect::Mismatch, "getField",
                [&] { p.owner->GetFieldAs(obj, p.index, out); });
            if constexpr (std::is_same_v<T, Ref<Any>>) {
               if (kind && out && !p.Secret()) {
                  pool.push_back(out);
               }
            }
            return;
         }
         T value = Make<T>(&p);
         const Expect expect = kind ? ExpectValue(p, value) : Expect::Mismatch;
         if (op == 1) {
            Try(obj, expect, "setField", [&] { p.owner->SetFieldAs(obj, p.index, value); });
            return;
         }
         const Snapshot before = Take(obj);
         if (Try(obj, expect, "swapField", [&] { p.owner->SwapFieldAs(obj, p.index, value); })) {
            // Swapping back restores the object.
            Try(obj, Expect::Taken, "swapField back", [&] { p.owner->SwapFieldAs(obj, p.index, value); });
            CheckUnchanged(before, obj, "a swap and its swap back");
         }
      });
   }

   void Properties(DynamicData* obj, const DataObjectType* type) {
      const std::vector<Prop>& props = PropsOf(type);
      if (props.empty()) {
         return;
      }
      const Prop& p = props[in.Below(props.size())];
      switch (in.Byte() % 8) {
      case 0:
      case 1:
      case 2:
         Access(obj, p, in.Byte() % 3);
         break;
      case 3: { // reset: optional properties and references only
         const bool resettable = p.Optional() || IsReferenceKind(p.kind);
         if (Try(obj, resettable ? Expect::Taken : Expect::Refused, "reset",
                 [&] { p.owner->Reset(obj, p.index); }) &&
             p.owner->IsSet(obj, p.index)) {
            Finding(std::string("property ") + p.record->name + " is set after its reset");
         }
         break;
      }
      case 4: { // getFieldPtr and isSet agree
         const bool set = p.owner->IsSet(obj, p.index);
         if ((p.owner->GetFieldPtr(obj, p.index) != nullptr) != set) {
            Finding(std::string("getFieldPtr and isSet disagree on ") + p.record->name);
         }
         break;
      }
      case 5: { // an index out of range, or an object of another class
         const int count = p.owner->GetOwnPropertyCount();
         const int bad[] = {-1, count, count + 1 + static_cast<int>(in.Byte()),
                            std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
         int index = bad[in.Below(std::size(bad))];
         DynamicData* target = obj;
         Ref<DynamicData> other;
         if (in.OneIn(2)) {
            index = p.index;
            other = Types().data[in.Below(Types().data.size())]->Create();
            if (p.owner->IsInstance(other.GetPtr())) {
               break;
            }
            target = other.GetPtr();
         }
         Ref<Any> slot;
         int plain = 0;
         switch (in.Byte() % 5) {
         case 0:
            Try(target, Expect::Refused, "getField", [&] { p.owner->GetField(target, index, &slot); });
            break;
         case 1:
            Try(target, Expect::Refused, "getFieldPtr", [&] { (void)p.owner->GetFieldPtr(target, index); });
            break;
         case 2:
            Try(target, Expect::Refused, "setField", [&] { p.owner->SetField(target, index, &plain); });
            break;
         case 3:
            Try(target, Expect::Refused, "isSet", [&] { (void)p.owner->IsSet(target, index); });
            break;
         default:
            Try(target, Expect::Refused, "reset", [&] { p.owner->Reset(target, index); });
         }
         if (target == obj) {
            Try(obj, Expect::Refused, "null object", [&] { p.owner->Reset(nullptr, p.index); });
         }
         break;
      }
      case 6: { // a boolean byte outside 0..1 through the untyped setter
         if (p.kind == FieldKind::Bool && !p.Optional()) {
            const signed char byte = static_cast<signed char>(in.Byte());
            Try(obj, byte == 0 || byte == 1 ? Expect::Taken : Expect::Refused, "setField of a boolean byte",
                [&] { p.owner->SetField(obj, p.index, &byte); });
         }
         break;
      }
      default: { // the array a property holds: its elements
         if (p.kind != FieldKind::Array || p.Secret()) {
            break;
         }
         Ref<Any> array;
         p.owner->GetFieldAs(obj, p.index, array);
         Elements(array.GetPtr(), &p);
      }
      }
   }

   // Elements of an array: append, index in and out of range, set, remove.
   void Elements(Any* array, const Prop* p) {
      auto* base = dynamic_cast<ArrayBase*>(array);
      if (base == nullptr) {
         return;
      }
      const std::size_t length = static_cast<std::size_t>(base->GetCollectionLength());
      const std::size_t i = in.OneIn(2) ? in.Below(length + 2) : static_cast<std::size_t>(in.U64());
      const Expect inRange = i < length ? Expect::Taken : Expect::Refused;
      auto* data = dynamic_cast<DataArrayBase*>(array);
      switch (in.Byte() % 3) {
      case 0:
         Append(array, p);
         break;
      case 1:
         if (data != nullptr) {
            Any* element = nullptr;
            if (Try(array, inRange, "GetAny", [&] { element = data->GetAny(i); }) &&
                !(p != nullptr && p->Secret())) {
               pool.emplace_back(element);
            }
         } else if (auto* ints = dynamic_cast<Array<int>*>(array)) {
            Try(array, inRange, "Array::At", [&] { (void)ints->At(i); });
            Try(array, inRange, "Array::Set", [&] { ints->Set(i, static_cast<int>(in.U32())); });
         } else if (auto* strings = dynamic_cast<Array<std::string>*>(array)) {
            Try(array, inRange, "Array::Set", [&] { strings->Set(i, in.Text()); });
         }
         break;
      default:
         if (data != nullptr) {
            Try(array, inRange, "RemoveAt", [&] { data->RemoveAt(i); });
         }
      }
   }

   // --- everything else ----------------------------------------------------------------------------

   void Enumeration() {
      const Catalogue& c = Types();
      if (c.enums.empty()) {
         return;
      }
      EnumType* e = c.enums[in.Below(c.enums.size())];
      const int count = e->GetValueCount();
      const int ordinal =
          in.OneIn(4) ? static_cast<int>(in.U32()) : static_cast<int>(in.Below(count + 2)) - 1;
      const char* tag = nullptr;
      if (Try(nullptr, e->IsValid(ordinal) ? Expect::Taken : Expect::Refused, "GetTag",
              [&] { tag = e->GetTag(ordinal); }) &&
          e->GetValue(tag) != ordinal) {
         Finding(std::string("ordinal of name ") + tag + " is not the ordinal it names");
      }
      const std::string name = in.OneIn(2) && tag != nullptr ? std::string(tag) + in.Text(2) : in.Text();
      const int found = e->FindValue(name);
      int value = -1;
      Try(nullptr, found >= 0 ? Expect::Taken : Expect::Refused, "EnumType::GetValue",
          [&] { value = e->GetValue(name); });
      if (value != found) {
         Finding("GetValue and FindValue disagree on \"" + name + "\"");
      }
      // Names to an array and back; an unknown name refuses the whole array.
      Ref<Array<std::string>> names(new Array<std::string>());
      bool known = true;
      for (std::size_t n = in.Below(4); n > 0; --n) {
         names->Append(in.OneIn(3) ? in.Text() : std::string(e->GetTag(static_cast<int>(in.Below(count)))));
         known = known && e->FindValue(names->GetValues().back()) >= 0;
      }
      Ref<Any> values;
      if (Try(nullptr, known ? Expect::Taken : Expect::Refused, "fromNames",
              [&] { values = Ref<Any>(e->GetFuncs().fromNames(names.GetPtr(), e)); })) {
         Ref<Array<std::string>> back;
         e->GetFuncs().toNames(values.GetPtr(), e, back);
         if (!AreEqual(back.GetPtr(), names.GetPtr())) {
            Finding("names to ordinals and back differ");
         }
         pool.push_back(values);
      }
      // A box: its ordinal back, or a mismatch for a box of another kind.
      Ref<Any> other = MakeAny(nullptr);
      Try(nullptr,
          other && other->_GetType() == e ? Expect::Taken : (other ? Expect::Mismatch : Expect::Either),
          "unbox", [&] { (void)e->GetFuncs().unbox(other.GetPtr()); });
   }

   void Lookups(const DataObjectType* type) {
      const Catalogue& c = Types();
      TypeRegistry& registry = TypeRegistry::Get();
      std::string name = in.Text(24);
      const Type* real = c.all[in.Below(c.all.size())];
      switch (in.Byte() % 4) {
      case 0:
         name = real->GetName() + name;
         break;
      case 1:
         name = std::string(in.OneIn(2) ? "ArrayOf" : "") + real->GetWsdlName() + (in.OneIn(2) ? "" : name);
         break;
      case 2:
         name = std::string(real->GetName()) + "[]" + (in.OneIn(2) ? "" : "[]");
         break;
      default:
         break;
      }
      for (Type* t : {registry.FindByName(name), registry.FindByWsdlName(name)}) {
         if (t != nullptr && t->IsArray() && t->GetItemType()->IsArray()) {
            Finding("the registry answers an array of arrays for \"" + name + "\"");
         }
      }
      (void)registry.FindDataObjectType(name);
      (void)registry.FindEnumType(name);
      const PropertyRef found = type->FindProperty(name);
      if (found && std::string_view(found.record->name) != name) {
         Finding("FindProperty(\"" + name + "\") answers " + found.record->name);
      }
      Try(nullptr, Expect::Refused, "GetOwnProperty", [&] { (void)type->GetOwnProperty(-1 - in.Byte()); });
      Try(nullptr, Expect::Refused, "GetOwnProperty",
          [&] { (void)type->GetOwnProperty(type->GetOwnPropertyCount() + in.Byte()); });
   }

   void Fault(const Any* value) {
      const auto* fault = dynamic_cast<const MethodFault*>(value);
      if (fault == nullptr) {
         return;
      }
      const std::unique_ptr<MethodFault::Exception> owned(fault->CreateException());
      const MethodFault::Exception& e = *owned;
      if (e.GetFault() != fault) {
         Finding("the exception of a fault holds another fault");
      }
      CheckNoSecret(e.what(), "a fault's exception message");
      try {
         fault->Throw();
      } catch (const MethodFault::Exception& thrown) {
         if (thrown.GetFault() != fault || typeid(thrown) != typeid(e)) {
            Finding("a fault thrown is not the exception it creates");
         }
      }
   }

   // One input: an object of a type the input picks, then operations until the input is used up.
   void Run() {
      const Catalogue& c = Types();
      const DataObjectType* type = c.data[in.Below(c.data.size())];
      Ref<DynamicData> obj = type->Create();
      for (int steps = 0; steps < 64 && !in.Empty(); ++steps) {
         switch (in.Byte() % 10) {
         case 0:
         case 1:
         case 2:
         case 3:
            Properties(obj.GetPtr(), type);
            break;
         case 4:
            if (!pool.empty()) {
               Elements(pool[in.Below(pool.size())].GetPtr(), nullptr);
            } else if (Ref<Any> array = MakeArray(nullptr)) {
               pool.push_back(array);
            }
            break;
         case 5:
            Enumeration();
            break;
         case 6:
            Lookups(type);
            break;
         case 7: {
            const Any* other = pool.empty() || in.OneIn(3) ? static_cast<const Any*>(obj.GetPtr())
                                                           : pool[in.Below(pool.size())].GetPtr();
            Compare(obj.GetPtr(), other);
            Fault(obj.GetPtr());
            break;
         }
         case 8: // work on a data object of the pool, or a new object of another type
            for (const Ref<Any>& v : pool) {
               if (auto* d = dynamic_cast<DynamicData*>(v.GetPtr()); d != nullptr && in.OneIn(2)) {
                  obj = Ref<DynamicData>(d);
                  type = d->_GetDataType();
                  break;
               }
            }
            break;
         default:
            type = c.data[in.Below(c.data.size())];
            pool.emplace_back(obj.GetPtr());
            obj = type->Create();
         }
      }
      pool.emplace_back(obj.GetPtr());
      for (const Ref<Any>& v : pool) {
         Compare(v.GetPtr(), pool.front().GetPtr());
      }
   }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
   if (Types().data.empty() || Types().enums.empty() || Types().managed.empty() ||
       TypeRegistry::Get().FindByName("quorl.Folder") == nullptr) {
      std::fprintf(stderr, "fuzz: the Quorl types are not registered (is libquorl-types linked?)\n");
      std::abort();
   }
   return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
   Fuzzer{Input(data, size), {}, 0}.Run();
   return 0;
}
