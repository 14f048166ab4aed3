// Load probe linked to the runtime only (libormid, libpellum): the baseline that probe_types is compared
// with. With --report it prints the registry size (the runtime's base types) and its memory figures.
#include <cstdio>
#include <string_view>

#include "ProbeReport.h"

int main(int argc, char** argv) {
   const std::size_t types = QuorlBench::RegisteredTypeCount();
   if (types == 0) {
      std::fprintf(stderr, "probe_base: the runtime registered no types\n");
      return 2;
   }
   if (argc > 1 && std::string_view(argv[1]) == "--report") {
      std::printf("types=%zu\n", types);
      QuorlBench::PrintMemory("");
   }
   return 0;
}
