// Included first by every header of libquorl-types: the runtime headers that data objects, faults and
// enumerations use, the export macro, the process-wide string constants and the small helpers of generated
// code. Headers of managed types include ManagedPrelude.h, which adds stubs, dispatch and scheduling.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Array.h"
#include "ormid/BaseTypes.h"
#include "ormid/FieldAccess.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "ormid/Primitive.h"
#include "ormid/Records.h"
#include "ormid/Strings.h"
#include "ormid/Type.h"
#include "pellum/Deduplicated.h"
#include "pellum/Http.h"
#include "pellum/Optional.h"
#include "pellum/Ref.h"
#include "pellum/System/DateTime.h"
#include "quorl/Export.h"

namespace Quorl {

// Keys under which authentication and authorisation events carry their data. Each holds its own name;
// being inline variables of a header that every translation unit includes, each is constructed by
// whichever initialiser reaches it first and destroyed at exit.
inline const std::string AUTHN_EVENT_KEY{"AUTHN_EVENT_KEY"};
inline const std::string AUTHN_SUBJECT_KEY{"AUTHN_SUBJECT_KEY"};
inline const std::string AUTHN_OBJECT_KEY{"AUTHN_OBJECT_KEY"};
inline const std::string AUTHN_PARAM_PREFIX{"AUTHN_PARAM_PREFIX"};
inline const std::string AUTHZ_EVENT_KEY{"AUTHZ_EVENT_KEY"};
inline const std::string AUTHZ_SUBJECT_KEY{"AUTHZ_SUBJECT_KEY"};
inline const std::string AUTHZ_OBJECT_KEY{"AUTHZ_OBJECT_KEY"};
inline const std::string AUTHZ_PARAM_PREFIX{"AUTHZ_PARAM_PREFIX"};

namespace Detail {

// The copy of a reference field: the source's _Clone() through Ormid::CloneNested, which refuses a
// reference cycle (a deep copy for data objects and arrays, the same object for MoRef and boxed values),
// or null. The new field takes one reference.
template <class X> X* CloneRef(const Pellum::Ref<X>& source) {
   return ::Ormid::CloneNested(source);
}

} // namespace Detail
} // namespace Quorl
