// Ormid::NotServed: the answer of a member that an implementation does not serve.
//
// The generated skeletons (quorl/<Type>Skeleton.h) answer every member with it, so that an implementation
// derived from one overrides only the members it serves.
#pragma once

#include "ormid/Export.h"

namespace Ormid {

// Raises Ormid::Fault::NotSupported with a message naming `member` ("VirtualMachine::PowerOff is not
// served here", key "ormid.notServed"). The caller catches it as Ormid::Fault::NotSupported::Exception (or
// any base class of it), also across a stub adapter: the fault travels as it would over a wire.
[[noreturn]] ORMID_API void NotServed(const char* member);

} // namespace Ormid
