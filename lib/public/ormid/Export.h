// Export macro of libormid. Everything not marked is hidden.
#pragma once

#define ORMID_API __attribute__((visibility("default")))
