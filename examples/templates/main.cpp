// Every template the installed hand-written headers declare, instantiated once with a representative
// type of the generated library and run: a template whose body needs a helper that no installed library
// exports fails to link here. scripts/public_templates.py --check names any template this file does not
// mention. Templates reached only through another one are named in the comment of the call that
// instantiates them.
#include <cstdio>
#include <string>
#include <utility>

#include "ormid/Ormid.h"
#include "ormid/Property.h"
#include "pellum/Deduplicated.h"
#include "pellum/Print.h"
#include "quorl/TaskInfo.h"
#include "quorl/VirtualMachineStub.h"
#include "quorl/detail/Prelude.h"
#include "quorl/vm/BootOptions.h"
#include "transport/Http.h"

namespace {

using Pellum::Optional;
using Pellum::Ref;
using Quorl::Vm::BootOptions;
using State = Quorl::TaskInfo::State;

int failures = 0;
void Expect(bool ok, const char* what) {
   if (!ok) {
      std::fprintf(stderr, "templates: %s\n", what);
      ++failures;
   }
}

struct Printable {
   std::string ToString() const { return "printable"; }
};

void Pellum_() {
   Ref<BootOptions> boot = Pellum::MakeRef<BootOptions>();
   Ref<Ormid::DynamicData> base(boot); // converting constructor
   Ref<BootOptions> other;
   swap(boot, other);
   Expect(other.GetPtr() == base.GetPtr() && !boot, "Ref swap");
   Optional<long> delay(5);
   Expect(delay.GetValue() == 5, "Optional");
   Expect(Pellum::OptionalLayout<long>::flagOffset == sizeof(long), "OptionalLayout");
   Pellum::Deduplicated<std::string> text;
   text.Set("shared");
   Expect(text.Get() == "shared", "Deduplicated");
   static_assert(Pellum::Detail::HasToString<Printable> && Pellum::Detail::Streamable<int> &&
                 Pellum::Detail::IsRef<Ref<BootOptions>>::value);
   Pellum::PrintFormatter formatter(1, std::string("two"));
   formatter << Printable();
   formatter.Add(2.5);
   Expect(formatter.size() == 4 && Pellum::PrintFormatter::Render(7) == "7",
          "PrintFormatter operator<< Add Render");
   Expect(Pellum::ASPrint("%1-%2", "a", 3) == "a-3", "ASPrint");
}

void Values() {
   // Box, BoxOf, Unbox, Primitive, PrimitiveFactory (the shared boolean boxes).
   Ref<Ormid::Any> boxed = Ormid::Box(State::running);
   Expect(Ormid::Unbox<State>(boxed.GetPtr()) == State::running, "Box/Unbox of an enumeration");
   Ormid::BoxOf<long> box(7L);
   Expect(Ormid::Unbox<bool>(Ormid::Box(true).GetPtr()) && box.GetValue() == 7, "Primitive");
   Expect(Ormid::Detail::PrimitiveFactory<bool>::sTrue != nullptr, "PrimitiveFactory");
   // Array, ArrayElement, DataArray, ItemTypeOf, GetOrCreateArray.
   Ormid::Array<State> states{State::queued, State::success};
   static_assert(sizeof(Ormid::Detail::ArrayElement<bool>::type) == 1);
   Ormid::DataArray<BootOptions> boots{new BootOptions()};
   Expect(states.size() == 2 && boots._GetItemType() == Ormid::ItemTypeOf<BootOptions>(), "Array/DataArray");
   Ref<Ormid::DataArray<BootOptions>> field;
   Expect(Ormid::GetOrCreateArray(field) == field.GetPtr(), "GetOrCreateArray");
   // CloneNested and the generated code's CloneRef.
   Ref<BootOptions> boot(new BootOptions());
   Ref<BootOptions> copy(Quorl::Detail::CloneRef(boot));
   Ref<BootOptions> copy2(Ormid::CloneNested(boot));
   Expect(copy && copy2 && copy.GetPtr() != boot.GetPtr(), "CloneNested/CloneRef");
}

void Types() {
   // GetNoType, GetDoType, GetEnumType, GetMoType, CreateEnumType with EnumTraits and EnumConv.
   Expect(Ormid::GetNoType<int>() != nullptr && Ormid::GetDoType<BootOptions>() != nullptr &&
              Ormid::GetEnumType<State>() != nullptr && Ormid::GetMoType<Quorl::VirtualMachine>() != nullptr,
          "type lookups");
   const Ormid::EnumType* state = Ormid::GetEnumType<State>();
   Ormid::EnumType* again = Ormid::CreateEnumType<State>(state->GetInfo());
   Expect(Ormid::EnumTraits<State>::funcs.box == Ormid::EnumConv<State>::kFuncs.box &&
              again->GetValueCount() == state->GetValueCount(),
          "CreateEnumType");
   delete again;
   int count = 0;
   Ormid::GetDoType<BootOptions>()->ForEachProperty([&](auto*, int, const auto&) { ++count; });
   Expect(count > 0, "ForEachProperty");
   Ref<BootOptions> delayed(new BootOptions());
   delayed->bootDelay.Set(5);
   Expect(Ormid::GetDoType<BootOptions>()->ForEachSetProperty(delayed.GetPtr(),
                                                              [](auto*, int, const auto&) {}) == 1,
          "ForEachSetProperty");
   // Property: Get, Set, Swap, Takes, Visit (through them CheckValue, Narrow, SwapThroughCopy, and
   // the traits RefTarget, OptionalValue, PlainKindOf).
   Ref<BootOptions> boot(new BootOptions());
   const Ormid::Property delay(*Ormid::GetDoType<BootOptions>(), "bootDelay");
   delay.Set(boot.GetPtr(), Optional<long>(500));
   Optional<long> io(7);
   delay.Swap(boot.GetPtr(), io);
   static_assert(Ormid::Detail::PlainKindOf<long>() == Ormid::FieldKind::Long &&
                 Ormid::Detail::OptionalValue<Optional<long>>::value &&
                 Ormid::Detail::RefTarget<Ref<BootOptions>>::value);
   // The raw slots, typed: GetFieldAs, SetFieldAs, SwapFieldAs.
   Ormid::DataObjectType* type = Ormid::GetDoType<BootOptions>();
   const int delayIndex = type->FindOwnProperty("bootDelay");
   long raw = 9;
   type->SetFieldAs(boot.GetPtr(), delayIndex, raw);
   type->GetFieldAs(boot.GetPtr(), delayIndex, raw);
   Optional<long> rawWhole(7);
   type->SwapFieldAs(boot.GetPtr(), delayIndex, rawWhole);
   Expect(raw == 9 && rawWhole.GetValue() == 9, "GetFieldAs SetFieldAs SwapFieldAs");
   const Ormid::Property order(*Ormid::GetDoType<BootOptions>(), "bootOrder");
   Ref<Ormid::DataArray<BootOptions::BootableDevice>> devices;
   order.Swap(boot.GetPtr(), devices);
   Expect(delay.Takes<Optional<long>>() && delay.Get<Optional<long>>(boot.GetPtr()).GetValue() == 7 &&
              io.GetValue() == 500 && order.Get<Ref<Ormid::Any>>(boot.GetPtr()) &&
              delay.Visit(boot.GetPtr(), [](const auto&) {}),
          "Property");
}

// FieldAccess.h: the building blocks of the generated accessors, on fields of every storage shape.
void FieldAccess() {
   namespace F = Ormid::Field;
   int plain = 1, in = 2, out = 0;
   F::SetValue(plain, &in);
   F::SwapValue(plain, &out);
   F::GetValue(plain, &out);
   Expect(out == 0 && F::ValuePtr(plain) == &plain, "GetValue SetValue SwapValue ValuePtr");
   Optional<int> opt;
   Optional<int> whole(4);
   F::SetOptional(opt, &in);
   F::GetOptional(opt, &out);
   F::SwapOptional(opt, &whole);
   Expect(F::IsSetOptional(opt) && F::OptionalPtr(opt) != nullptr && out == 2, "Optional accessors");
   F::ResetOptional(opt);
   Expect(F::MatchOptional(opt, opt, false) && !F::DiffersOptional(opt, opt),
          "MatchOptional DiffersOptional");
   Ref<BootOptions> ref;
   Ref<Ormid::Any> slot(new BootOptions());
   F::SetRef(ref, slot.GetPtr());
   F::SwapRef(ref, &slot);
   F::GetRef(ref, &slot);
   Expect(F::IsSetRef(ref) && F::RefPtr(ref) != nullptr && F::Narrow<BootOptions>(slot.GetPtr()),
          "Ref accessors");
   F::ResetRef(ref);
   Ref<Ormid::MoRef> vm;
   Ref<Ormid::Any> vmRef(new Ormid::MoRef("quorl.VirtualMachine", "vm-1"));
   F::SetMoRef(vm, vmRef.GetPtr(), "quorl.VirtualMachine");
   F::SwapMoRef(vm, &vmRef, "quorl.VirtualMachine");
   Ref<Ormid::DataArray<BootOptions>> array;
   F::GetArray(Ormid::GetOrCreateArray(array), &slot);
   Expect(!F::IsSetArray(array) && F::ArrayPtr(array) == nullptr, "array accessors");
}

void Stubs() {
   Ref<Ormid::LoopbackAdapter> loopback(new Ormid::LoopbackAdapter());
   Ref<Ormid::MoRef> ref(new Ormid::MoRef("quorl.VirtualMachine", "vm-1"));
   // CreateStub through both adapters' GetStub; NarrowCast, NarrowArray, UnboxOptional, BoxOptional.
   Ref<Quorl::VirtualMachineStub> stub = loopback->GetStub<Quorl::VirtualMachineStub>(ref.GetPtr());
   Ref<Quorl::VirtualMachine> direct =
       Ormid::CreateStub<Quorl::VirtualMachine>(ref.GetPtr(), loopback.GetPtr());
   Transport::ClientOptions options;
   options.tls = false;
   Ref<Transport::HttpClientAdapter> http(new Transport::HttpClientAdapter(options));
   Ref<Quorl::VirtualMachineStub> remote = http->GetStub<Quorl::VirtualMachineStub>(ref.GetPtr());
   Ref<Ormid::Any> boot(new BootOptions());
   Expect(stub && direct && remote && Ormid::NarrowCast<BootOptions>(boot.GetPtr()) &&
              Ormid::NarrowArray<Ormid::DataArray<BootOptions>>(nullptr) &&
              Ormid::UnboxOptional<long>(Ormid::BoxOptional(Optional<long>(3)).GetPtr()).GetValue() == 3,
          "stubs and conversions");
}

} // namespace

int main() {
   try {
      Pellum_();
      Values();
      Types();
      FieldAccess();
      Stubs();
   } catch (const std::exception& e) {
      std::fprintf(stderr, "templates: %s\n", e.what());
      return 1;
   }
   if (failures == 0) {
      std::printf("templates: every public template instantiated, linked and run\n");
   }
   return failures == 0 ? 0 : 1;
}
