// Panic: the end of the process on a path that a correct program never takes.
//
// Formats its arguments like printf, writes "PANIC: " and the text to standard error followed by the
// current call stack, and aborts the process (SIGABRT, so a core dump or debugger catches it). It never
// returns and never throws.
#pragma once

#include "pellum/Export.h"

[[noreturn]] PELLUM_API void Panic(const char* format, ...) __attribute__((format(printf, 1, 2)));

namespace Pellum {
using ::Panic;
} // namespace Pellum
