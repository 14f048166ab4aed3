// Export macro of libquorl-transport. Everything not marked is hidden.
#pragma once

#define TRANSPORT_API __attribute__((visibility("default")))
