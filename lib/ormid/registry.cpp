// The type registry and the registration object of packages.

#include <algorithm>
#include <cctype>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ormid/Registry.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

struct RegistryState {
   mutable std::shared_mutex mutex;
   std::unordered_map<std::string_view, Type*> byName;
   std::unordered_map<std::string_view, Type*> byWsdlName;
   std::unordered_map<const TypeInfo*, Type*> byHeader;
   std::vector<Type*> order;
};

// Constructed on first use and never destroyed: type objects outlive every static destructor that might
// still look a type up.
RegistryState& State() {
   static RegistryState* state = new RegistryState();
   return *state;
}

Type* Find(const std::unordered_map<std::string_view, Type*>& map, std::string_view key) {
   auto it = map.find(key);
   return it != map.end() ? it->second : nullptr;
}

} // namespace

TypeRegistry& TypeRegistry::Get() {
   static TypeRegistry registry;
   return registry;
}

Type* TypeRegistry::FindByName(std::string_view name) const {
   const RegistryState& s = State();
   // "<name>[]" is the array of a registered type: one level only (arrays hold values, never arrays), so a
   // name from outside cannot make the registry create one array type per "[]".
   const bool array = name.size() > 2 && name.ends_with("[]");
   const std::string_view item = array ? name.substr(0, name.size() - 2) : name;
   if (array && item.ends_with("[]")) {
      return nullptr;
   }
   Type* found = nullptr;
   {
      std::shared_lock lock(s.mutex);
      found = Find(s.byName, item);
   }
   return array && found != nullptr ? found->GetArrayType() : found;
}

Type* TypeRegistry::FindByWsdlName(std::string_view name) const {
   const RegistryState& s = State();
   constexpr std::string_view kArrayOf = "ArrayOf";
   Type* found = nullptr;
   {
      std::shared_lock lock(s.mutex);
      found = Find(s.byWsdlName, name);
   }
   if (found == nullptr && name.size() > kArrayOf.size() && name.starts_with(kArrayOf)) {
      // One level only, as FindByName: "ArrayOfArrayOf..." names no type.
      std::string item(name.substr(kArrayOf.size()));
      Type* itemType = nullptr;
      {
         std::shared_lock lock(s.mutex);
         itemType = Find(s.byWsdlName, item);
         if (itemType == nullptr) {
            item[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(item[0])));
            itemType = Find(s.byWsdlName, item);
         }
      }
      found = itemType != nullptr && !itemType->IsArray() ? itemType->GetArrayType() : nullptr;
   }
   return found;
}

Type* TypeRegistry::FindByHeader(const TypeInfo* header) const {
   const RegistryState& s = State();
   std::shared_lock lock(s.mutex);
   auto it = s.byHeader.find(header);
   return it != s.byHeader.end() ? it->second : nullptr;
}

DataObjectType* TypeRegistry::FindDataObjectType(std::string_view name) const {
   return dynamic_cast<DataObjectType*>(FindByName(name));
}

EnumType* TypeRegistry::FindEnumType(std::string_view name) const {
   return dynamic_cast<EnumType*>(FindByName(name));
}

std::vector<Type*> TypeRegistry::GetTypes() const {
   const RegistryState& s = State();
   std::shared_lock lock(s.mutex);
   return s.order;
}

std::size_t TypeRegistry::GetTypeCount() const {
   const RegistryState& s = State();
   std::shared_lock lock(s.mutex);
   return s.order.size();
}

const NamespaceInfo* TypeRegistry::FindNamespace(std::string_view name) const noexcept {
   return VersionCatalogue::Get().FindNamespace(name);
}

std::vector<const NamespaceInfo*> TypeRegistry::GetNamespaces() const {
   return VersionCatalogue::Get().GetNamespaces();
}

void TypeRegistry::Register(const KoblVersions* versions, Type* const* types, int count) {
   const char* ns = versions != nullptr && versions->name != nullptr ? versions->name : "(no namespace)";
   if (count < 0) {
      throw Pellum::Exception(Pellum::ASPrint("a package of namespace %1 reports %2 types", ns, count));
   }
   if (count > 0 && types == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("a package of namespace %1 reports %2 types but no type array", ns, count));
   }
   if (versions != nullptr) {
      VersionCatalogue::Get().RegisterNamespace(versions);
   }

   RegistryState& s = State();
   std::unique_lock lock(s.mutex);
   // One pass: every type goes into the maps as it is checked (one hash per name and map, no allocation
   // but the maps' nodes); the first refusal takes out again what this batch put in, so that a refused
   // package leaves nothing behind.
   // Room for the batch, growing geometrically: a library registers its packages one after the other.
   const auto batch = static_cast<std::size_t>(count);
   const auto room = [batch](auto& map) {
      const std::size_t needed = map.size() + batch;
      if (static_cast<float>(needed) > static_cast<float>(map.bucket_count()) * map.max_load_factor()) {
         map.reserve(std::max(needed, 2 * map.size()));
      }
   };
   room(s.byHeader);
   room(s.byName);
   room(s.byWsdlName);
   if (s.order.capacity() < s.order.size() + batch) {
      s.order.reserve(std::max(s.order.size() + batch, 2 * s.order.capacity()));
   }
   const std::size_t first = s.order.size();
   const auto refuse = [&](std::string message) {
      for (std::size_t i = first; i < s.order.size(); ++i) {
         const Type* type = s.order[i];
         s.byHeader.erase(type->GetHeader());
         s.byName.erase(type->GetName());
         if (type->GetWsdlName() != nullptr) {
            s.byWsdlName.erase(type->GetWsdlName());
         }
      }
      s.order.resize(first);
      throw Pellum::Exception(std::move(message));
   };
   for (int i = 0; i < count; ++i) {
      Type* type = types[i];
      if (type == nullptr) {
         refuse(Pellum::ASPrint("entry %1 of a type list of namespace %2 is null", i, ns));
      }
      const std::string_view name = type->GetName();
      if (!s.byHeader.emplace(type->GetHeader(), type).second) {
         refuse(Pellum::ASPrint("type %1 is registered twice (same header)", name));
      }
      if (!s.byName.emplace(name, type).second) {
         s.byHeader.erase(type->GetHeader());
         refuse(Pellum::ASPrint("type name %1 is registered twice", name));
      }
      if (type->GetWsdlName() != nullptr) {
         const std::string_view wsdl = type->GetWsdlName();
         auto [at, added] = s.byWsdlName.emplace(wsdl, type);
         if (!added) {
            s.byHeader.erase(type->GetHeader());
            s.byName.erase(name);
            refuse(Pellum::ASPrint("WSDL name %1 of type %2 is already taken by %3", wsdl, name,
                                   at->second->GetName()));
         }
      }
      s.order.push_back(type);
   }
}

TypeInfoLoader::TypeInfoLoader(const KoblVersions* versions, TypeListFn typeList) : _versions(versions) {
   if (typeList == nullptr) {
      throw Pellum::Exception("TypeInfoLoader: null type-list function");
   }
   int count = -1;
   Type* const* types = typeList(count);
   TypeRegistry::Get().Register(versions, types, count);
   _types = types;
   _count = count;
}

DataObjectType* CreateDataObjectType(const DataTypeInfo* descriptor) {
   return new DataObjectType(descriptor);
}

} // namespace Ormid
