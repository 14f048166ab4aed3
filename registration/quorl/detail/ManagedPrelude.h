// Included first by the headers of managed types and by every source of libquorl-types (the precompiled
// header): the data prelude and what interfaces, client stubs and dispatchers use.
#pragma once

#include "ormid/ManagedObject.h"
#include "ormid/ManagedType.h"
#include "ormid/Stub.h"
#include "pellum/System/ScheduledItem.h"
#include "quorl/detail/Prelude.h"
