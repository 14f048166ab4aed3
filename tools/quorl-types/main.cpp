// quorl-types: looks into what the object-model runtime has registered.
//
//   quorl-types summary              namespaces, types by namespace and kind
//   quorl-types list [PREFIX]        every registered type (optionally those whose wire name starts with
//   PREFIX) quorl-types show NAME            one type by wire or WSDL name: header, base chain, properties,
//   values;
//                                    for a data object or fault also an example value
//   quorl-types versions [NAME]      the version graph, or what one version contains and extends
//   quorl-types demo                 a client powers on a virtual machine served in process (the example
//                                    program of examples/power-on)
//   quorl-types dump --json [NS]     the runtime's view of a namespace (default "quorl") as JSON
//   quorl-types encode NAME [--json|--xml] [--version V]
//                                    an example value of a data object or fault as a wire document
//   quorl-types decode [FILE] [--to xml|json|text] [--version V]
//                                    a value document (XML or JSON) read and written in the other format
//   quorl-types serve [--address A] [--port N] [--tls CERT KEY] [--user NAME:PASSWORD[:PRIVILEGES]]
//                                    the power-on example's machines, a service instance and a session
//                                    manager over HTTP(S)
//
// Unknown names are reported with the closest registered names and a non-zero exit status.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "codec.h"
#include "dump.h"
#include "example_value.h"
#include "ormid/ManagedType.h"
#include "ormid/Ormid.h"
#if QUORL_TYPES_LINKED
#include "quorl/Packages.h"
#include "quorl/Versions.h"
#include "scenario.h"
#include "serve.h"
#endif

namespace {

using Ormid::Type;

const char* KindName(const Type* type) {
   if (const char* key = quorl_types::KindKey(type)) {
      return key;
   }
   return type->GetKind() == Ormid::KindArray ? "array" : "primitive";
}

// The namespace part of a wire name: everything before the first component that starts with a capital
// letter ("quorl.vm.device" of "quorl.vm.device.VirtualCdrom"); primitives have none.
std::string PackageOf(std::string_view name) {
   std::string package;
   std::size_t start = 0;
   while (start < name.size()) {
      std::size_t dot = name.find('.', start);
      std::string_view component =
          name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
      if (dot == std::string_view::npos || component.empty() ||
          (component[0] >= 'A' && component[0] <= 'Z')) {
         break;
      }
      if (!package.empty()) {
         package += '.';
      }
      package += component;
      start = dot + 1;
   }
   return package.empty() ? std::string("(runtime)") : package;
}

std::string DecodeFlags(uint32_t flags) {
   static const std::pair<uint32_t, const char*> kNames[] = {
       {Ormid::PropertyFlags::Array, "array"},     {Ormid::PropertyFlags::Optional, "optional"},
       {Ormid::PropertyFlags::Managed, "managed"}, {Ormid::PropertyFlags::Linkable, "linkable"},
       {Ormid::PropertyFlags::Link, "link"},       {Ormid::PropertyFlags::Marker40, "marker 0x40"},
       {Ormid::PropertyFlags::Secret, "secret"},   {Ormid::PropertyFlags::Marker400, "marker 0x400"},
   };
   std::string out;
   uint32_t known = 0;
   for (const auto& [bit, name] : kNames) {
      known |= bit;
      if (flags & bit) {
         out += out.empty() ? "" : ", ";
         out += name;
      }
   }
   if (flags & ~known) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "0x%x", flags & ~known);
      out += out.empty() ? "" : ", ";
      out += buf;
   }
   return out.empty() ? "required" : out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
   std::vector<std::size_t> row(b.size() + 1);
   for (std::size_t j = 0; j <= b.size(); ++j) {
      row[j] = j;
   }
   for (std::size_t i = 1; i <= a.size(); ++i) {
      std::size_t diagonal = row[0];
      row[0] = i;
      for (std::size_t j = 1; j <= b.size(); ++j) {
         std::size_t above = row[j];
         bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                     std::tolower(static_cast<unsigned char>(b[j - 1]));
         row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
         diagonal = above;
      }
   }
   return row[b.size()];
}

// Up to five registered names close to `name` (by wire name, WSDL name or last component).
std::vector<std::string> Suggest(std::string_view name, const std::vector<Type*>& types) {
   std::vector<std::pair<std::size_t, std::string>> scored;
   for (const Type* type : types) {
      std::string_view wire = type->GetName();
      std::string_view wsdl = type->GetWsdlName() ? type->GetWsdlName() : "";
      std::string_view last =
          wire.substr(wire.rfind('.') == std::string_view::npos ? 0 : wire.rfind('.') + 1);
      std::size_t score =
          std::min({EditDistance(name, wire), EditDistance(name, wsdl), EditDistance(name, last)});
      if (score <= std::max<std::size_t>(2, name.size() / 3)) {
         scored.emplace_back(score, std::string(wire));
      }
   }
   std::sort(scored.begin(), scored.end());
   std::vector<std::string> out;
   for (std::size_t i = 0; i < scored.size() && i < 5; ++i) {
      out.push_back(scored[i].second);
   }
   return out;
}

int UnknownName(std::string_view what, std::string_view name, const std::vector<Type*>& types) {
   if (name.empty()) {
      std::cerr << "quorl-types: the " << what << " name is empty\n";
      return 2;
   }
   std::cerr << "quorl-types: unknown " << what << " \"" << name << "\"";
   std::vector<std::string> near = Suggest(name, types);
   if (!near.empty()) {
      std::cerr << "; did you mean";
      for (std::size_t i = 0; i < near.size(); ++i) {
         std::cerr << (i == 0 ? " " : ", ") << near[i];
      }
      std::cerr << "?";
   }
   std::cerr << "\n";
   return 2;
}

struct KindCounts {
   std::size_t primitive = 0, data = 0, fault = 0, enumeration = 0, managed = 0;

   void Add(const Type* type) {
      switch (type->GetKind()) {
      case Ormid::KindEnum:
         ++enumeration;
         break;
      case Ormid::KindDataObject:
         ++data;
         break;
      case Ormid::KindFault:
         ++fault;
         break;
      case Ormid::KindManaged:
         ++managed;
         break;
      default:
         ++primitive;
         break;
      }
   }
   void Add(const KindCounts& o) {
      primitive += o.primitive;
      data += o.data;
      fault += o.fault;
      enumeration += o.enumeration;
      managed += o.managed;
   }
   std::size_t Total() const { return primitive + data + fault + enumeration + managed; }
};

#if QUORL_TYPES_LINKED
// "registered/expected", or just the number when both agree.
std::string Versus(std::size_t registered, int expected) {
   std::string out = std::to_string(registered);
   if (registered != static_cast<std::size_t>(expected)) {
      out += "/" + std::to_string(expected);
   }
   return out;
}
#endif

int Summary() {
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   std::vector<Type*> types = registry.GetTypes();
   std::cout << "namespaces:\n";
   for (const Ormid::NamespaceInfo* ns : Ormid::VersionCatalogue::Get().GetNamespaces()) {
      std::cout << "  " << ns->name << " (id " << ns->id << "): " << ns->versions.size() << " versions";
      if (ns->current) {
         std::cout << ", current " << ns->current->GetName();
      }
      std::cout << "\n";
   }
   std::vector<std::string> packages;
   std::map<std::string, KindCounts> byPackage;
   for (const Type* type : types) {
      std::string package = PackageOf(type->GetName());
      auto [it, inserted] = byPackage.try_emplace(package);
      if (inserted) {
         packages.push_back(package);
      }
      it->second.Add(type);
   }

   // The runtime's own namespaces, and anything registered outside the library's package table.
   std::vector<std::string> others;
   for (const std::string& package : packages) {
#if QUORL_TYPES_LINKED
      bool known = std::any_of(std::begin(Quorl::packages), std::end(Quorl::packages),
                               [&](const Quorl::PackageInfo& p) { return package == p.name; });
      if (known) {
         continue;
      }
#endif
      others.push_back(package);
   }
   KindCounts total;
   std::printf("\n%-34s %9s %6s %6s %6s %8s\n", "runtime package", "primitive", "data", "fault", "enum",
               "managed");
   for (const std::string& package : others) {
      const KindCounts& c = byPackage[package];
      std::printf("%-34s %9zu %6zu %6zu %6zu %8zu\n", package.c_str(), c.primitive, c.data, c.fault,
                  c.enumeration, c.managed);
      total.Add(c);
   }

#if QUORL_TYPES_LINKED
   // The library's packages in registration order: registered types beside the registration table's
   // counts ("410/431": 410 registered of the 431 the namespace holds), and the time each took to register.
   std::printf("\n%-34s %9s %9s %9s %9s %10s\n", "package (registered/table)", "data", "fault", "enum",
               "managed", "register");
   KindCounts library;
   int expected[4] = {0, 0, 0, 0};
   std::int64_t nanos = 0;
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      const Quorl::PackageInfo& p = Quorl::packages[i];
      const KindCounts& c = byPackage[p.name];
      std::int64_t took = Quorl::GetRegistrationNanoseconds(i);
      std::printf("%-34s %9s %9s %9s %9s %7.2f ms\n", p.name, Versus(c.data, p.expectedDataObjects).c_str(),
                  Versus(c.fault, p.expectedFaults).c_str(),
                  Versus(c.enumeration, p.expectedEnumerations).c_str(),
                  Versus(c.managed, p.expectedManagedTypes).c_str(), static_cast<double>(took) / 1e6);
      library.Add(c);
      expected[0] += p.expectedDataObjects;
      expected[1] += p.expectedFaults;
      expected[2] += p.expectedEnumerations;
      expected[3] += p.expectedManagedTypes;
      nanos += took;
   }
   std::printf("%-34s %9s %9s %9s %9s %7.2f ms\n", "all", Versus(library.data, expected[0]).c_str(),
               Versus(library.fault, expected[1]).c_str(), Versus(library.enumeration, expected[2]).c_str(),
               Versus(library.managed, expected[3]).c_str(), static_cast<double>(nanos) / 1e6);
   total.Add(library);
   const Ormid::Version* current = Quorl::GetRcVersion();
   std::printf("\nlibquorl-types: %d packages, %zu of the namespace's %d types registered in %.2f ms; "
               "namespace id %d, "
               "current version %s\n",
               Quorl::kPackageCount, library.Total(), expected[0] + expected[1] + expected[2] + expected[3],
               static_cast<double>(nanos) / 1e6, static_cast<int>(Quorl::koblNamespaceId),
               current ? current->GetName() : "(none)");
#endif
   std::printf("%zu types registered\n", types.size());
   return 0;
}

int List(std::string_view prefix) {
   std::size_t listed = 0;
   for (const Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      std::string_view name = type->GetName();
      if (name.substr(0, prefix.size()) != prefix) {
         continue;
      }
      std::printf("%-9s %-60s %s\n", KindName(type), type->GetName(),
                  type->GetVersion() ? type->GetVersion() : "");
      ++listed;
   }
   if (listed == 0) {
      std::cerr << "quorl-types: no type name starts with \"" << prefix << "\"\n";
      return 2;
   }
   return 0;
}

void ShowProperty(const char* owner, const Ormid::PropertyRecord& record) {
   std::printf("  %-28s %-44s %-26s %s%s%s%s\n", record.name, record.type ? record.type->name : "?",
               DecodeFlags(record.flags).c_str(), record.version ? record.version : "",
               record.privilegeId ? "  privilege " : "", record.privilegeId ? record.privilegeId : "",
               owner ? (std::string("  (from ") + owner + ")").c_str() : "");
}

// "name: type[]?" of a parameter, "type[]?" of a result ("" for none), with a trailing " secret".
std::string ParamText(const Ormid::ParamInfo& p, bool withName) {
   std::string out = withName ? std::string(p.name) + ": " : std::string();
   out += p.type ? p.type->name : "(none)";
   if (p.flags & Ormid::PropertyFlags::Array) {
      out += "[]";
   }
   if (p.flags & Ormid::PropertyFlags::Optional) {
      out += "?";
   }
   if (p.flags & Ormid::PropertyFlags::Secret) {
      out += " secret";
   }
   return out;
}

// One method as a signature, then its operation name, version, privileges and declared faults.
void ShowMethod(const Ormid::ManagedMethodInfo& m) {
   std::string sig = std::string(m.name) + "(";
   for (const Ormid::ParamInfo* p = m.params; p && p->type; ++p) {
      sig += p == m.params ? "" : ", ";
      sig += ParamText(*p, true);
      if (p->privilegeId) {
         sig += std::string(" [") + p->privilegeId + "]";
      }
   }
   sig += ")";
   bool task = m.flag2 != 0 || (m.wsdlName && std::string_view(m.wsdlName).ends_with("_Task"));
   if (task) {
      sig += " -> task";
      if (m.result.type) {
         sig += " of " + ParamText(m.result, false);
      }
   } else if (m.result.type) {
      sig += " -> " + ParamText(m.result, false);
   }
   std::printf("  %s\n", sig.c_str());
   std::printf("      operation %s, since %s", m.wsdlName ? m.wsdlName : "", m.version ? m.version : "");
   if (m.privilegeId) {
      std::printf(", privilege %s", m.privilegeId);
   }
   if (m.feature) {
      std::printf(", feature %s", m.feature);
   }
   if (m.flag1 || m.flag2 || m.flag3) {
      std::printf(", flag bytes %u %u %u", m.flag1, m.flag2, m.flag3);
   }
   std::printf("\n");
   if (m.typePrivileges) {
      std::printf("      privilege by target type:");
      for (const Ormid::TypePrivilege* tp = m.typePrivileges; tp->typeName; ++tp) {
         std::printf(" %s=%s", tp->typeName, tp->privilegeId);
      }
      std::printf("\n");
   }
   if (m.faults && m.faults[0]) {
      std::printf("      faults");
      for (const Ormid::TypeInfo* const* f = m.faults; *f; ++f) {
         std::printf("%s%s", f == m.faults ? " " : ", ", (*f)->name);
      }
      std::printf("\n");
   }
}

int Show(std::string_view name) {
   Ormid::TypeRegistry& registry = Ormid::TypeRegistry::Get();
   Type* type = registry.FindByName(name);
   if (type == nullptr) {
      type = registry.FindByWsdlName(name);
   }
   if (type == nullptr) {
      return UnknownName("type", name, registry.GetTypes());
   }
   std::printf("%s %s\n  wsdl name  %s\n  version    %s\n", KindName(type), type->GetName(),
               type->GetWsdlName() ? type->GetWsdlName() : "", type->GetVersion() ? type->GetVersion() : "");
   std::string chain;
   for (Type* base = type->GetBaseType(); base != nullptr; base = base->GetBaseType()) {
      chain += chain.empty() ? "" : " -> ";
      chain += base->GetName();
   }
   if (!chain.empty()) {
      std::printf("  bases      %s\n", chain.c_str());
   }
   if (auto* data = dynamic_cast<Ormid::DataObjectType*>(type)) {
      std::printf("properties (%d, %d own):\n", data->GetPropertyCount(), data->GetOwnPropertyCount());
      data->ForEachProperty(
          [&](const Ormid::DataObjectType* owner, int, const Ormid::PropertyRecord& record) {
             ShowProperty(owner == data ? nullptr : owner->GetName(), record);
          });
      std::printf("example value:\n%s\n", quorl_types::ExampleValueText(*data).c_str());
   } else if (auto* enumeration = dynamic_cast<Ormid::EnumType*>(type)) {
      std::printf("values (%d):\n", enumeration->GetValueCount());
      for (int i = 0; i < enumeration->GetValueCount(); ++i) {
         std::printf("  %3d  %s\n", i, enumeration->GetTag(i));
      }
   } else if (auto* managed = dynamic_cast<Ormid::ManagedObjectType*>(type)) {
      std::printf("own properties (%zu):\n", managed->GetOwnPropertyCount());
      const Ormid::PropertyRecord* props = managed->GetDescriptor()->properties;
      for (std::size_t i = 0; props && props[i].type; ++i) {
         ShowProperty(nullptr, props[i]);
      }
      std::printf("own methods (%zu):\n", managed->GetOwnMethodCount());
      const Ormid::ManagedMethodInfo* methods = managed->GetDescriptor()->methods;
      for (std::size_t i = 0; methods && methods[i].name; ++i) {
         ShowMethod(methods[i]);
      }
   }
   return 0;
}

int Versions(const char* name) {
   Ormid::VersionCatalogue& catalogue = Ormid::VersionCatalogue::Get();
   if (name == nullptr) {
      for (const Ormid::Version* version : catalogue.GetVersions()) {
         std::printf("%-48s", version->GetName());
         const char* sep = " extends ";
         for (const Ormid::Version* parent : version->GetParents()) {
            std::printf("%s%s", sep, parent->GetName());
            sep = ", ";
         }
         std::printf("\n");
      }
      return 0;
   }
   const Ormid::Version* version = catalogue.FindVersion(name);
   if (version == nullptr) {
      std::cerr << "quorl-types: unknown version \"" << name << "\"\n";
      return 2;
   }
   const Ormid::VersionRecord* record = version->GetRecord();
   std::printf("%s\n", version->GetName());
   if (record) {
      std::printf(
          "  wire namespace  %s\n  identifier      \"%s\"\n  release         %s\n  stage           %u\n"
          "  flags           %u\n",
          record->wireNamespace, record->versionId, record->releaseId ? record->releaseId : "(none)",
          record->stage, record->flags);
   }
   std::printf("  includes:");
   for (const Ormid::Version* other : catalogue.GetVersions()) {
      if (other != version && version->Includes(*other)) {
         std::printf(" %s", other->GetName());
      }
   }
   std::printf("\n  types tagged with it:");
   std::size_t count = 0;
   for (const Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      if (type->GetVersion() && std::strcmp(type->GetVersion(), version->GetName()) == 0) {
         ++count;
      }
   }
   std::printf(" %zu\n", count);
   return 0;
}

int Usage(int status) {
   (status == 0 ? std::cout : std::cerr) << "usage: quorl-types summary | list [PREFIX] | show NAME | "
                                            "versions [NAME] | dump --json [NAMESPACE]\n"
                                            "       | encode NAME [--json|--xml] [--version V] | decode "
                                            "[FILE] [--to xml|json|text] [--version V]"
#if QUORL_TYPES_LINKED
                                            "\n       | demo | serve [--address A] [--port N] [--tls CERT "
                                            "KEY] [--user NAME:PASSWORD[:PRIVILEGES]]"
#endif
                                            "\n";
   return status;
}

} // namespace

// A command given the wrong arguments: what was wrong, then the usage.
int BadArguments(std::string_view command, int argc, char** argv, int at) {
   std::cerr << "quorl-types: " << command << ": ";
   if (argc > at) {
      std::cerr << "unexpected argument \"" << argv[at] << "\"\n";
   } else {
      std::cerr << "missing argument\n";
   }
   return Usage(2);
}

// The commands that take names refuse what looks like an option.
bool IsOption(const char* argument) {
   return argument[0] == '-';
}

int main(int argc, char** argv) {
   try {
      if (argc < 2) {
         return Summary();
      }
      std::string_view command = argv[1];
      if ((command == "list" || command == "show" || command == "versions") && argc >= 3 &&
          IsOption(argv[2])) {
         std::cerr << "quorl-types: " << command << ": unknown option \"" << argv[2] << "\"\n";
         return Usage(2);
      }
      if (command == "summary" && argc == 2) {
         return Summary();
      }
      if (command == "list" && argc <= 3) {
         return List(argc == 3 ? argv[2] : "");
      }
      if (command == "show" && argc == 3) {
         return Show(argv[2]);
      }
      if (command == "versions" && argc <= 3) {
         return Versions(argc == 3 ? argv[2] : nullptr);
      }
      if (command == "dump" && argc >= 3 && argc <= 4 && std::string_view(argv[2]) == "--json") {
         std::cout << quorl_types::DumpJson(argc == 4 ? argv[3] : "quorl");
         return 0;
      }
      if (command == "encode") {
         return quorl_types::EncodeCommand(argc, argv, std::cout, std::cerr);
      }
      if (command == "decode") {
         return quorl_types::DecodeCommand(argc, argv, std::cout, std::cerr);
      }
#if QUORL_TYPES_LINKED
      if (command == "serve") {
         return quorl_types::ServeCommand(argc, argv, std::cout, std::cerr);
      }
      if (command == "demo" && argc == 2) {
         return RunPowerOnScenario(std::cout);
      }
#endif
      if (command == "help" || command == "--help" || command == "-h") {
         return Usage(0);
      }
      // The command is known but its arguments are not: the first one out of place, or what is missing.
      static constexpr std::pair<std::string_view, int> kMostArguments[] = {
         {"summary", 0},
         {"list", 1},
         {"show", 1},
         {"versions", 1},
         {"dump", 2},
#if QUORL_TYPES_LINKED
         {"demo", 0},
#endif
      };
      for (const auto& [name, most] : kMostArguments) {
         if (command == name) {
            const bool badFlag = name == "dump" && argc >= 3 && std::string_view(argv[2]) != "--json";
            return BadArguments(command, argc, argv, badFlag ? 2 : 2 + most);
         }
      }
      std::cerr << "quorl-types: unknown command \"" << command << "\"\n";
      return Usage(2);
   } catch (const std::exception& e) {
      std::cerr << "quorl-types: " << e.what() << "\n";
      return 1;
   }
}
