// What a load probe prints on --report: one `key=value` line per figure, read back by load_bench.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "ormid/Registry.h"

namespace QuorlBench {

// Number of types in the runtime's registry (the base types alone, or those plus the library's).
inline std::size_t RegisteredTypeCount() {
   return Ormid::TypeRegistry::Get().GetTypes().size();
}

// Prints `prefix` + the kB figures of /proc/self/status (VmRSS, RssAnon, RssFile, VmHWM) and of
// /proc/self/smaps_rollup (Pss, Private_Clean, Private_Dirty) as `key_KiB=value` lines. Fields the
// kernel does not provide are left out.
inline void PrintMemory(const std::string& prefix) {
   const char* files[] = {"/proc/self/status", "/proc/self/smaps_rollup"};
   const char* wanted[] = {"VmRSS", "RssAnon", "RssFile", "VmHWM", "Pss", "Private_Clean", "Private_Dirty"};
   for (const char* file : files) {
      std::ifstream in(file);
      std::string line;
      while (std::getline(in, line)) {
         const std::size_t colon = line.find(':');
         if (colon == std::string::npos) {
            continue;
         }
         const std::string key = line.substr(0, colon);
         for (const char* w : wanted) {
            if (key == w) {
               std::istringstream rest(line.substr(colon + 1));
               long kib = 0;
               if (rest >> kib) {
                  std::printf("%s%s_KiB=%ld\n", prefix.c_str(), w, kib);
               }
            }
         }
      }
   }
}

} // namespace QuorlBench
