// Load cost of libquorl-types, measured on fresh processes:
//   BM_ProcessStart/base   spawn + wait of probe_base (runtime only)
//   BM_ProcessStart/types  spawn + wait of probe_types (runtime + type library, every type registered)
//   BM_Dlopen/lazy|now     dlopen of the type library inside a fresh probe_dlopen (manual time: the
//                          dlopen call alone, timed by the child)
//   BM_FirstWrite/file|anon the first write to each page of a fresh private mapping: of a file (the
//                          copy the kernel makes of a page of relocated data when the loader writes it)
//                          or anonymous (zero-filled storage, the heap); time per page, unmapping included
// Counters: the child's peak resident set, CPU time (user + system) and minor page faults (wait4's rusage,
// averaged over the iterations: the CPU time is steadier than the wall time on a machine shared with other
// work) and, from one --report run of each probe done before timing, its registry size and /proc memory
// figures.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ChildResult {
   std::string out;
   long maxRssKiB = 0;
   double cpuMs = 0;
   long minorFaults = 0;
};

std::string Errno(const char* what) {
   return std::string(what) + ": " + std::strerror(errno);
}

// Runs `args` to completion. Its stdout goes to a pipe that is read into `out` when `capture`, to
// /dev/null otherwise. Throws std::runtime_error when the child cannot be started or does not exit
// with status 0.
ChildResult Run(const std::vector<std::string>& args, bool capture) {
   std::vector<char*> argv;
   for (const std::string& a : args) {
      argv.push_back(const_cast<char*>(a.c_str()));
   }
   argv.push_back(nullptr);

   int fds[2] = {-1, -1};
   posix_spawn_file_actions_t actions;
   posix_spawn_file_actions_init(&actions);
   if (capture) {
      if (pipe(fds) != 0) {
         posix_spawn_file_actions_destroy(&actions);
         throw std::runtime_error(Errno("pipe"));
      }
      posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
      posix_spawn_file_actions_addclose(&actions, fds[0]);
      posix_spawn_file_actions_addclose(&actions, fds[1]);
   } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
   }
   pid_t pid = -1;
   const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
   posix_spawn_file_actions_destroy(&actions);
   ChildResult result;
   if (capture) {
      close(fds[1]);
      if (rc == 0) {
         char buf[4096];
         ssize_t n = 0;
         while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) {
               result.out.append(buf, static_cast<std::size_t>(n));
            }
         }
      }
      close(fds[0]);
   }
   if (rc != 0) {
      throw std::runtime_error("posix_spawn " + args[0] + ": " + std::strerror(rc));
   }
   int status = 0;
   struct rusage usage {};
   while (wait4(pid, &status, 0, &usage) < 0) {
      if (errno != EINTR) {
         throw std::runtime_error(Errno("wait4"));
      }
   }
   if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      throw std::runtime_error(args[0] + " did not exit cleanly (wait status " + std::to_string(status) +
                               ")");
   }
   result.maxRssKiB = usage.ru_maxrss;
   result.cpuMs = (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3);
   result.minorFaults = usage.ru_minflt;
   return result;
}

// `key=value` lines into a map; other lines are ignored.
std::map<std::string, double> ParseReport(const std::string& text) {
   std::map<std::string, double> values;
   std::size_t start = 0;
   while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) {
         end = text.size();
      }
      const std::string line = text.substr(start, end - start);
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) {
         values[line.substr(0, eq)] = std::stod(line.substr(eq + 1));
      }
      start = end + 1;
   }
   return values;
}

double Need(const std::map<std::string, double>& report, const std::string& key) {
   auto it = report.find(key);
   if (it == report.end()) {
      throw std::runtime_error("probe report has no " + key);
   }
   return it->second;
}

const std::vector<std::string> kMemoryKeys = {"VmRSS_KiB", "RssAnon_KiB", "RssFile_KiB", "Pss_KiB",
                                              "Private_Dirty_KiB"};

void BM_ProcessStart(benchmark::State& state, const char* probe) {
   try {
      // The figures of one reporting run of this probe and of the baseline, and checks that the type
      // library really registered its types in probe_types and not in probe_base.
      const auto own = ParseReport(Run({probe, "--report"}, true).out);
      const auto base = ParseReport(Run({QUORL_BENCH_PROBE_BASE, "--report"}, true).out);
      const double types = Need(own, "types");
      const double baseTypes = Need(base, "types");
      const bool isTypes = std::string(probe) == QUORL_BENCH_PROBE_TYPES;
      if (isTypes != (types > baseTypes)) {
         state.SkipWithError(("unexpected registry sizes: " + std::to_string(types) + " against " +
                              std::to_string(baseTypes) + " for the baseline")
                                 .c_str());
         return;
      }
      state.counters["types"] = types;
      for (const std::string& key : kMemoryKeys) {
         if (own.count(key) != 0) {
            state.counters[key] = own.at(key);
            if (isTypes && base.count(key) != 0) {
               state.counters["delta_" + key] = own.at(key) - base.at(key);
            }
         }
      }
      double maxRss = 0;
      double cpuMs = 0;
      double minorFaults = 0;
      for (auto _ : state) {
         const ChildResult child = Run({probe}, false);
         maxRss += static_cast<double>(child.maxRssKiB);
         cpuMs += child.cpuMs;
         minorFaults += static_cast<double>(child.minorFaults);
      }
      state.counters["maxrss_KiB"] = benchmark::Counter(maxRss, benchmark::Counter::kAvgIterations);
      state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
      state.counters["minflt"] = benchmark::Counter(minorFaults, benchmark::Counter::kAvgIterations);
   } catch (const std::exception& e) {
      state.SkipWithError(e.what());
   }
}
BENCHMARK_CAPTURE(BM_ProcessStart, base, QUORL_BENCH_PROBE_BASE)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ProcessStart, types, QUORL_BENCH_PROBE_TYPES)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Dlopen(benchmark::State& state, const char* mode) {
   try {
      double typesAdded = 0;
      std::map<std::string, double> deltas;
      for (auto _ : state) {
         const auto report =
             ParseReport(Run({QUORL_BENCH_PROBE_DLOPEN, QUORL_BENCH_TYPES_LIBRARY, mode}, true).out);
         const double added = Need(report, "types_after") - Need(report, "types_before");
         if (added <= 0) {
            state.SkipWithError("dlopen of the type library registered no types");
            break;
         }
         typesAdded = added;
         for (const std::string& key : kMemoryKeys) {
            if (report.count("before_" + key) != 0 && report.count("after_" + key) != 0) {
               deltas[key] += report.at("after_" + key) - report.at("before_" + key);
            }
         }
         state.SetIterationTime(Need(report, "dlopen_ns") * 1e-9);
      }
      state.counters["types_added"] = typesAdded;
      for (const auto& [key, sum] : deltas) {
         state.counters["delta_" + key] = benchmark::Counter(sum, benchmark::Counter::kAvgIterations);
      }
   } catch (const std::exception& e) {
      state.SkipWithError(e.what());
   }
}
BENCHMARK_CAPTURE(BM_Dlopen, lazy, "lazy")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_Dlopen, now, "now")->Unit(benchmark::kMillisecond)->UseManualTime();

// What a page of memory written for the first time costs this machine: the floor under a start that
// relocates megabytes of data (a page-fault and, for a file, a page copy, per 4 KiB).
void BM_FirstWrite(benchmark::State& state, bool file) {
   const std::size_t pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
   const std::size_t pages = 512;
   const std::size_t size = pages * pageSize;
   const std::unique_ptr<std::FILE, int (*)(std::FILE*)> backing(file ? std::tmpfile() : nullptr,
                                                                 &std::fclose);
   if (file && (backing == nullptr || ftruncate(fileno(backing.get()), static_cast<off_t>(size)) != 0)) {
      state.SkipWithError(Errno("temporary file").c_str());
      return;
   }
   const int fd = file ? fileno(backing.get()) : -1;
   const int flags = MAP_PRIVATE | (file ? 0 : MAP_ANONYMOUS);
   if (file) {
      // Read the file once through a mapping so that its pages are in the page cache, as the library's are.
      void* warm = mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
      if (warm != MAP_FAILED) {
         munmap(warm, size);
      }
   }
   double seconds = 0;
   for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, fd, 0);
      if (map == MAP_FAILED) {
         state.SkipWithError(Errno("mmap").c_str());
         break;
      }
      auto* bytes = static_cast<volatile char*>(map);
      for (std::size_t offset = 0; offset < size; offset += pageSize) {
         bytes[offset] = 1;
      }
      munmap(map, size);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
   }
   if (state.iterations() > 0) {
      state.counters["us_per_page"] =
          seconds * 1e6 / static_cast<double>(state.iterations() * static_cast<std::int64_t>(pages));
   }
}
BENCHMARK_CAPTURE(BM_FirstWrite, file, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FirstWrite, anon, false)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
