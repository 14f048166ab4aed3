// The type registry and the registration object of packages.

#include <cctype>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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
   // Check the whole batch first, so that a refused package leaves nothing behind.
   std::unordered_set<std::string_view> names;
   std::unordered_set<std::string_view> wsdlNames;
   std::unordered_set<const TypeInfo*> headers;
   for (int i = 0; i < count; ++i) {
      const Type* type = types[i];
      if (type == nullptr) {
         throw Pellum::Exception(Pellum::ASPrint("entry %1 of a type list of namespace %2 is null", i, ns));
      }
      const std::string_view name = type->GetName();
      if (s.byHeader.count(type->GetHeader()) != 0 || !headers.insert(type->GetHeader()).second) {
         throw Pellum::Exception(Pellum::ASPrint("type %1 is registered twice (same header)", name));
      }
      if (s.byName.count(name) != 0 || !names.insert(name).second) {
         throw Pellum::Exception(Pellum::ASPrint("type name %1 is registered twice", name));
      }
      if (type->GetWsdlName() != nullptr) {
         const std::string_view wsdl = type->GetWsdlName();
         if (s.byWsdlName.count(wsdl) != 0 || !wsdlNames.insert(wsdl).second) {
            Type* other = Find(s.byWsdlName, wsdl);
            throw Pellum::Exception(Pellum::ASPrint("WSDL name %1 of type %2 is already taken%3", wsdl, name,
                                                    other != nullptr ? std::string(" by ") + other->GetName()
                                                                     : std::string(" within the package")));
         }
      }
   }
   s.order.reserve(s.order.size() + static_cast<std::size_t>(count));
   for (int i = 0; i < count; ++i) {
      Type* type = types[i];
      s.byHeader.emplace(type->GetHeader(), type);
      s.byName.emplace(type->GetName(), type);
      if (type->GetWsdlName() != nullptr) {
         s.byWsdlName.emplace(type->GetWsdlName(), type);
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
