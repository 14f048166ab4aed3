// Managed type objects and their method objects.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "ormid/Any.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Registry.h"
#include "ormid/Stub.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
   return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Adds a readable explanation to a fault the runtime raises (the exception text names only the type).
void AddFaultMessage(MethodFault* fault, const char* key, std::string text) {
   Pellum::Ref<LocalizableMessage> message(new LocalizableMessage(key, std::move(text)));
   fault->GetFaultMessage()->Append(message.GetPtr());
}

std::string_view Text(const char* text) {
   return text != nullptr ? std::string_view(text) : std::string_view();
}

// "<type>.<member>", built in one allocation.
std::string FullName(const ManagedObjectType* owner, std::string_view member) {
   const std::string_view type = owner->GetName();
   std::string name;
   name.reserve(type.size() + 1 + member.size());
   name.append(type).append(1, '.').append(member);
   return name;
}

const char* MemberName(const ManagedMethod* member) {
   return member->GetName();
}
const char* OperationName(const ManagedMethod* member) {
   return member->GetWsdlName();
}

// Binary search of one sorted range of method objects by its key.
template <class KeyOf>
ManagedMethod* Lookup(ManagedMethod* const* range, std::size_t count, std::string_view key, KeyOf keyOf) {
   ManagedMethod* const* end = range + count;
   ManagedMethod* const* at =
       std::lower_bound(range, end, key, [keyOf](const ManagedMethod* m, std::string_view k) {
          return std::string_view(keyOf(m)) < k;
       });
   return at != end && std::string_view(keyOf(*at)) == key ? *at : nullptr;
}

const TypeInfo* CheckedHeader(const ManagedTypeInfo* info) {
   if (info == nullptr) {
      throw Pellum::Exception("cannot create a managed type from a null descriptor");
   }
   if (info->type == nullptr || info->type->name == nullptr) {
      throw Pellum::Exception("managed type descriptor without a type header or name");
   }
   if (info->type->kind != KindManaged) {
      throw Pellum::Exception(Pellum::ASPrint("cannot create managed type %1 from a header of kind %2",
                                              info->type->name, info->type->kind));
   }
   return info->type;
}

} // namespace

// --- ManagedMethod ---------------------------------------------------------------------------------------

ManagedMethod::ManagedMethod(ManagedObjectType* owner, int index, const ManagedMethodInfo* method)
    : _owner(owner), _index(index), _method(method), _name(method->name),
      _fullName(FullName(owner, method->name)), _result(method->result), _params(method->params) {
   _isTask = EndsWith(Text(method->wsdlName), "_Task");
   if (_params != nullptr) {
      while (_params[_paramCount].type != nullptr) {
         ++_paramCount;
      }
   }
   if (_paramCount > 64) {
      _requiresValue.resize(_paramCount - 64);
   }
   for (std::size_t i = 0; i < _paramCount; ++i) {
      const ParamInfo& param = _params[i];
      if (param.name == nullptr) {
         throw Pellum::Exception(Pellum::ASPrint("parameter %1 of %2 has no name", i, _fullName));
      }
      FieldKind kind;
      try {
         kind = GetFieldKind(param);
      } catch (const Pellum::Exception& e) {
         throw Pellum::Exception(
             Pellum::ASPrint("parameter %1 of %2: %3", param.name, _fullName, e.GetMessage()));
      }
      const bool required = (param.flags & PropertyFlags::Optional) == 0 && !IsReferenceKind(kind);
      if (i < 64) {
         _requiredMask |= static_cast<uint64_t>(required) << i;
      } else {
         _requiresValue[i - 64] = required;
      }
   }
   _faults = method->faults;
   if (_faults != nullptr) {
      while (_faults[_faultCount] != nullptr) {
         ++_faultCount;
      }
   }
}

ManagedMethod::ManagedMethod(ManagedObjectType* owner, int index, const PropertyRecord* property)
    : _owner(owner), _index(index), _property(property), _name(property->name),
      _fullName(FullName(owner, property->name)), _result(*property) {}

const char* ManagedMethod::GetWsdlName() const noexcept {
   return _method != nullptr ? _method->wsdlName : nullptr;
}

const ParamInfo& ManagedMethod::GetParam(std::size_t i) const {
   if (i >= _paramCount) {
      throw Pellum::Exception(
          Pellum::ASPrint("%1 has %2 parameters: no parameter %3", _fullName, _paramCount, i));
   }
   return _params[i];
}

const char* ManagedMethod::GetPrivilegeId() const noexcept {
   return _method != nullptr ? _method->privilegeId : _property->privilegeId;
}

const char* ManagedMethod::GetPrivilegeFor(std::string_view typeName) const noexcept {
   if (_method != nullptr && _method->typePrivileges != nullptr) {
      for (const TypePrivilege* entry = _method->typePrivileges; entry->typeName != nullptr; ++entry) {
         if (typeName == entry->typeName) {
            return entry->privilegeId;
         }
      }
   }
   return GetPrivilegeId();
}

const char* ManagedMethod::GetVersion() const noexcept {
   return _method != nullptr ? _method->version : _property->version;
}

void ManagedMethod::Dispatch(ManagedObject* target, std::vector<Pellum::Ref<Any>>& args,
                             Pellum::Ref<Any>& result) const {
   _owner->Dispatch(target, _index, args, result);
}

// --- ManagedObjectType -----------------------------------------------------------------------------------

ManagedObjectType::ManagedObjectType(const ManagedTypeInfo* info) : Type(CheckedHeader(info)), _info(info) {
   if (info->methodObjects == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 has no method-object table", GetName()));
   }
   if (info->methods != nullptr) {
      while (info->methods[_methodCount].name != nullptr) {
         ++_methodCount;
      }
   }
   if (info->properties != nullptr) {
      while (info->properties[_propertyCount].type != nullptr) {
         ++_propertyCount;
      }
   }
   for (std::size_t i = 0; i <= _methodCount + _propertyCount; ++i) {
      if (info->methodObjects[i] != nullptr) {
         throw Pellum::Exception(Pellum::ASPrint(
             "the method-object table of managed type %1 is already filled (slot %2): a type object for "
             "this descriptor exists",
             GetName(), i));
      }
   }
   if (_propertyCount > 0 && info->propertyIndex == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("managed type %1 has properties but no property-index function", GetName()));
   }

   // All method objects in one block: the table entries and lookups point into it.
   const std::size_t count = _methodCount + _propertyCount;
   _members.data = std::allocator<ManagedMethod>().allocate(count);
   _members.capacity = count;
   for (std::size_t i = 0; i < _methodCount; ++i) {
      const ManagedMethodInfo& record = info->methods[i];
      if (record.wsdlName == nullptr) {
         throw Pellum::Exception(
             Pellum::ASPrint("method %1 of managed type %2 has no operation name", record.name, GetName()));
      }
      new (&_members.data[i]) ManagedMethod(this, static_cast<int>(i), &record);
      ++_members.size;
   }
   for (std::size_t i = 0; i < _propertyCount; ++i) {
      const PropertyRecord& record = info->properties[i];
      if (record.name == nullptr) {
         throw Pellum::Exception(Pellum::ASPrint("property %1 of managed type %2 has no name", i, GetName()));
      }
      new (&_members.data[_methodCount + i]) ManagedMethod(this, static_cast<int>(_methodCount + i), &record);
      ++_members.size;
   }

   _sorted.resize(2 * _methodCount + _propertyCount);
   const auto sortRange = [this](std::size_t first, std::size_t from, std::size_t count, auto key,
                                 const char* what) {
      ManagedMethod** range = _sorted.data() + first;
      for (std::size_t i = 0; i < count; ++i) {
         range[i] = &_members.data[from + i];
      }
      std::sort(range, range + count, [key](const ManagedMethod* a, const ManagedMethod* b) {
         return std::strcmp(key(a), key(b)) < 0;
      });
      for (std::size_t i = 1; i < count; ++i) {
         if (std::strcmp(key(range[i]), key(range[i - 1])) == 0) {
            throw Pellum::Exception(
                Pellum::ASPrint("managed type %1 declares %2 %3 twice", GetName(), what, key(range[i])));
         }
      }
   };
   sortRange(0, 0, _methodCount, MemberName, "method");
   sortRange(_methodCount, 0, _methodCount, OperationName, "operation");
   sortRange(2 * _methodCount, _methodCount, _propertyCount, MemberName, "property");

   // Everything is built: publish the method objects. The last slot stays null.
   for (std::size_t i = 0; i < _members.size; ++i) {
      info->methodObjects[i] = &_members.data[i];
   }
}

ManagedObjectType::Members::~Members() {
   for (std::size_t i = size; i > 0; --i) {
      data[i - 1].~ManagedMethod();
   }
   if (data != nullptr) {
      std::allocator<ManagedMethod>().deallocate(data, capacity);
   }
}

ManagedObjectType::~ManagedObjectType() = default;

Type* ManagedObjectType::GetBaseType() const {
   Type* base = _base.load(std::memory_order_acquire);
   if (base != nullptr) {
      return base;
   }
   const TypeInfo* header = _info->base;
   if (header == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 names no base type", GetName()));
   }
   base = TypeRegistry::Get().FindByHeader(header);
   if (base == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("base type %1 of managed type %2 is not registered",
                                              Text(header->name), GetName()));
   }
   if (!base->IsManaged()) {
      throw Pellum::Exception(Pellum::ASPrint("base type %1 of managed type %2 is not a managed type",
                                              base->GetName(), GetName()));
   }
   // Every thread that resolves finds the same object: a plain store is enough.
   _base.store(base, std::memory_order_release);
   return base;
}

ManagedObjectType* ManagedObjectType::GetBase() const {
   return dynamic_cast<ManagedObjectType*>(GetBaseType());
}

ManagedMethod* ManagedObjectType::GetMethodObject(std::size_t index) const {
   if (index >= _members.size) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 has %2 method objects: no slot %3", GetName(),
                                              _members.size, index));
   }
   return &_members.data[index];
}

ManagedMethod* ManagedObjectType::GetOwnMethod(std::size_t i) const {
   if (i >= _methodCount) {
      throw Pellum::Exception(
          Pellum::ASPrint("managed type %1 has %2 own methods: no method %3", GetName(), _methodCount, i));
   }
   return &_members.data[i];
}

ManagedMethod* ManagedObjectType::GetOwnProperty(std::size_t i) const {
   if (i >= _propertyCount) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 has %2 own properties: no property %3",
                                              GetName(), _propertyCount, i));
   }
   return &_members.data[_methodCount + i];
}

ManagedMethod* ManagedObjectType::FindMethod(std::string_view name) const {
   std::size_t dot = name.rfind('.');
   if (dot != std::string_view::npos) {
      std::string_view typeName = name.substr(0, dot);
      std::string_view member = name.substr(dot + 1);
      // The type part picks where the search starts: a method a type inherits is found through it too.
      for (const ManagedObjectType* type = this; type != nullptr; type = type->GetBase()) {
         if (typeName == type->GetName()) {
            return type->FindMethod(member);
         }
      }
      return nullptr;
   }
   for (const ManagedObjectType* type = this; type != nullptr; type = type->GetBase()) {
      if (ManagedMethod* found = Lookup(type->_sorted.data(), type->_methodCount, name, MemberName)) {
         return found;
      }
   }
   return nullptr;
}

ManagedMethod* ManagedObjectType::FindMethodByWsdlName(std::string_view operation) const {
   for (const ManagedObjectType* type = this; type != nullptr; type = type->GetBase()) {
      const std::size_t m = type->_methodCount;
      if (ManagedMethod* found = Lookup(type->_sorted.data() + m, m, operation, OperationName)) {
         return found;
      }
   }
   return nullptr;
}

ManagedMethod* ManagedObjectType::FindProperty(std::string_view name) const {
   for (const ManagedObjectType* type = this; type != nullptr; type = type->GetBase()) {
      const std::size_t m = type->_methodCount;
      if (ManagedMethod* found =
              Lookup(type->_sorted.data() + 2 * m, type->_propertyCount, name, MemberName)) {
         return found;
      }
   }
   return nullptr;
}

uint32_t ManagedObjectType::PropertyIndex(std::string_view name) const {
   if (_info->propertyIndex == nullptr || name.size() > 0xFFFFFFFEu) {
      return kNoProperty;
   }
   return _info->propertyIndex(name.data(), static_cast<uint32_t>(name.size()));
}

void ManagedObjectType::Dispatch(ManagedObject* target, int index, std::vector<Pellum::Ref<Any>>& args,
                                 Pellum::Ref<Any>& result) const {
   if (target == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("dispatch on managed type %1 without a target", GetName()));
   }
   if (index < 0 || static_cast<std::size_t>(index) >= _members.size) {
      throw Pellum::Exception(Pellum::ASPrint("dispatch on managed type %1: index %2 is outside 0 .. %3",
                                              GetName(), index, static_cast<long>(_members.size) - 1));
   }
   if (_info->dispatch == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 has no dispatcher", GetName()));
   }
   const ManagedMethod& method = _members.data[static_cast<std::size_t>(index)];
   if (args.size() != method.GetParamCount()) {
      Pellum::Ref<Fault::InvalidRequest> fault(new Fault::InvalidRequest());
      AddFaultMessage(fault.GetPtr(), "ormid.dispatch.argumentCount",
                      Pellum::ASPrint("%1 takes %2 arguments, %3 were given", method.GetFullName(),
                                      method.GetParamCount(), args.size()));
      fault->Throw();
   }
   for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i] && method.RequiresValue(i)) {
         Pellum::Ref<Fault::InvalidArgument> fault(new Fault::InvalidArgument(method.GetParam(i).name));
         AddFaultMessage(fault.GetPtr(), "ormid.dispatch.missingArgument",
                         Pellum::ASPrint("required argument %1 of %2 is missing", method.GetParam(i).name,
                                         method.GetFullName()));
         fault->Throw();
      }
   }
   result = nullptr;
   _info->dispatch(target, index, args, result);
}

Pellum::Ref<StubImpl> ManagedObjectType::CreateStub(MoRef* ref, StubAdapter* adapter,
                                                    RequestContext* context) const {
   if (ref == nullptr || adapter == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("a stub of managed type %1 needs a reference and an adapter (%2)", GetName(),
                          ref == nullptr ? "no reference" : "no adapter"));
   }
   if (_info->createStub == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("managed type %1 has no stub factory", GetName()));
   }
   Pellum::Ref<StubImpl> stub(_info->createStub(ref, adapter, context));
   if (!stub) {
      throw Pellum::Exception(Pellum::ASPrint("the stub factory of managed type %1 made no stub", GetName()));
   }
   return stub;
}

ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info) {
   return new ManagedObjectType(info);
}

} // namespace Ormid
