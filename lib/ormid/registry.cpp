// The type registry and the registration object of packages.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ormid/Registry.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

// An index of the registered types by one key (name, WSDL name or header): an open-addressing table of
// 8-byte slots, each the key's 32-bit hash and the type's position in the registration order plus one (0
// marks a free slot). It takes one allocation per growth and none per type, and a lookup compares a key
// only where the hashes agree.
template <class Key, Key (*KeyOf)(const Type*)> class TypeIndex {
public:
   Type* Find(Key key, const std::vector<Type*>& order) const {
      if (_slots.empty()) {
         return nullptr;
      }
      const uint32_t hash = Hash(key);
      for (std::size_t i = hash & _mask;; i = (i + 1) & _mask) {
         const Slot slot = _slots[i];
         if (slot.position == 0) {
            return nullptr;
         }
         if (slot.hash == hash && KeyOf(order[slot.position - 1]) == key) {
            return order[slot.position - 1];
         }
      }
   }

   // Makes room for `count` entries in all, growing geometrically.
   void Reserve(std::size_t count) {
      std::size_t capacity = _slots.empty() ? 64 : _slots.size();
      while (count > capacity / 4 * 3) {
         capacity *= 2;
      }
      if (capacity == _slots.size()) {
         return;
      }
      std::vector<Slot> old(capacity);
      old.swap(_slots);
      _mask = capacity - 1;
      for (const Slot& slot : old) {
         if (slot.position != 0) {
            Place(slot);
         }
      }
   }

   // Adds the type at `position` of `order` unless its key is taken; answers the type holding the key
   // then, else null. Room must have been reserved.
   Type* Add(const std::vector<Type*>& order, std::size_t position) {
      const Key key = KeyOf(order[position]);
      const uint32_t hash = Hash(key);
      std::size_t i = hash & _mask;
      for (; _slots[i].position != 0; i = (i + 1) & _mask) {
         if (_slots[i].hash == hash && KeyOf(order[_slots[i].position - 1]) == key) {
            return order[_slots[i].position - 1];
         }
      }
      _slots[i] = {hash, static_cast<uint32_t>(position + 1)};
      return nullptr;
   }

   // Forgets every type at or after `first` of the order (a refused batch); rare, so it rebuilds.
   void Truncate(std::size_t first) {
      std::vector<Slot> old(_slots.size());
      old.swap(_slots);
      for (const Slot& slot : old) {
         if (slot.position != 0 && slot.position <= first) {
            Place(slot);
         }
      }
   }

private:
   struct Slot {
      uint32_t hash = 0;
      uint32_t position = 0;
   };

   static uint32_t Hash(Key key) {
      const std::size_t h = std::hash<Key>()(key);
      // Pointers hash to themselves: spread them, since their low bits are alike.
      return static_cast<uint32_t>((h * 0x9E3779B97F4A7C15ull) >> 32);
   }

   void Place(Slot slot) {
      std::size_t i = slot.hash & _mask;
      while (_slots[i].position != 0) {
         i = (i + 1) & _mask;
      }
      _slots[i] = slot;
   }

   std::vector<Slot> _slots;
   std::size_t _mask = 0;
};

std::string_view NameOf(const Type* type) {
   return type->GetName();
}
std::string_view WsdlNameOf(const Type* type) {
   const char* wsdl = type->GetWsdlName();
   return wsdl != nullptr ? std::string_view(wsdl) : std::string_view();
}
const TypeInfo* HeaderOf(const Type* type) {
   return type->GetHeader();
}

struct RegistryState {
   mutable std::shared_mutex mutex;
   TypeIndex<std::string_view, &NameOf> byName;
   TypeIndex<std::string_view, &WsdlNameOf> byWsdlName; // types without a WSDL name are not in it
   TypeIndex<const TypeInfo*, &HeaderOf> byHeader;
   std::vector<Type*> order;
};

// Constructed on first use and never destroyed: type objects outlive every static destructor that might
// still look a type up.
RegistryState& State() {
   static RegistryState* state = new RegistryState();
   return *state;
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
      found = s.byName.Find(item, s.order);
   }
   return array && found != nullptr ? found->GetArrayType() : found;
}

Type* TypeRegistry::FindByWsdlName(std::string_view name) const {
   const RegistryState& s = State();
   constexpr std::string_view kArrayOf = "ArrayOf";
   Type* found = nullptr;
   {
      std::shared_lock lock(s.mutex);
      found = s.byWsdlName.Find(name, s.order);
   }
   if (found == nullptr && name.size() > kArrayOf.size() && name.starts_with(kArrayOf)) {
      // One level only, as FindByName: "ArrayOfArrayOf..." names no type.
      std::string item(name.substr(kArrayOf.size()));
      Type* itemType = nullptr;
      {
         std::shared_lock lock(s.mutex);
         itemType = s.byWsdlName.Find(item, s.order);
         if (itemType == nullptr) {
            item[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(item[0])));
            itemType = s.byWsdlName.Find(item, s.order);
         }
      }
      found = itemType != nullptr && !itemType->IsArray() ? itemType->GetArrayType() : nullptr;
   }
   return found;
}

Type* TypeRegistry::FindByHeader(const TypeInfo* header) const {
   const RegistryState& s = State();
   std::shared_lock lock(s.mutex);
   return s.byHeader.Find(header, s.order);
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
   // One pass: every type goes into the indexes as it is checked; the first refusal takes out again what
   // this batch put in, so that a refused package leaves nothing behind.
   const std::size_t first = s.order.size();
   const std::size_t total = first + static_cast<std::size_t>(count);
   if (total > UINT32_MAX - 1) {
      throw Pellum::Exception(Pellum::ASPrint("namespace %1 would take the registry past %2 types", ns,
                                              static_cast<std::size_t>(UINT32_MAX - 1)));
   }
   s.byHeader.Reserve(total);
   s.byName.Reserve(total);
   s.byWsdlName.Reserve(total);
   if (s.order.capacity() < total) {
      s.order.reserve(std::max(total, 2 * s.order.capacity()));
   }
   const auto refuse = [&](std::string message) {
      s.order.resize(first);
      s.byHeader.Truncate(first);
      s.byName.Truncate(first);
      s.byWsdlName.Truncate(first);
      throw Pellum::Exception(std::move(message));
   };
   for (int i = 0; i < count; ++i) {
      Type* type = types[i];
      if (type == nullptr) {
         refuse(Pellum::ASPrint("entry %1 of a type list of namespace %2 is null", i, ns));
      }
      const std::size_t position = s.order.size();
      s.order.push_back(type);
      const std::string_view name = type->GetName();
      if (s.byHeader.Add(s.order, position) != nullptr) {
         refuse(Pellum::ASPrint("type %1 is registered twice (same header)", name));
      }
      if (s.byName.Add(s.order, position) != nullptr) {
         refuse(Pellum::ASPrint("type name %1 is registered twice", name));
      }
      if (type->GetWsdlName() != nullptr) {
         if (const Type* holder = s.byWsdlName.Add(s.order, position)) {
            refuse(Pellum::ASPrint("WSDL name %1 of type %2 is already taken by %3", type->GetWsdlName(),
                                   name, holder->GetName()));
         }
      }
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
