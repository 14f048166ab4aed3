"""Compares the load cost of builds of libquorl-types on a machine shared with other work: starts the load
probes of each build in turn, round after round (so that a change of the machine's load reaches every
build alike), and prints per probe the median wall time, CPU time (user + system, from wait4) and minor
page faults, and each one's difference from the first.

    python3 bench/load_compare.py ROUNDS PROBE...

A PROBE is a program path, or DIR:PROGRAM to run PROGRAM with LD_LIBRARY_PATH=DIR (a directory holding
another build of the libraries), e.g.

    python3 bench/load_compare.py 40 build/default/bench/quorl_probe_base \\
        build/default/bench/quorl_probe_types before/lib:build/default/bench/quorl_probe_types
"""

import os
import statistics
import sys
import time


def run(probe: str, devnull: int) -> tuple[float, float, int]:
    env = dict(os.environ)
    directory, _, program = probe.rpartition(":")
    if directory:
        env["LD_LIBRARY_PATH"] = directory
    start = time.perf_counter()
    pid = os.posix_spawn(program, [program], env, file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{probe} exited with wait status {status}")
    return wall * 1e3, (usage.ru_utime + usage.ru_stime) * 1e3, usage.ru_minflt


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    rounds, probes = int(sys.argv[1]), sys.argv[2:]
    devnull = os.open(os.devnull, os.O_WRONLY)
    samples = {p: [] for p in probes}
    for _ in range(rounds):
        for p in probes:
            samples[p].append(run(p, devnull))
    medians = {p: [statistics.median(column) for column in zip(*rows)] for p, rows in samples.items()}
    first = medians[probes[0]]
    for p in probes:
        wall, cpu, faults = medians[p]
        print(f"{p}: wall {wall:.2f} ms (+{wall - first[0]:.2f}), cpu {cpu:.2f} ms (+{cpu - first[1]:.2f}), "
              f"minor faults {faults:.0f}")
    print("load average:", open("/proc/loadavg").read().split()[:3])
    return 0


if __name__ == "__main__":
    sys.exit(main())
