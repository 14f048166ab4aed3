// The runtime's view of one registered namespace as JSON (see dump.cpp).
#pragma once

#include <string>
#include <string_view>

namespace quorl_types {

// Throws Pellum::Exception when no namespace of that name is registered.
std::string DumpJson(std::string_view ns);

} // namespace quorl_types
