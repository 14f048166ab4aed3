// Writes the seed corpora of the fuzz targets: documents the codec itself writes, for the default version.
//   fuzz_seeds DIR   writes DIR/decode_xml, DIR/decode_json, DIR/decode_request, DIR/decode_response
// Values come from the tool's example builder (tools/quorl-types/example_value.h) and a few hand-made
// boxes and arrays; a document over kMaxSeed bytes is written from a smaller example or left out.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "example_value.h"
#include "ormid/Array.h"
#include "ormid/Enum.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Registry.h"
#include "pellum/System/DateTime.h"
#include "response_methods.h"
#include "wire/Codec.h"

namespace {

using Ormid::Any;
using Pellum::Ref;
namespace fs = std::filesystem;

constexpr std::size_t kMaxSeed = 4096;

Ormid::Type& TypeNamed(const char* name) {
   Ormid::Type* type = Ormid::TypeRegistry::Get().FindByName(name);
   if (type == nullptr) {
      throw std::runtime_error(std::string(name) + " is not registered");
   }
   return *type;
}

const Ormid::DataObjectType& DataType(const Ormid::Type& type) {
   return dynamic_cast<const Ormid::DataObjectType&>(type);
}

// An example of a data object or fault: the fullest of a few variants whose XML stays under kMaxSeed.
Ref<Any> Example(const Ormid::Type& type, bool edge = false) {
   const quorl_types::ExampleOptions variants[] = {
       {.depth = 1, .optionals = true, .complete = true, .edgeValues = edge},
       {.depth = 0, .optionals = true, .complete = true, .edgeValues = edge},
       {.depth = 0, .optionals = false, .complete = true, .edgeValues = edge},
   };
   Ref<Any> value;
   for (const auto& options : variants) {
      value = Ref<Any>(quorl_types::BuildExampleValue(DataType(type), options).GetPtr());
      if (Wire::EncodeXml(value.GetPtr()).size() <= kMaxSeed - 512) { // room for an envelope
         break;
      }
   }
   return value;
}

// One value of `type` as a call carries it: boxed for plain kinds.
Ref<Any> Sample(const Ormid::Type& type) {
   using Pellum::System::DateTime;
   switch (type.GetKind()) {
   case Ormid::KindBool:
      return Ormid::Box(true);
   case Ormid::KindByte:
      return Ormid::Box(static_cast<signed char>(-128));
   case Ormid::KindShort:
      return Ormid::Box(static_cast<short>(32767));
   case Ormid::KindInt:
      return Ormid::Box(42);
   case Ormid::KindLong:
      return Ormid::Box(-9000000000L);
   case Ormid::KindFloat:
      return Ormid::Box(0.1f);
   case Ormid::KindDouble:
      return Ormid::Box(-1.5e300);
   case Ormid::KindString:
      return Ormid::Box(std::string("text <with> & \"markup\"\r\n\tand \xc3\xa9"));
   case Ormid::KindBinary:
      return Ormid::Box(std::vector<unsigned char>{0, 1, 0x7f, 0x80, 0xfe, 0xff});
   case Ormid::KindDateTime:
      return Ormid::Box(DateTime::FromUtcTime(1733411143123456LL));
   case Ormid::KindEnum: {
      const auto& e = static_cast<const Ormid::EnumType&>(type);
      return Ref<Any>(e.GetFuncs().box(e.GetValueCount() - 1));
   }
   case Ormid::KindManaged:
      return Ref<Any>(new Ormid::MoRef(&type, "obj-1"));
   case Ormid::KindAny:
      return Ormid::Box(7);
   default:
      if (type.IsDataObject()) {
         return Example(type);
      }
      throw std::runtime_error(std::string("no sample of ") + type.GetName());
   }
}

// Two values of `item` in an array, as a call carries it.
Ref<Any> SampleArray(const Ormid::Type& item) {
   switch (item.GetKind()) {
   case Ormid::KindBool:
      return Ref<Any>(new Ormid::Array<bool>{true, false});
   case Ormid::KindInt:
      return Ref<Any>(new Ormid::Array<int>{-2147483647 - 1, 4095});
   case Ormid::KindLong:
      return Ref<Any>(new Ormid::Array<long>{0, 9223372036854775807L});
   case Ormid::KindString:
      return Ref<Any>(new Ormid::Array<std::string>{"", "Folder.Create"});
   case Ormid::KindEnum: {
      const auto& e = static_cast<const Ormid::EnumType&>(item);
      Ref<Any> array(e.GetFuncs().createArray());
      static_cast<Ormid::Array<int>*>(array.GetPtr())->Append(0);
      static_cast<Ormid::Array<int>*>(array.GetPtr())->Append(e.GetValueCount() - 1);
      return array;
   }
   case Ormid::KindManaged: {
      auto array = Ref<Ormid::DataArray<Ormid::MoRef>>(new Ormid::DataArray<Ormid::MoRef>());
      array->Append(new Ormid::MoRef(&item, "obj-1"));
      array->Append(new Ormid::MoRef(&item, "obj-2"));
      return Ref<Any>(array.GetPtr());
   }
   default:
      if (item.IsDataObject()) {
         Ref<Ormid::DataArrayBase> array = DataType(item).CreateArray();
         array->AppendAny(Example(item).GetPtr());
         return Ref<Any>(array.GetPtr());
      }
      throw std::runtime_error(std::string("no sample array of ") + item.GetName());
   }
}

// A value for a parameter or result record.
Ref<Any> ForRecord(const Ormid::PropertyRecord& record) {
   const Ormid::Type& type = (record.flags & Ormid::PropertyFlags::Link) != 0
                                 ? TypeNamed("string")
                                 : *Ormid::TypeRegistry::Get().FindByHeader(record.type);
   return (record.flags & Ormid::PropertyFlags::Array) != 0 ? SampleArray(type) : Sample(type);
}

const Ormid::ManagedMethod& Method(const char* type, const char* member) {
   const auto& managed = dynamic_cast<const Ormid::ManagedObjectType&>(TypeNamed(type));
   const Ormid::ManagedMethod* method = managed.FindMethod(member);
   if (method == nullptr) {
      method = managed.FindProperty(member);
   }
   if (method == nullptr) {
      throw std::runtime_error(std::string(type) + "." + member + " is not in the schema");
   }
   return *method;
}

class Writer {
public:
   explicit Writer(fs::path dir) : _dir(std::move(dir)) {}

   // Writes `name` into the target's folder, or says why not.
   void Seed(const char* target, const std::string& name, const std::function<std::string()>& make) {
      std::string document;
      try {
         document = make();
      } catch (const std::exception& e) {
         std::fprintf(stderr, "fuzz_seeds: %s/%s left out: %s\n", target, name.c_str(), e.what());
         ++_failures;
         return;
      }
      if (document.size() > kMaxSeed + 1) {
         std::fprintf(stderr, "fuzz_seeds: %s/%s left out: %zu bytes\n", target, name.c_str(),
                      document.size());
         return;
      }
      fs::create_directories(_dir / target);
      std::ofstream(_dir / target / name, std::ios::binary) << document;
      std::printf("%s/%s: %zu bytes\n", target, name.c_str(), document.size());
   }

   int failures() const { return _failures; }

private:
   fs::path _dir;
   int _failures = 0;
};

// The values written on their own, in XML and JSON.
std::vector<std::pair<std::string, Ref<Any>>> Values() {
   using Pellum::System::DateTime;
   auto refs = Ref<Ormid::DataArray<Ormid::MoRef>>(new Ormid::DataArray<Ormid::MoRef>());
   refs->Append(new Ormid::MoRef("quorl.VirtualMachine", "vm-1"));
   refs->Append(new Ormid::MoRef("quorl.Folder", "group-d1 & <x>"));
   auto anys = Ref<Ormid::DataArray<Any>>(new Ormid::DataArray<Any>());
   anys->Append(Ormid::Box(42).GetPtr());
   anys->Append(Ormid::Box(std::string("text")).GetPtr());
   anys->Append(refs->Get(0));
   anys->Append(Example(TypeNamed("quorl.vm.BootOptions")).GetPtr());
   anys->Append(new Ormid::Array<std::string>{"a", "b"});
   const double inf = std::numeric_limits<double>::infinity();
   return {
       {"config-spec", Example(TypeNamed("quorl.vm.ConfigSpec"))},
       {"boot-options-edge", Example(TypeNamed("quorl.vm.BootOptions"), true)},
       {"fault-invalid-power-state", Example(TypeNamed("quorl.fault.InvalidPowerState"))},
       {"event-edge", Example(TypeNamed("quorl.event.Event"), true)},
       {"boxed-int", Ormid::Box(-2147483647 - 1)},
       {"boxed-date-time", Ormid::Box(DateTime::FromUtcTime(253402300799LL * 1000000 + 999999))},
       {"boxed-binary", Ormid::Box(std::vector<unsigned char>{0, 0xfb, 0xff, 0x3e})},
       {"boxed-enum", Sample(TypeNamed("quorl.VirtualMachine.PowerState"))},
       {"doubles", Ref<Any>(new Ormid::Array<double>{0.1, -inf, std::nan(""), 5e-324})},
       {"strings", Ref<Any>(new Ormid::Array<std::string>{"", " lead and trail ", "a\r\nb\tc", "<&>\"'"})},
       {"references", Ref<Any>(refs.GetPtr())},
       {"any-values", Ref<Any>(anys.GetPtr())},
   };
}

struct Call {
   const char* name;
   const char* type;
   const char* member;
   const char* target; // the id of _this
   bool unsetOptionals = false;
};

const Call kCalls[] = {
    {"power-on", "quorl.VirtualMachine", "powerOn", "vm-1"},
    {"power-on-no-host", "quorl.VirtualMachine", "powerOn", "vm-1", true},
    {"reconfigure", "quorl.VirtualMachine", "reconfigure", "vm-1"},
    {"create-folder", "quorl.Folder", "createFolder", "group-v3"},
    {"has-privilege-on-entity", "quorl.AuthorizationManager", "hasPrivilegeOnEntity", "AuthorizationManager"},
    {"update-child-resource-configuration", "quorl.ResourcePool", "updateChildResourceConfiguration",
     "resgroup-9"},
    {"remove-role", "quorl.AuthorizationManager", "removeRole", "AuthorizationManager"},
    {"invoke-transaction-call", "quorl.host.NetworkSystem", "invokeHostTransactionCall", "networkSystem-1"},
    {"retrieve-content", "quorl.ServiceInstance", "retrieveContent", "ServiceInstance"},
    {"fetch-config", "quorl.VirtualMachine", "config", "vm-1"},
};

} // namespace

int main(int argc, char** argv) {
   if (argc != 2) {
      std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
      return 2;
   }
   Writer out(argv[1]);

   for (const auto& [name, value] : Values()) {
      const Any* v = value.GetPtr();
      out.Seed("decode_xml", name + ".xml", [v] { return Wire::EncodeXml(v); });
      out.Seed("decode_json", name + ".json", [v] { return Wire::EncodeJson(v); });
   }

   for (const Call& call : kCalls) {
      out.Seed("decode_request", std::string(call.name) + ".xml", [&call] {
         const Ormid::ManagedMethod& method = Method(call.type, call.member);
         std::vector<Ref<Any>> args;
         for (const Ormid::ParamInfo& param : method.GetParams()) {
            const bool optional = (param.flags & Ormid::PropertyFlags::Optional) != 0;
            args.push_back(optional && call.unsetOptionals ? Ref<Any>() : ForRecord(param));
         }
         return Wire::EncodeRequest(method, Ormid::MoRef(call.type, call.target), args);
      });
   }

   // A response of every method of the table, and two faults: the first byte picks the method.
   char name[64];
   for (std::size_t i = 0; i < quorl_fuzz::kResponseMethodCount; ++i) {
      const std::string prefix(1, quorl_fuzz::ResponsePrefix(i));
      std::snprintf(name, sizeof name, "%02zu-%s.xml", i, quorl_fuzz::kResponseMethods[i].member);
      out.Seed("decode_response", name, [i, &prefix] {
         const Ormid::ManagedMethod& method = quorl_fuzz::ResponseMethodAt(i);
         Ref<Any> result;
         if (method.IsTask()) {
            result = new Ormid::MoRef("quorl.Task", "task-12");
         } else if (method.HasResult()) {
            result = ForRecord(method.GetResult());
         }
         return prefix + Wire::EncodeResponse(method, result.GetPtr());
      });
   }
   const std::pair<const char*, bool> faults[] = {{"quorl.fault.InvalidPowerState", false},
                                                  {"kobl.fault.InvalidArgument", true}};
   for (std::size_t i = 0; i < std::size(faults); ++i) {
      const auto [type, edge] = faults[i];
      const std::string prefix(1, quorl_fuzz::ResponsePrefix(i + 1));
      std::snprintf(name, sizeof name, "fault-%s.xml", std::strrchr(type, '.') + 1);
      out.Seed("decode_response", name, [&prefix, type = type, edge = edge] {
         Ref<Any> fault = Example(TypeNamed(type), edge);
         return prefix + Wire::EncodeFault(*static_cast<const Ormid::MethodFault*>(fault.GetPtr()),
                                           "cannot do that: <state> & \"reason\"");
      });
   }
   return out.failures() == 0 ? 0 : 1;
}
