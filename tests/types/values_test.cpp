// Generated data-object classes beyond what the per-property conformance test checks: reference counts
// and refusals of the reflection accessors (values a field cannot hold, slots of the wrong type, reset of
// every reference), installed arrays and optional booleans, nested objects copied as their most-derived
// class, the order of difference paths, equality agreeing with difference on every class, deduplicated
// strings, and secrets nested in other values.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "example_value.h"
#include "ormid/Primitive.h"
#include "ormid/Property.h"
#include "ormid/Registry.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReasonUser.h"
#include "quorl/fault/AdminDisabled.h"
#include "quorl/host/PatchManager.h"
#include "quorl/vm/BootOptions.h"
#include "quorl/vm/device/VirtualDevice.h"
#include "quorl/vm/device/VirtualDisk.h"

namespace {

using Pellum::Ref;
using Quorl::Vm::Device::VirtualDevice;
using Quorl::Vm::Device::VirtualDisk;

std::vector<std::string> Paths(const Ormid::PropertyDiffSet& diffs) {
   return {diffs.begin(), diffs.end()};
}

TEST(Reflection, ReferencesNarrowAndCount) {
   using Quorl::TaskInfo;
   Ormid::DataObjectType* t = Ormid::GetDoType<TaskInfo>();
   const int reason = t->FindOwnProperty("reason");
   Ref<TaskInfo> info(new TaskInfo());
   Ref<Quorl::TaskReason> held(new Quorl::TaskReason());
   t->SetField(info.GetPtr(), reason, static_cast<Ormid::Any*>(held.GetPtr()));
   // Storing what the field already holds is safe.
   t->SetField(info.GetPtr(), reason, static_cast<Ormid::Any*>(held.GetPtr()));
   EXPECT_EQ(held->GetRefCount(), 2);

   // getField: the slot takes a new reference and drops the one it held.
   Ref<Ormid::Any> previous(new Quorl::TaskReason());
   Ref<Ormid::Any> slot = previous;
   t->GetField(info.GetPtr(), reason, &slot);
   EXPECT_EQ(slot.GetPtr(), held.GetPtr());
   EXPECT_EQ(held->GetRefCount(), 3);
   EXPECT_EQ(previous->GetRefCount(), 1);
   slot.Reset();

   // A value of another class is refused with a type mismatch naming both classes; the field is unchanged.
   Ref<Ormid::Any> notAReason(new Ormid::KeyAnyValue());
   try {
      t->SetField(info.GetPtr(), reason, notAReason.GetPtr());
      ADD_FAILURE();
   } catch (const Pellum::TypeMismatchException& e) {
      EXPECT_EQ(e.GetExpected(), typeid(Quorl::TaskReason));
      EXPECT_EQ(e.GetActual(), typeid(Ormid::KeyAnyValue));
   }
   EXPECT_EQ(info->reason.GetPtr(), held.GetPtr());

   // swapField exchanges the pointers without changing a count; a slot of another class is refused before
   // anything moves.
   Ref<Ormid::Any> other(new Quorl::TaskReasonUser());
   t->SwapField(info.GetPtr(), reason, &other);
   EXPECT_EQ(other.GetPtr(), static_cast<Ormid::Any*>(held.GetPtr()));
   EXPECT_EQ(held->GetRefCount(), 2);
   EXPECT_EQ(info->reason->GetRefCount(), 1);
   Quorl::TaskReason* kept = info->reason.GetPtr();
   EXPECT_THROW(t->SwapField(info.GetPtr(), reason, &notAReason), Pellum::TypeMismatchException);
   EXPECT_EQ(info->reason.GetPtr(), kept);
   EXPECT_EQ(notAReason->GetRefCount(), 1);

   // Null stores null and releases the old object; a required reference answers isSet false while null.
   const int task = t->FindOwnProperty("task");
   Ref<Ormid::MoRef> ref(new Ormid::MoRef("quorl.Task", "task-1"));
   t->SetField(info.GetPtr(), task, static_cast<Ormid::Any*>(ref.GetPtr()));
   t->SetField(info.GetPtr(), task, nullptr);
   EXPECT_FALSE(t->IsSet(info.GetPtr(), task));
   EXPECT_EQ(ref->GetRefCount(), 1);
}

Ormid::DataObjectType& DataType(const char* name) {
   auto* type = dynamic_cast<Ormid::DataObjectType*>(Ormid::TypeRegistry::Get().FindByName(name));
   if (type == nullptr) {
      throw std::runtime_error(std::string(name) + " is not a registered data type");
   }
   return *type;
}

// Actions on a property: typed (Ormid::Property) or, for bytes no typed value can carry, raw.
using Action = std::function<void(const Ormid::Property&, Ormid::DynamicData*)>;
template <class T> Action Set(T value) {
   return [value](const Ormid::Property& p, Ormid::DynamicData* o) { p.Set(o, value); };
}
template <class T> Action Swap(T value) {
   return [value](const Ormid::Property& p, Ormid::DynamicData* o) {
      T io = value;
      p.Swap(o, io);
   };
}
Action RawByte(signed char byte, bool swap) {
   return [byte, swap](const Ormid::Property& p, Ormid::DynamicData* o) {
      signed char io = byte;
      swap ? p.GetOwner().SwapField(o, p.GetIndex(), &io) : p.GetOwner().SetField(o, p.GetIndex(), &io);
   };
}
const Action kReset = [](const Ormid::Property& p, Ormid::DynamicData* o) { p.Reset(o); };
Ref<Ormid::Any> MoRef(const char* type, const char* id) {
   return Ref<Ormid::Any>(new Ormid::MoRef(type, id));
}

TEST(Reflection, FieldsRefuseWhatTheyCannotHoldAndNothingChanges) {
   // Each row acts on an example of the type (every property set): a refused action names the reason and
   // leaves the object equal to a copy taken before; an accepted one changes it.
   const struct {
      const char* type;
      const char* property;
      Action act;
      const char* refusal; // part of the message; null when accepted
   } rows[] = {
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(-2, false), "byte -2"},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(7, true), "byte 7"},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RawByte(0, false), nullptr},
       {"quorl.TaskInfo", "cancelled", RawByte(7, false), "byte 7"},
       {"quorl.TaskInfo", "cancelled", Set(false), nullptr},
       {"quorl.TaskInfo", "state", Set(99), "ordinal 99"},
       {"quorl.TaskInfo", "state", Swap(-1), "ordinal -1"},
       {"quorl.TaskInfo", "state", Set(3), nullptr},
       {"quorl.vm.device.VirtualDeviceSpec", "operation", Swap(Pellum::Optional<int>(3)), "ordinal 3"},
       {"quorl.vm.device.VirtualDeviceSpec", "operation", kReset, nullptr},
       // A managed-object reference of a registered type must be of the property's type or derive from it.
       {"quorl.TaskInfo", "task", Set(MoRef("quorl.Datastore", "d-1")),
        "quorl.Datastore:d-1 where quorl.Task"},
       {"quorl.TaskInfo", "entity", Swap(MoRef("quorl.Task", "t-1")), "where quorl.ManagedEntity"},
       {"quorl.TaskInfo", "entity", Set(MoRef("quorl.VirtualMachine", "vm-1")), nullptr},
       {"quorl.TaskInfo", "task", Set(MoRef("quorl.Later", "x-1")), nullptr},
       {"quorl.fault.MisfeaturedHostsBlockingQUAM", "badHardwareHosts",
        Set(Ref<Ormid::Any>(new Ormid::DataArray<Ormid::MoRef>{new Ormid::MoRef("quorl.HostSystem", "host-1"),
                                                               new Ormid::MoRef("quorl.Folder", "group-1")})),
        "quorl.Folder:group-1 where quorl.HostSystem"},
       // A deduplicated string is an optional string to the typed layer, never its handle.
       {"quorl.host.PatchManager.Result", "xmlResult", Swap(Pellum::Deduplicated<std::string>()),
        "type mismatch"},
       {"quorl.host.PatchManager.Result", "xmlResult", Swap(Pellum::Optional<std::string>("<x/>")), nullptr},
       // Reset is there for every reference, on classes with and without optional properties alike.
       {"quorl.TaskReasonAlarm", "alarm", kReset, nullptr},
       {"quorl.TaskInfo", "task", kReset, nullptr},
       {"quorl.TaskInfo", "key", kReset, "cannot be unset"},
   };
   for (const auto& row : rows) {
      const Ormid::Property property(DataType(row.type), row.property);
      Ref<Ormid::DynamicData> value = quorl_types::BuildExampleValue(
          DataType(row.type), {.depth = 1, .optionals = true, .complete = true, .edgeValues = false});
      Ref<Ormid::Any> before(value->_Clone());
      const std::string what = std::string(row.type) + "." + row.property;
      try {
         row.act(property, value.GetPtr());
         EXPECT_EQ(row.refusal, nullptr) << what << ": accepted";
         EXPECT_FALSE(Ormid::AreEqual(before.GetPtr(), value.GetPtr())) << what << ": unchanged";
      } catch (const Pellum::Exception& e) {
         EXPECT_NE(std::string(e.what()).find(row.refusal ? row.refusal : "(accepted)"), std::string::npos)
             << what << ": " << e.what();
         EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), value.GetPtr())) << what << ": changed";
      }
   }
}

// Whether a typed value stands for a set property: a set optional, a reference to something other than
// an empty array, any plain value.
template <class V> bool HasValue(const V& v) {
   if constexpr (Ormid::Detail::RefTarget<V>::value) {
      return !Ormid::IsNullOrEmptyArray(v.GetPtr());
   } else if constexpr (Ormid::Detail::OptionalValue<V>::value) {
      return v.IsSet();
   } else {
      return true;
   }
}
template <class V> bool Same(const V& a, const V& b) {
   if constexpr (Ormid::Detail::RefTarget<V>::value) {
      return a.GetPtr() == b.GetPtr();
   } else {
      return a == b;
   }
}

// Sets `a` and reads it back, swaps `b` in, and tries every other value type, which must be refused by
// Get, Set and Swap with the object unchanged.
template <class V> Action RoundTrip(V a, V b) {
   return [a, b](const Ormid::Property& p, Ormid::DynamicData* o) {
      EXPECT_EQ(p.GetValueType(), Ormid::Detail::RefTarget<V>::value ? typeid(Ref<Ormid::Any>) : typeid(V));
      p.Set(o, a);
      EXPECT_TRUE(Same(p.Get<V>(o), a));
      EXPECT_EQ(p.IsSet(o), HasValue(a));
      EXPECT_EQ(p.Visit(o, [](const auto&) {}), HasValue(a));
      V io = b;
      p.Swap(o, io);
      EXPECT_TRUE(Same(io, a));
      EXPECT_TRUE(Same(p.Get<V>(o), b));
      Ref<Ormid::Any> before(o->_Clone());
      auto refused = [&]<class W>() {
         if constexpr (!std::is_same_v<W, V>) {
            if (p.Takes<W>()) {
               return; // another Ref<X>: checked by the class of the value
            }
            W w{};
            EXPECT_THROW(p.Get<W>(o), Pellum::TypeMismatchException) << typeid(W).name();
            EXPECT_THROW(p.Set(o, w), Pellum::TypeMismatchException) << typeid(W).name();
            EXPECT_THROW(p.Swap(o, w), Pellum::TypeMismatchException) << typeid(W).name();
            EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), o)) << typeid(W).name();
         }
      };
      refused.template operator()<bool>();
      refused.template operator()<signed char>();
      refused.template operator()<int>();
      refused.template operator()<long>();
      refused.template operator()<std::string>();
      refused.template operator()<Pellum::System::DateTime>();
      refused.template operator()<Pellum::Optional<bool>>();
      refused.template operator()<Pellum::Optional<int>>();
      refused.template operator()<Pellum::Optional<std::string>>();
      refused.template operator()<Pellum::Deduplicated<std::string>>();
      refused.template operator()<Ref<Ormid::Any>>();
      if constexpr (Ormid::Detail::RefTarget<V>::value) {
         // A value of another class is refused both ways; nothing moves.
         if (p.GetKind() != Ormid::FieldKind::Any) {
            EXPECT_ANY_THROW(p.Set(o, Ref<Ormid::Any>(new Ormid::LocalizableMessage())));
         }
         Ref<Ormid::LocalizableMessage> narrow;
         if (p.Get<Ref<Ormid::Any>>(o) != nullptr) {
            EXPECT_THROW(p.Swap(o, narrow), Pellum::TypeMismatchException);
         }
         EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), o));
      }
   };
}

TEST(Reflection, TypedPropertiesOnEveryStorageKind) {
   using Pellum::Optional;
   using Pellum::System::DateTime;
   using Devices = Ormid::DataArray<Quorl::Vm::BootOptions::BootableDevice>;
   const struct {
      const char* type;
      const char* property;
      Action check;
   } rows[] = {
       {"quorl.TaskInfo", "eventChainId", RoundTrip(7, -1)},
       {"quorl.TaskInfo", "state", RoundTrip(2, 0)},
       {"quorl.TaskInfo", "key", RoundTrip<std::string>("task-9", "")},
       {"quorl.TaskInfo", "queueTime",
        RoundTrip(DateTime::FromUtcTime(1'700'000'000'000'000, 60), DateTime::FromUtcTime(0))},
       {"quorl.TaskInfo", "startTime", RoundTrip(Optional<DateTime>(DateTime::FromUtcTime(5)), {})},
       {"quorl.vm.BootOptions", "bootDelay", RoundTrip(Optional<long>(500), {})},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RoundTrip(Optional<bool>(false), Optional<bool>(true))},
       {"quorl.vm.BootOptions", "enterBIOSSetup", RoundTrip(Optional<bool>(true), {})},
       {"quorl.host.PatchManager.Result", "xmlResult", RoundTrip(Optional<std::string>("<x/>"), {})},
       {"quorl.TaskInfo", "reason",
        RoundTrip(Ref<Quorl::TaskReason>(new Quorl::TaskReasonUser()), Ref<Quorl::TaskReason>())},
       {"quorl.TaskInfo", "task", RoundTrip(MoRef("quorl.Task", "t-1"), {})},
       {"quorl.TaskInfo", "result", RoundTrip(Ormid::Box(42), Ref<Ormid::Any>(new Ormid::KeyAnyValue()))},
       {"quorl.vm.BootOptions", "bootOrder",
        RoundTrip(Ref<Devices>(new Devices{new Quorl::Vm::BootOptions::BootableDevice()}),
                  Ref<Devices>(new Devices()))},
   };
   for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.type) + "." + row.property);
      const Ormid::Property property(DataType(row.type), row.property);
      row.check(property, quorl_types::BuildExampleValue(DataType(row.type), {.optionals = true}).GetPtr());
   }
   // A property is found on a derived class too; an object of an unrelated class is refused.
   const Ormid::Property key(DataType("quorl.vm.device.VirtualDevice"), "key");
   EXPECT_EQ(key.Get<int>(Ref<VirtualDisk>(new VirtualDisk()).GetPtr()), 0);
   EXPECT_THROW(key.Get<int>(Ref<Quorl::TaskInfo>(new Quorl::TaskInfo()).GetPtr()), Pellum::Exception);
   EXPECT_THROW(Ormid::Property(DataType("quorl.TaskInfo"), "nosuch"), Pellum::Exception);
}

TEST(DataObject, CopiesCloneNestedObjectsAsTheirOwnClassAndShareReferences) {
   Ref<VirtualDevice> dev(new VirtualDevice());
   Ref<Ormid::MoRef> datastore(new Ormid::MoRef("quorl.Datastore", "ds-1"));
   Ref<VirtualDevice::FileBackingInfo> backing(new VirtualDevice::FileBackingInfo());
   backing->fileName = "[ds1] web/web.vmdk";
   backing->datastore = datastore;
   dev->backing = backing; // held through its base class BackingInfo
   Ref<VirtualDevice::BackingInfo> old(new VirtualDevice::BackingInfo());
   // The copy constructor, and CopyFrom into an object that holds values of its own.
   for (bool into : {false, true}) {
      Ref<VirtualDevice> copy(into ? new VirtualDevice() : static_cast<VirtualDevice*>(dev->_Clone()));
      if (into) {
         copy->backing = old;
         copy->unitNumber.Set(3);
         copy->CopyFrom(*dev);
         EXPECT_EQ(old->GetRefCount(), 1) << "the value the field held is released";
         EXPECT_FALSE(copy->unitNumber.IsSet());
      }
      auto* copiedBacking = dynamic_cast<VirtualDevice::FileBackingInfo*>(copy->backing.GetPtr());
      ASSERT_NE(copiedBacking, nullptr) << "the nested object lost its class";
      EXPECT_NE(copiedBacking, backing.GetPtr());
      EXPECT_EQ(copiedBacking->fileName, "[ds1] web/web.vmdk");
      // The managed-object reference inside it is shared, one reference more.
      EXPECT_EQ(copiedBacking->datastore.GetPtr(), datastore.GetPtr());
      EXPECT_EQ(datastore->GetRefCount(), 3);
      // The copy's nested objects are its own.
      copiedBacking->fileName = "[ds1] other.vmdk";
      EXPECT_EQ(backing->fileName, "[ds1] web/web.vmdk");
      EXPECT_EQ(Paths(Ormid::DiffProperties(dev.GetPtr(), copy.GetPtr(), "device")),
                (std::vector<std::string>{"device.backing.fileName"}));
      copy->CopyFrom(*copy);
      EXPECT_EQ(copiedBacking->GetRefCount(), 1) << "copying an object into itself changes nothing";
   }
   EXPECT_EQ(datastore->GetRefCount(), 2);

   // CopyFrom refuses another class and a source in a cycle, and changes nothing then.
   Ref<VirtualDisk> disk(new VirtualDisk());
   Ref<Quorl::Fault::AdminDisabled> cycle(new Quorl::Fault::AdminDisabled());
   cycle->faultCause = cycle;
   Ref<Quorl::Fault::AdminDisabled> fault(new Quorl::Fault::AdminDisabled());
   fault->faultCause = Ref<Quorl::Fault::AdminDisabled>(new Quorl::Fault::AdminDisabled());
   const struct {
      Ormid::DynamicData* to;
      Ormid::DynamicData* from;
      const char* message;
   } refused[] = {
       {dev.GetPtr(), disk.GetPtr(),
        "cannot copy a value of type quorl.vm.device.VirtualDisk into an object of type "
        "quorl.vm.device.VirtualDevice"},
       {disk.GetPtr(), dev.GetPtr(), "of type quorl.vm.device.VirtualDevice into"},
       {fault.GetPtr(), cycle.GetPtr(),
        "cannot copy a value of type quorl.fault.AdminDisabled that holds itself"},
   };
   for (const auto& row : refused) {
      Ref<Ormid::Any> before(row.to->_Clone());
      try {
         row.to->CopyFrom(*row.from);
         ADD_FAILURE() << "copied: " << row.message;
      } catch (const Pellum::Exception& e) {
         EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
      }
      EXPECT_TRUE(Ormid::AreEqual(before.GetPtr(), row.to)) << row.message;
   }
   cycle->faultCause.Reset();
}

TEST(ToString, SecretsNeverShowAtAnyDepth) {
   Ref<Quorl::Host::PatchManager::PatchManagerOperationSpec> spec(
       new Quorl::Host::PatchManager::PatchManagerOperationSpec());
   spec->password.Set("s3cr3t-never-rendered");
   Ref<Quorl::TaskInfo> info(new Quorl::TaskInfo());
   info->result = new Ormid::DataArray<Ormid::Any>{spec.GetPtr()};
   const std::string text = info->ToString();
   EXPECT_EQ(text.find("s3cr3t"), std::string::npos) << text;
   EXPECT_NE(text.find("password = ********"), std::string::npos) << text;
}

TEST(Equality, DifferencePathsBaseFirstThenDeclarationOrder) {
   // VirtualDisk: the VirtualDevice fields first, then its own, each group in declaration order.
   Ref<VirtualDisk> a(new VirtualDisk());
   Ref<VirtualDisk> b(new VirtualDisk());
   a->connectable = Ref<VirtualDevice::ConnectInfo>(new VirtualDevice::ConnectInfo());
   b->connectable = Ref<VirtualDevice::ConnectInfo>(new VirtualDevice::ConnectInfo());
   EXPECT_TRUE(Ormid::DiffProperties(a.GetPtr(), b.GetPtr(), "disk").empty());
   b->guestReadOnly = 0;
   b->GetIofilter()->Append("encrypt");
   a->GetIofilter()->Append("cache");
   b->ZindCacheConfigInfo_ = Ref<VirtualDisk::ZindCacheConfigInfo>(new VirtualDisk::ZindCacheConfigInfo());
   b->capacityInKB = 1024;
   b->unitNumber.Set(1);
   b->connectable->startConnected = true;
   b->key = 2000;
   Ormid::PropertyDiffSet diffs;
   a->_DiffProperties(b.GetPtr(), "disk", diffs);
   EXPECT_EQ(Paths(diffs),
             (std::vector<std::string>{"disk.key", "disk.connectable.startConnected", "disk.unitNumber",
                                       "disk.capacityInKB", "disk.ZindCacheConfigInfo", "disk.iofilter",
                                       "disk.guestReadOnly"}));
   // Through the runtime's entry point the prefix is the same; the order does not depend on the side.
   EXPECT_EQ(Paths(Ormid::DiffProperties(b.GetPtr(), a.GetPtr(), "disk")), Paths(diffs));
}

TEST(Deduplicated, XmlResultEntriesFollowTheirContents) {
   using Result = Quorl::Host::PatchManager::Result;
   auto& table = Pellum::Deduplicated<std::string>::_dedupTable;
   Ormid::DataObjectType* type = Ormid::GetDoType<Result>();
   const std::string xml = "<patch id=\"values-test\"/>";
   Ref<Result> a(new Result());
   Ref<Result> b(new Result());
   type->SetField(a.GetPtr(), 0, &xml);
   type->SetField(b.GetPtr(), 0, &xml);
   const auto* entry = a->xmlResult.GetEntry();
   ASSERT_NE(entry, nullptr);
   EXPECT_EQ(entry->UseCount(), 2);
   // Setting the contents the field already holds keeps its entry.
   type->SetField(a.GetPtr(), 0, &xml);
   EXPECT_EQ(a->xmlResult.GetEntry(), entry);
   EXPECT_EQ(entry->UseCount(), 2);
   b.Reset();

   // A copy shares the entry; the entry goes away with its last holder.
   Ref<Result> copy(static_cast<Result*>(a->_Clone()));
   EXPECT_EQ(copy->xmlResult.GetEntry(), entry);
   a.Reset();
   EXPECT_EQ(table.EntryFor(xml), entry);
   copy.Reset();
   EXPECT_FALSE(table.Contains(xml));
}

// Copies property `index` of `owner` from `from` into `to` through the accessors: getFieldPtr answers the
// stored value (the Ormid::Any* of a reference) in the form setField takes, or null when it is unset.
void CopyProperty(const Ormid::DataObjectType& owner, int index, const Ormid::PropertyRecord& record,
                  Ormid::DynamicData* from, Ormid::DynamicData* to) {
   if (const void* value = owner.GetFieldPtr(from, index)) {
      owner.SetField(to, index, value);
   } else if ((record.flags & Ormid::PropertyFlags::Optional) != 0 ||
              Ormid::IsReferenceKind(Ormid::GetFieldKind(record))) {
      owner.Reset(to, index);
   }
}

TEST(Equality, AgreesWithTheDifferenceOnRandomPairsOfEveryClass) {
   // Pairs of values of every data object and fault: mixes of three examples (plain values, edge values,
   // required properties only), property by property. Equal exactly when no path differs, either way round.
   // Each second value is also copied into a new object (CopyFrom) and its set properties listed.
   std::mt19937 random(20261206);
   const quorl_types::ExampleOptions variants[] = {
       {.depth = 1, .optionals = true, .complete = true, .edgeValues = false},
       {.depth = 1, .optionals = true, .complete = true, .edgeValues = true},
       {.depth = 0, .optionals = false, .complete = true, .edgeValues = false},
   };
   int classes = 0, equalPairs = 0, unequalPairs = 0, failures = 0;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (!t->IsDataObject()) {
         continue;
      }
      ++classes;
      const auto& type = *static_cast<Ormid::DataObjectType*>(t);
      std::vector<Ref<Ormid::DynamicData>> examples;
      for (const auto& options : variants) {
         examples.push_back(quorl_types::BuildExampleValue(type, options));
      }
      auto pick = [&] { return examples[random() % examples.size()].GetPtr(); };
      for (int pair = 0; pair < 4; ++pair) {
         Ref<Ormid::DynamicData> a(static_cast<Ormid::DynamicData*>(pick()->_Clone()));
         Ref<Ormid::DynamicData> b(
             static_cast<Ormid::DynamicData*>((random() % 2 ? a.GetPtr() : pick())->_Clone()));
         type.ForEachProperty(
             [&](const Ormid::DataObjectType* owner, int index, const Ormid::PropertyRecord& record) {
                if (random() % 4 == 0) {
                   CopyProperty(*owner, index, record, pick(), b.GetPtr());
                }
             });
         // A copy into an existing object equals its source and has the same properties set, listed in one
         // pass as by each property's checked isSet.
         Ref<Ormid::DynamicData> into = type.Create();
         into->CopyFrom(*b);
         std::vector<const Ormid::PropertyRecord*> set, setOneByOne;
         type.ForEachSetProperty(into.GetPtr(),
                                 [&](auto*, int, const auto& record) { set.push_back(&record); });
         type.ForEachProperty([&](const Ormid::DataObjectType* owner, int index, const auto& record) {
            if (owner->IsSet(b.GetPtr(), index)) {
               setOneByOne.push_back(&record);
            }
         });
         if ((!Ormid::AreEqual(into.GetPtr(), b.GetPtr()) || set != setOneByOne) && ++failures <= 10) {
            ADD_FAILURE() << t->GetName() << ": CopyFrom or ForEachSetProperty\n" << b->ToString();
         }
         for (bool swapped : {false, true}) {
            const Ormid::Any* x = swapped ? b.GetPtr() : a.GetPtr();
            const Ormid::Any* y = swapped ? a.GetPtr() : b.GetPtr();
            const bool equal = Ormid::AreEqual(x, y);
            const Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(x, y);
            (equal ? equalPairs : unequalPairs)++;
            if (equal != diffs.empty() && ++failures <= 10) {
               ADD_FAILURE() << t->GetName() << ": "
                             << (equal ? "equal, yet differing at\n" : "unequal, yet no path")
                             << diffs.ToString() << "\n"
                             << x->ToString() << "\n"
                             << y->ToString();
            }
         }
      }
   }
   EXPECT_EQ(failures, 0);
   EXPECT_GT(classes, 2000);
   // Both answers occur often.
   EXPECT_GT(equalPairs, classes / 2);
   EXPECT_GT(unequalPairs, classes * 2);
}

} // namespace
