// PropertyPath ordering and MoRef.

#include <functional>
#include <string>
#include <string_view>

#include "ormid/MoRef.h"
#include "ormid/Registry.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

// ---------------------------------------------------------------------------------------------------------
// PropertyPath

int PropertyPath::Compare(std::string_view a, std::string_view b) noexcept {
   std::size_t i = 0;
   std::size_t j = 0;
   while (true) {
      const std::size_t ea = std::min(a.find('.', i), a.size());
      const std::size_t eb = std::min(b.find('.', j), b.size());
      const int c = a.substr(i, ea - i).compare(b.substr(j, eb - j));
      if (c != 0) {
         return c < 0 ? -1 : 1;
      }
      const bool aDone = ea >= a.size();
      const bool bDone = eb >= b.size();
      if (aDone || bDone) {
         return aDone == bDone ? 0 : (aDone ? -1 : 1);
      }
      i = ea + 1;
      j = eb + 1;
   }
}

int PropertyPath::Compare(const PropertyPath& a, const PropertyPath& b) noexcept {
   return Compare(std::string_view(a), std::string_view(b));
}

bool PropertyPath::StartsWithPath(std::string_view prefix) const noexcept {
   const std::string_view self(*this);
   if (!self.starts_with(prefix)) {
      return false;
   }
   return self.size() == prefix.size() || self[prefix.size()] == '.' || self[prefix.size()] == '[';
}

// ---------------------------------------------------------------------------------------------------------
// MoRef

namespace {

std::string CheckedId(std::string id) {
   if (id.empty()) {
      throw Pellum::Exception("a managed-object reference needs a non-empty id");
   }
   return id;
}

std::string CheckedTypeName(std::string typeName) {
   if (typeName.empty()) {
      throw Pellum::Exception("a managed-object reference needs a non-empty type name");
   }
   return typeName;
}

std::string NameOfManagedType(const Type* type) {
   if (type == nullptr || !type->IsManaged()) {
      throw Pellum::Exception(Pellum::ASPrint("a managed-object reference needs a managed type; got %1",
                                              type != nullptr ? type->GetName() : "null"));
   }
   return type->GetName();
}

} // namespace

MoRef::MoRef(std::string typeName, std::string id)
    : _typeName(CheckedTypeName(std::move(typeName))), _id(CheckedId(std::move(id))) {}

MoRef::MoRef(const Type* type, std::string id)
    : _typeName(NameOfManagedType(type)), _id(CheckedId(std::move(id))) {}

MoRef::~MoRef() = default;

Pellum::Ref<MoRef> MoRef::Parse(std::string_view text) {
   const std::size_t colon = text.find(':');
   if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) {
      throw Pellum::Exception(
          Pellum::ASPrint("\"%1\" is not a managed-object reference (expected \"type:id\")", text));
   }
   return Pellum::Ref<MoRef>(
       new MoRef(std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))));
}

Type* MoRef::GetManagedType() const {
   Type* type = TypeRegistry::Get().FindByName(_typeName);
   return type != nullptr && type->IsManaged() ? type : nullptr;
}

std::size_t MoRef::Hash() const noexcept {
   const std::size_t h = std::hash<std::string>()(_typeName);
   return h ^ (std::hash<std::string>()(_id) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

std::string MoRef::ToString() const {
   return _typeName + ":" + _id;
}

Type* MoRef::_GetType() const {
   return GetNoType<MoRef>();
}

bool MoRef::_IsEqual(const Any* other, bool /*pattern*/) const {
   const MoRef* o = dynamic_cast<const MoRef*>(other);
   return o != nullptr && Equals(*o);
}

void MoRef::_DiffProperties(const Any* other, const DiffPath& prefix, PropertyDiffSet& diffs) const {
   if (!_IsEqual(other, false)) {
      diffs.Add(prefix);
   }
}

} // namespace Ormid
