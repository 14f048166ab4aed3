// Export macro of libquorl-types. Everything not marked is hidden; classes are exported whole (their
// virtual tables and type information must be visible so that faults thrown in the library can be caught
// by type elsewhere and dynamic_cast works across the library boundary).
#pragma once

#define QUORL_API __attribute__((visibility("default")))
