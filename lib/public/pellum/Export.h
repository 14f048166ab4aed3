// Export macro of libpellum. Everything not marked is hidden.
#pragma once

#define PELLUM_API __attribute__((visibility("default")))
