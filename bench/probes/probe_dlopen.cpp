// Load probe that opens libquorl-types at run time: `probe_dlopen LIBRARY lazy|now`. Linked to the runtime
// only, so the runtime is already mapped and the figures are those of the type library alone. Prints
// dlopen_ns (the dlopen call, initialisers and registration included), the registry size before and
// after, and the memory figures before (before_*) and after (after_*).
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <string_view>

#include "ProbeReport.h"

int main(int argc, char** argv) {
   if (argc != 3 || (std::string_view(argv[2]) != "lazy" && std::string_view(argv[2]) != "now")) {
      std::fprintf(stderr, "usage: probe_dlopen LIBRARY lazy|now\n");
      return 2;
   }
   const int mode = std::string_view(argv[2]) == "now" ? RTLD_NOW : RTLD_LAZY;
   const std::size_t before = QuorlBench::RegisteredTypeCount();
   QuorlBench::PrintMemory("before_");
   std::fflush(stdout);

   const auto start = std::chrono::steady_clock::now();
   void* handle = dlopen(argv[1], mode | RTLD_LOCAL);
   const auto stop = std::chrono::steady_clock::now();
   if (handle == nullptr) {
      std::fprintf(stderr, "probe_dlopen: %s\n", dlerror());
      return 3;
   }
   const std::size_t after = QuorlBench::RegisteredTypeCount();
   std::printf(
       "dlopen_ns=%lld\n",
       static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start).count()));
   std::printf("types_before=%zu\ntypes_after=%zu\n", before, after);
   QuorlBench::PrintMemory("after_");
   // The library stays loaded until exit: its types stay registered for the life of the process.
   return 0;
}
