// Export macro of libquorl-wire. Everything not marked is hidden.
#pragma once

#define WIRE_API __attribute__((visibility("default")))
