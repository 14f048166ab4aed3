// Readable rendering of values by reflection.
//
// Ormid::ToString(value) renders any value, indented by three spaces per level:
//
//   (quorl.vm.BootOptions) {
//      bootDelay = 5,
//      enterBIOSSetup = true,
//      bootOrder = (quorl.vm.BootOptions.BootableDevice[]) [
//         (quorl.vm.BootOptions.BootableDiskDevice) {
//            deviceKey = 3
//         }
//      ],
//      networkBootProtocol = "ipv4"
//   }
//
// A data object shows its type name and every property that is set (inherited properties first, each
// type's in declaration order), read through the descriptors' getFieldPtr; unset optional values, null
// references and empty arrays are left out, and an object without set properties renders as
// "(type) {}". Strings are quoted with C-style escapes, enumeration values show their names, date-times
// their ISO-8601 text, binaries their length and first bytes in hex, MoRef "type:id", boxed values
// "(type) value", arrays "(item type[]) [ ... ]" one element a line. A null value renders as "<unset>".
//
// Secrets: a property flagged secret (PropertyFlags::Secret) never shows its value: the mask "********"
// stands in its place, whatever the value's type (arrays included). ToString(value, flags) applies the
// same rule to a value whose parameter or property flags are given (a method argument, say).
//
// Nesting deeper than 64 levels renders as "...". Rendering takes no lock; the value must not be
// modified during the call.
#pragma once

#include <string>

#include "ormid/Any.h"
#include "ormid/Export.h"

namespace Ormid {

// The text that stands in for a secret value.
inline constexpr const char kSecretMask[] = "********";

ORMID_API std::string ToString(const Any* value);
ORMID_API std::string ToString(const Any* value, unsigned flags);

} // namespace Ormid
