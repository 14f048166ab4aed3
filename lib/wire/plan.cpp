// Plans of types and methods, versions, and the names types go by on the wire.

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "detail.h"
#include "ormid/Enum.h"
#include "ormid/Registry.h"

namespace Wire {

Error::Error(std::string path, const std::string& message)
    : Pellum::Exception(std::string(path.empty() ? message : path + ": " + message)), _path(std::move(path)) {
}
Error::~Error() = default;
EncodeError::~EncodeError() = default;
DecodeError::~DecodeError() = default;

namespace Detail {
namespace {

// Plans live for the process; readers find them through a per-thread cache in front of a shared map.
template <class Key, class Value> class PlanCache {
public:
   template <class Make> const Value& Get(Key key, Make&& make) {
      thread_local std::unordered_map<Key, const Value*> local;
      auto hit = local.find(key);
      if (hit != local.end()) {
         return *hit->second;
      }
      const Value* value = nullptr;
      {
         std::shared_lock lock(_mutex);
         auto it = _map.find(key);
         if (it != _map.end()) {
            value = it->second.get();
         }
      }
      if (value == nullptr) {
         auto made = std::make_unique<Value>(make());
         std::unique_lock lock(_mutex);
         auto [it, inserted] = _map.emplace(key, std::move(made));
         value = it->second.get();
      }
      local.emplace(key, value);
      return *value;
   }

private:
   std::shared_mutex _mutex;
   std::unordered_map<Key, std::unique_ptr<Value>> _map;
};

PlanCache<const Ormid::Type*, Plan>& TypePlans() {
   static PlanCache<const Ormid::Type*, Plan> cache;
   return cache;
}
PlanCache<const Ormid::ManagedMethod*, Plan>& MethodPlans() {
   static PlanCache<const Ormid::ManagedMethod*, Plan> cache;
   return cache;
}

Place PlaceOf(const Ormid::PropertyRecord& record, const Ormid::DataObjectType* owner, int index) {
   Place place;
   place.owner = owner;
   place.index = index;
   place.name = record.name;
   place.optional = (record.flags & Ormid::PropertyFlags::Optional) != 0;
   place.array = (record.flags & Ormid::PropertyFlags::Array) != 0;
   place.secret = (record.flags & Ormid::PropertyFlags::Secret) != 0;
   place.version = VersionNamed(record.version);
   place.kind = Ormid::GetFieldKind(record);
   place.type = (record.flags & Ormid::PropertyFlags::Link) != 0 ? StringType() : TypeOf(record.type);
   place.itemKind = ItemKindOf(place.type);
   return place;
}

void Index(Plan& plan) {
   plan.byName.reserve(plan.places.size());
   for (std::size_t i = 0; i < plan.places.size(); ++i) {
      plan.byName.emplace_back(plan.places[i].name, static_cast<int>(i));
   }
   // A redeclared property (dynamicProperty) is found in the class that redeclares it: the last one.
   std::stable_sort(plan.byName.begin(), plan.byName.end(),
                    [](const auto& a, const auto& b) { return a.first < b.first; });
   plan.redeclared = std::adjacent_find(plan.byName.begin(), plan.byName.end(),
                                        [](const auto& a, const auto& b) { return a.first == b.first; }) !=
                     plan.byName.end();
}

} // namespace

int Plan::Find(std::string_view name) const noexcept {
   auto it = std::upper_bound(byName.begin(), byName.end(), name,
                              [](std::string_view n, const auto& e) { return n < e.first; });
   if (it == byName.begin() || (it - 1)->first != name) {
      return -1;
   }
   return (it - 1)->second;
}

int Plan::FindFrom(std::string_view name, int& cursor) const noexcept {
   if (redeclared) {
      return Find(name); // a name that is there twice means its last place: the index knows which
   }
   constexpr int kLookAhead = 6;
   const int count = static_cast<int>(places.size());
   for (int i = std::max(cursor - 1, 0), end = std::min(cursor + kLookAhead, count); i < end; ++i) {
      if (places[static_cast<std::size_t>(i)].name == name) {
         cursor = i + 1;
         return i;
      }
   }
   const int at = Find(name);
   if (at >= 0) {
      cursor = at + 1;
   }
   return at;
}

const Plan& PlanOf(const Ormid::DataObjectType* type) {
   return TypePlans().Get(type, [type] {
      Plan plan;
      plan.type = type;
      type->ForEachProperty(
          [&](const Ormid::DataObjectType* owner, int index, const Ormid::PropertyRecord& r) {
             plan.places.push_back(PlaceOf(r, owner, index));
          });
      Index(plan);
      return plan;
   });
}

const Plan& ParamPlanOf(const Ormid::ManagedMethod* method) {
   return MethodPlans().Get(method, [method] {
      Plan plan;
      int i = 0;
      for (const Ormid::ParamInfo& param : method->GetParams()) {
         Place place = PlaceOf(param, nullptr, i++);
         place.kind = place.array ? Ormid::FieldKind::Array : Ormid::FieldKind::Any;
         plan.places.push_back(place);
      }
      Index(plan);
      return plan;
   });
}

Place ResultPlaceOf(const Ormid::ManagedMethod* method) {
   Place place;
   place.name = "returnval";
   place.optional = true;
   if (method->IsProperty()) {
      // A getter answers through Fetch, whose result is typed anyType: arrays come boxed.
      place.type = AnyType();
   } else if (method->IsTask()) {
      place.type = TypeOf(&Ormid::gKoblManagedObjectTypeInfo);
      place.kind = Ormid::FieldKind::Reference;
   } else if (method->HasResult()) {
      const Ormid::ParamInfo& r = method->GetResult();
      place = PlaceOf(r, nullptr, 0);
      place.name = "returnval";
      place.optional = true;
      place.kind = place.array ? Ormid::FieldKind::Array : Ormid::FieldKind::Any;
   } else {
      place.type = AnyType();
   }
   place.itemKind = ItemKindOf(place.type);
   return place;
}

const Ormid::Version* VersionNamed(const char* name) {
   if (name == nullptr) {
      return nullptr;
   }
   thread_local std::unordered_map<const char*, const Ormid::Version*> local;
   auto it = local.find(name);
   if (it != local.end()) {
      return it->second;
   }
   const Ormid::Version* v = Ormid::VersionCatalogue::Get().FindVersion(name);
   local.emplace(name, v);
   return v;
}

const Ormid::Version* Resolve(const Ormid::Version* version) {
   return version != nullptr ? version : DefaultVersion();
}

const Ormid::VersionRecord& RecordOf(const Ormid::Version* version) {
   const Ormid::Version* v = Resolve(version);
   if (v->GetRecord() == nullptr) {
      throw Error("", std::string("version ") + v->GetName() + " has no record: it is known only by name");
   }
   return *v->GetRecord();
}

Ormid::Type* TypeOf(const Ormid::TypeInfo* header) {
   Ormid::Type* type = Ormid::TypeRegistry::Get().FindByHeader(header);
   if (type == nullptr) {
      throw Error("", std::string("type ") + (header != nullptr && header->name ? header->name : "(null)") +
                          " is not registered");
   }
   return type;
}

Ormid::Type* AnyType() {
   static Ormid::Type* const type = TypeOf(&Ormid::gAnyTypeInfo);
   return type;
}

Ormid::Type* StringType() {
   static Ormid::Type* const type = TypeOf(&Ormid::gStringTypeInfo);
   return type;
}

Ormid::FieldKind ItemKindOf(const Ormid::Type* type) {
   using K = Ormid::FieldKind;
   switch (type->GetKind()) {
   case Ormid::KindBool:
      return K::Bool;
   case Ormid::KindByte:
      return K::Byte;
   case Ormid::KindShort:
      return K::Short;
   case Ormid::KindInt:
      return K::Int;
   case Ormid::KindLong:
      return K::Long;
   case Ormid::KindFloat:
      return K::Float;
   case Ormid::KindDouble:
      return K::Double;
   case Ormid::KindString:
      return K::String;
   case Ormid::KindBinary:
      return K::Binary;
   case Ormid::KindDateTime:
      return K::DateTime;
   case Ormid::KindUri:
      return K::Uri;
   case Ormid::KindTypeName:
      return K::TypeName;
   case Ormid::KindMethodName:
      return K::MethodName;
   case Ormid::KindPropertyPath:
      return K::PropertyPath;
   case Ormid::KindEnum:
      return K::Enum;
   case Ormid::KindDataObject:
   case Ormid::KindFault:
   case Ormid::KindManaged:
      return K::Reference;
   case Ormid::KindArray:
      return K::Array;
   case Ormid::KindAny:
   default:
      return K::Any;
   }
}

namespace {
bool XsdPrimitive(const Ormid::Type* type) {
   const auto k = type->GetKind();
   return (k >= Ormid::KindBool && k <= Ormid::KindUri) || k == Ormid::KindAny;
}
std::string Raised(std::string_view name) {
   std::string s(name);
   if (!s.empty()) {
      s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
   }
   return s;
}
} // namespace

std::string_view ItemElementName(const Ormid::Type* item) {
   if (item->IsManaged()) {
      return kMoRefName;
   }
   return item->GetWsdlName();
}

std::string XsiName(const Ormid::Type* type) {
   if (type->IsArray()) {
      return "ArrayOf" + Raised(ItemElementName(type->GetItemType()));
   }
   if (type->IsManaged()) {
      return std::string(kMoRefName);
   }
   if (XsdPrimitive(type)) {
      return std::string("xsd:") + type->GetWsdlName();
   }
   return type->GetWsdlName();
}

Ormid::Type* TypeFromXsi(std::string_view local, bool xsd) {
   auto& registry = Ormid::TypeRegistry::Get();
   if (xsd) {
      Ormid::Type* type = registry.FindByWsdlName(local);
      return type != nullptr && XsdPrimitive(type) ? type : nullptr;
   }
   if (local == kMoRefName) {
      return TypeOf(&Ormid::gKoblManagedObjectTypeInfo);
   }
   if (local.starts_with("ArrayOf")) {
      std::string_view item = local.substr(7);
      if (item == kMoRefName) {
         return TypeOf(&Ormid::gKoblManagedObjectTypeInfo)->GetArrayType();
      }
      Ormid::Type* type = registry.FindByWsdlName(local);
      // The registry answers one level of arrays only: "ArrayOfArrayOf..." names no type.
      return type != nullptr && type->IsArray() && !type->GetItemType()->IsManaged() ? type : nullptr;
   }
   Ormid::Type* type = registry.FindByWsdlName(local);
   if (type == nullptr || type->IsArray() || type->IsManaged() || (XsdPrimitive(type))) {
      return nullptr;
   }
   return type;
}

void CheckTypeInVersion(const Ormid::Type* type, const Ormid::Version* version) {
   const Ormid::Type* named = type->IsArray() ? type->GetItemType() : type;
   if (!PartOf(VersionNamed(named->GetVersion()), version)) {
      throw DecodeError("", std::string("type ") + named->GetName() + " is not part of version " +
                                version->GetName());
   }
}

const Ormid::DataObjectType* WrittenType(const Ormid::DataObjectType* type, const Ormid::Version* version) {
   const Ormid::DataObjectType* t = type;
   while (!PartOf(VersionNamed(t->GetVersion()), version)) {
      const Ormid::DataObjectType* base = t->GetBase();
      if (base == nullptr) {
         break;
      }
      t = base;
   }
   return t;
}

Pellum::Ref<Ormid::Any> NewArray(const Ormid::Type* item) {
   using K = Ormid::FieldKind;
   if (item->IsDataObject()) {
      return Pellum::Ref<Ormid::Any>(static_cast<const Ormid::DataObjectType*>(item)->CreateArray().GetPtr());
   }
   if (item->IsEnum()) {
      return Pellum::Ref<Ormid::Any>(static_cast<const Ormid::EnumType*>(item)->GetFuncs().createArray());
   }
   if (item->IsManaged()) {
      return Pellum::Ref<Ormid::Any>(new Ormid::DataArray<Ormid::MoRef>());
   }
   const K kind = ItemKindOf(item);
   if (kind == K::Any) {
      return Pellum::Ref<Ormid::Any>(new Ormid::DataArray<Ormid::Any>());
   }
   return WithScalarType(kind, [](auto tag) -> Pellum::Ref<Ormid::Any> {
      return Pellum::Ref<Ormid::Any>(new Ormid::Array<decltype(tag)>());
   });
}

std::string JoinPath(const std::vector<PathStep>& steps) {
   std::string path;
   for (const PathStep& step : steps) {
      if (!step.name.empty()) {
         if (!path.empty()) {
            path += '.';
         }
         path.append(step.name);
      }
      if (step.index >= 0) {
         path += '[';
         path += std::to_string(step.index);
         path += ']';
      }
   }
   return path;
}

} // namespace Detail

const Ormid::Version* DefaultVersion() {
   static const Ormid::Version* cached = nullptr;
   static std::once_flag once;
   std::call_once(once, [] {
      auto namespaces = Ormid::VersionCatalogue::Get().GetNamespaces();
      for (auto it = namespaces.rbegin(); it != namespaces.rend(); ++it) {
         if ((*it)->current != nullptr) {
            cached = (*it)->current;
            return;
         }
      }
   });
   if (cached == nullptr) {
      throw Error("", "no registered namespace has a released version to write for");
   }
   return cached;
}

std::string XmlNamespace(const Ormid::Version* version) {
   return std::string("urn:") + Detail::RecordOf(version).wireNamespace;
}

std::string SoapAction(const Ormid::Version* version) {
   const Ormid::VersionRecord& r = Detail::RecordOf(version);
   return std::string("urn:") + r.wireNamespace + "/" + r.versionId;
}

const Ormid::Version* FindVersionBySoapAction(std::string_view action) {
   if (action.size() >= 2 && action.front() == '"' && action.back() == '"') {
      action = action.substr(1, action.size() - 2);
   }
   if (!action.starts_with("urn:")) {
      return nullptr;
   }
   action.remove_prefix(4);
   const auto slash = action.find('/');
   if (slash == std::string_view::npos) {
      return nullptr;
   }
   const std::string_view ns = action.substr(0, slash);
   const std::string_view id = action.substr(slash + 1);
   for (const Ormid::Version* v : Ormid::VersionCatalogue::Get().GetVersions()) {
      const Ormid::VersionRecord* r = v->GetRecord();
      if (r != nullptr && r->wireNamespace != nullptr && r->versionId != nullptr && ns == r->wireNamespace &&
          id == r->versionId) {
         return v;
      }
   }
   return nullptr;
}

} // namespace Wire
