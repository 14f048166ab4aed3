#include "pellum/Panic.h"

#include <execinfo.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void Panic(const char* format, ...) {
   // Format into a fixed buffer: the heap may be what is broken.
   char message[2048];
   int length = 0;
   if (format != nullptr) {
      va_list args;
      va_start(args, format);
      length = std::vsnprintf(message, sizeof message, format, args);
      va_end(args);
   }
   if (length < 0) {
      length = 0;
      message[0] = '\0';
   }
   std::size_t size = std::strlen(message);
   std::fflush(stdout);
   std::fputs("PANIC: ", stderr);
   std::fwrite(message, 1, size, stderr);
   if (size == 0 || message[size - 1] != '\n') {
      std::fputc('\n', stderr);
   }
   std::fflush(stderr);
   void* frames[32];
   int count = backtrace(frames, 32);
   backtrace_symbols_fd(frames, count, STDERR_FILENO);
   std::abort();
}
