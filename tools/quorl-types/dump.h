// The runtime's view of one registered namespace as JSON (see dump.cpp).
#pragma once

#include <string>
#include <string_view>

namespace Ormid {
class Type;
}

namespace quorl_types {

// Throws Pellum::Exception when no namespace of that name is registered.
std::string DumpJson(std::string_view ns);

// "enum", "data", "fault" or "managed" for a type of those kinds, else null.
const char* KindKey(const Ormid::Type* type);

} // namespace quorl_types
