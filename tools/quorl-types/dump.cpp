// `quorl-types dump --json [NAMESPACE]`: what the runtime holds of one namespace, written from the registry
// and the descriptors it keeps (never from the schema), in the JSON form the generator's `json` command
// writes, so that the two can be compared. Facts the runtime cannot know are left out: the registration
// table's expected counts, which versions the schema inferred, and which strings are stored deduplicated.
//
// A type's package is its wire name up to the first component that starts with a capital letter (never
// including the type's own last component): "quorl.vm.device.VirtualCdrom" is in "quorl.vm.device",
// "quorl.vm.BootOptions.BootableDevice" in "quorl.vm", "quorl.event.iScsiBootFailureEvent" in
// "quorl.event". Packages are listed in the order their first type was registered.
#include "dump.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/Ormid.h"

namespace quorl_types {
namespace {

// A small streaming JSON writer: values are written in order; the writer places commas and indentation.
class JsonWriter {
public:
   explicit JsonWriter(std::string& out) : _out(out) {}

   void BeginObject() { Open('{'); }
   void EndObject() { Close('}'); }
   void BeginArray() { Open('['); }
   void EndArray() { Close(']'); }
   void Key(std::string_view key) {
      Separate();
      String(key);
      _out += ": ";
      _afterKey = true;
   }
   void Value(std::string_view text) {
      Separate();
      String(text);
   }
   void Value(const char* text) {
      Separate();
      if (text == nullptr) {
         _out += "null";
      } else {
         String(text);
      }
   }
   void Value(long long number) {
      Separate();
      _out += std::to_string(number);
   }
   void Bool(bool value) {
      Separate();
      _out += value ? "true" : "false";
   }
   void Null() {
      Separate();
      _out += "null";
   }
   // A key and its value in one call.
   template <class V> void Field(std::string_view key, V&& value) {
      Key(key);
      Value(std::forward<V>(value));
   }

private:
   void Open(char bracket) {
      Separate();
      _out += bracket;
      _first.push_back(true);
   }
   void Close(char bracket) {
      bool empty = _first.back();
      _first.pop_back();
      if (!empty) {
         Newline();
      }
      _out += bracket;
   }
   void Separate() {
      if (_afterKey) {
         _afterKey = false;
         return;
      }
      if (_first.empty()) {
         return;
      }
      if (!_first.back()) {
         _out += ',';
      }
      _first.back() = false;
      Newline();
   }
   void Newline() {
      _out += '\n';
      _out.append(_first.size(), ' ');
   }
   void String(std::string_view text) {
      _out += '"';
      for (char c : text) {
         switch (c) {
         case '"':
            _out += "\\\"";
            break;
         case '\\':
            _out += "\\\\";
            break;
         case '\n':
            _out += "\\n";
            break;
         case '\t':
            _out += "\\t";
            break;
         case '\r':
            _out += "\\r";
            break;
         default:
            if (static_cast<unsigned char>(c) < 0x20) {
               char buf[8];
               std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
               _out += buf;
            } else {
               _out += c;
            }
         }
      }
      _out += '"';
   }

   std::string& _out;
   std::vector<bool> _first;
   bool _afterKey = false;
};

std::string PackageOf(std::string_view name) {
   std::string package;
   std::size_t start = 0;
   while (true) {
      std::size_t dot = name.find('.', start);
      if (dot == std::string_view::npos) {
         break; // the last component is the type itself
      }
      std::string_view component = name.substr(start, dot - start);
      if (component.empty() || (component[0] >= 'A' && component[0] <= 'Z')) {
         break;
      }
      if (!package.empty()) {
         package += '.';
      }
      package += component;
      start = dot + 1;
   }
   return package;
}

const char* NameOf(const Ormid::TypeInfo* header) {
   return header ? header->name : nullptr;
}

void WriteRecord(JsonWriter& json, const Ormid::PropertyRecord& record, bool named) {
   json.BeginObject();
   if (named) {
      json.Field("name", record.name);
   }
   json.Field("type", NameOf(record.type));
   json.Field("flags", static_cast<long long>(record.flags));
   if (named) {
      json.Field("privilege", record.privilegeId);
   }
   json.Field("version", record.version);
   json.EndObject();
}

void WriteProperties(JsonWriter& json, const Ormid::PropertyRecord* records) {
   json.Key("properties");
   json.BeginArray();
   for (std::size_t i = 0; records != nullptr && records[i].type != nullptr; ++i) {
      WriteRecord(json, records[i], true);
   }
   json.EndArray();
}

void WriteMethod(JsonWriter& json, const Ormid::ManagedMethodInfo& method) {
   json.BeginObject();
   json.Field("name", method.name);
   json.Field("wsdl", method.wsdlName);
   json.Key("task");
   std::string_view wsdl = method.wsdlName ? method.wsdlName : "";
   json.Bool(wsdl.size() > 5 && wsdl.substr(wsdl.size() - 5) == "_Task");
   json.Field("privilege", method.privilegeId);
   json.Key("typePrivileges");
   if (method.typePrivileges == nullptr) {
      json.Null();
   } else {
      json.BeginArray();
      for (const Ormid::TypePrivilege* p = method.typePrivileges; p->typeName != nullptr; ++p) {
         json.BeginArray();
         json.Value(p->typeName);
         json.Value(p->privilegeId);
         json.EndArray();
      }
      json.EndArray();
   }
   json.Key("result");
   if (method.result.type == nullptr) {
      json.Null();
   } else {
      WriteRecord(json, method.result, false);
   }
   json.Key("params");
   json.BeginArray();
   for (const Ormid::ParamInfo* p = method.params; p != nullptr && p->type != nullptr; ++p) {
      WriteRecord(json, *p, true);
   }
   json.EndArray();
   json.Key("faults");
   json.BeginArray();
   for (const Ormid::TypeInfo* const* f = method.faults; f != nullptr && *f != nullptr; ++f) {
      json.Value((*f)->name);
   }
   json.EndArray();
   json.Field("version", method.version);
   json.Field("feature", method.feature);
   json.Key("flagBytes");
   json.BeginArray();
   json.Value(static_cast<long long>(method.flag1));
   json.Value(static_cast<long long>(method.flag2));
   json.Value(static_cast<long long>(method.flag3));
   json.EndArray();
   json.EndObject();
}

void WriteType(JsonWriter& json, const Ormid::Type* type, const std::string& package) {
   json.Key(type->GetName());
   json.BeginObject();
   json.Field("kind", KindKey(type));
   json.Field("package", package);
   json.Field("wsdl", type->GetWsdlName());
   json.Field("version", type->GetVersion());
   if (auto* enumeration = dynamic_cast<const Ormid::EnumType*>(type)) {
      json.Key("values");
      json.BeginArray();
      for (int i = 0; i < enumeration->GetValueCount(); ++i) {
         json.Value(enumeration->GetTag(i));
      }
      json.EndArray();
   } else if (auto* data = dynamic_cast<const Ormid::DataObjectType*>(type)) {
      json.Field("base", NameOf(data->GetDescriptor()->base));
      WriteProperties(json, data->GetDescriptor()->properties);
   } else if (auto* managed = dynamic_cast<const Ormid::ManagedObjectType*>(type)) {
      const Ormid::ManagedTypeInfo* info = managed->GetDescriptor();
      json.Field("base", NameOf(info->base));
      WriteProperties(json, info->properties);
      json.Key("methods");
      json.BeginArray();
      for (const Ormid::ManagedMethodInfo* m = info->methods; m != nullptr && m->name != nullptr; ++m) {
         WriteMethod(json, *m);
      }
      json.EndArray();
   } else if (type->IsManaged()) {
      // The root of the managed types (kobl.ManagedObject) has no descriptor.
      json.Key("base");
      json.Null();
      WriteProperties(json, nullptr);
      json.Key("methods");
      json.BeginArray();
      json.EndArray();
   }
   json.EndObject();
}

void WriteNamespace(JsonWriter& json, const Ormid::KoblVersions& record) {
   json.Key("namespace");
   json.BeginObject();
   json.Field("name", record.name);
   json.Key("dependencies");
   json.BeginArray();
   for (uint32_t i = 0; i < record.dependencyCount; ++i) {
      json.Value(record.dependencies[i]);
   }
   json.EndArray();
   json.Key("products");
   json.BeginArray();
   for (uint32_t i = 0; i < record.productCount; ++i) {
      const Ormid::ProductRecord& product = record.products[i];
      json.BeginObject();
      json.Field("name", product.name);
      json.Key("releases");
      json.BeginArray();
      for (uint64_t r = 0; r < product.releaseCount; ++r) {
         json.Value(product.releases[r]);
      }
      json.EndArray();
      json.EndObject();
   }
   json.EndArray();
   json.Field("versionSlots", static_cast<long long>(record.versionSlotCount));
   json.Key("counts");
   json.BeginArray();
   json.Value(static_cast<long long>(record.reserved1));
   json.Value(static_cast<long long>(record.count13a));
   json.Value(static_cast<long long>(record.count13b));
   json.EndArray();
   json.EndObject();
}

void WriteVersions(JsonWriter& json, const Ormid::KoblVersions& record) {
   json.Key("versions");
   json.BeginArray();
   for (uint32_t i = 0; i < record.versionCount; ++i) {
      const Ormid::VersionRecord& v = record.versions[i];
      json.BeginObject();
      json.Field("name", v.name);
      json.Field("wireNamespace", v.wireNamespace);
      json.Field("versionId", v.versionId);
      json.Field("releaseId", v.releaseId);
      json.Field("stage", static_cast<long long>(v.stage));
      json.Field("flags", static_cast<long long>(v.flags));
      json.Field("taskTypeName", v.taskTypeName);
      json.Field("taskTypeNamespace", v.taskTypeNamespace);
      json.EndObject();
   }
   json.EndArray();
   json.Key("parents");
   json.BeginArray();
   for (uint32_t i = 0; i < record.parentCount; ++i) {
      json.BeginArray();
      json.Value(record.parents[i].version);
      json.Value(record.parents[i].parent);
      json.EndArray();
   }
   json.EndArray();
}

} // namespace

const char* KindKey(const Ormid::Type* type) {
   switch (type->GetKind()) {
   case Ormid::KindEnum:
      return "enum";
   case Ormid::KindDataObject:
      return "data";
   case Ormid::KindFault:
      return "fault";
   case Ormid::KindManaged:
      return "managed";
   default:
      return nullptr;
   }
}

std::string DumpJson(std::string_view ns) {
   const Ormid::NamespaceInfo* info = Ormid::VersionCatalogue::Get().FindNamespace(ns);
   if (info == nullptr || info->record == nullptr) {
      throw Pellum::Exception("no namespace \"" + std::string(ns) + "\" is registered");
   }
   std::string prefix = std::string(ns) + ".";
   std::vector<const Ormid::Type*> types;
   std::vector<std::string> packages;
   std::map<std::string, std::map<std::string, long long>> counts;
   for (const Ormid::Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      if (KindKey(type) == nullptr || std::strncmp(type->GetName(), prefix.c_str(), prefix.size()) != 0) {
         continue;
      }
      std::string package = PackageOf(type->GetName());
      auto [it, inserted] = counts.try_emplace(
          package, std::map<std::string, long long>{{"data", 0}, {"fault", 0}, {"enum", 0}, {"managed", 0}});
      if (inserted) {
         packages.push_back(package);
      }
      ++it->second[KindKey(type)];
      types.push_back(type);
   }

   std::string out;
   JsonWriter json(out);
   json.BeginObject();
   WriteNamespace(json, *info->record);
   json.Key("packages");
   json.BeginArray();
   for (std::size_t i = 0; i < packages.size(); ++i) {
      json.BeginObject();
      json.Field("name", packages[i]);
      json.Field("order", static_cast<long long>(i + 1));
      json.Key("counts");
      json.BeginObject();
      for (const char* kind : {"data", "fault", "enum", "managed"}) {
         json.Key(kind);
         json.Value(counts[packages[i]][kind]);
      }
      json.EndObject();
      json.EndObject();
   }
   json.EndArray();
   WriteVersions(json, *info->record);
   json.Key("types");
   json.BeginObject();
   for (const Ormid::Type* type : types) {
      WriteType(json, type, PackageOf(type->GetName()));
   }
   json.EndObject();
   json.EndObject();
   out += '\n';
   return out;
}

} // namespace quorl_types
