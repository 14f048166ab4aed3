// Load probe linked to libquorl-types: the dynamic loader maps the library and its initialiser registers
// every type before main. With --report it prints the registry size and its own memory figures.
#include <cstdio>
#include <string_view>

#include "ProbeReport.h"
#include "quorl/TaskInfo.h"

int main(int argc, char** argv) {
   // One descriptor lookup keeps the library a real dependency of the executable (a linker dropping
   // unused libraries would otherwise leave it out) and shows that its registration ran.
   Ormid::DataObjectType* task = Ormid::GetDoType<Quorl::TaskInfo>();
   if (task == nullptr) {
      std::fprintf(stderr, "probe_types: quorl.TaskInfo is not registered\n");
      return 2;
   }
   if (argc > 1 && std::string_view(argv[1]) == "--report") {
      std::printf("types=%zu\n", QuorlBench::RegisteredTypeCount());
      QuorlBench::PrintMemory("");
   }
   return 0;
}
