// String-valued types of the object model: Ormid::TypeName ("kobl.TypeName"), Ormid::MethodName
// ("kobl.MethodName"), Ormid::Uri ("kobl.URI") and Ormid::PropertyPath ("kobl.PropertyPath").
//
// Each is a std::string with a distinct C++ type, so that reflection, boxing and arrays keep the schema
// type apart; they add no data and convert freely from and to std::string.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "ormid/Export.h"

namespace Ormid {

#define ORMID_STRING_VALUE_MEMBERS(Cls)                                                                      \
   using std::string::string;                                                                                \
   Cls() = default;                                                                                          \
   Cls(const std::string& s) : std::string(s) {}                                                             \
   Cls(std::string&& s) noexcept : std::string(std::move(s)) {}                                              \
   explicit Cls(std::string_view s) : std::string(s) {}                                                      \
   Cls(const Cls&) = default;                                                                                \
   Cls(Cls&&) noexcept = default;                                                                            \
   Cls& operator=(const Cls&) = default;                                                                     \
   Cls& operator=(Cls&&) noexcept = default;                                                                 \
   using std::string::operator=;

// The wire name of a type ("quorl.vm.BootOptions").
class TypeName : public std::string {
public:
   ORMID_STRING_VALUE_MEMBERS(TypeName)
};

// The wire name of a method ("quorl.VirtualMachine.powerOn").
class MethodName : public std::string {
public:
   ORMID_STRING_VALUE_MEMBERS(MethodName)
};

// A URI, kept as written.
class Uri : public std::string {
public:
   ORMID_STRING_VALUE_MEMBERS(Uri)
};

// A path to a property: names joined by dots ("config.hardware.device"); a component may carry a key
// selector in brackets ("device[4000]").
class ORMID_API PropertyPath : public std::string {
public:
   ORMID_STRING_VALUE_MEMBERS(PropertyPath)

   // Component-wise ordering: the paths are split at their dots and the components compared bytewise in
   // order; when one path is a leading part of the other, the shorter one comes first. Answers 0 when the
   // paths are equal, a negative number when a sorts first, a positive one when b does. Unlike a plain
   // string comparison, "a.b" sorts before "a-c" (its first component "a" is shorter).
   static int Compare(const PropertyPath& a, const PropertyPath& b) noexcept;
   static int Compare(std::string_view a, std::string_view b) noexcept;
   static int Compare(const char* a, const char* b) noexcept {
      return Compare(std::string_view(a), std::string_view(b));
   }

   // True when `prefix` is this path or a leading sequence of its components ("a.b" of "a.b.c", not of
   // "a.bc").
   bool StartsWithPath(std::string_view prefix) const noexcept;
};

#undef ORMID_STRING_VALUE_MEMBERS

} // namespace Ormid
