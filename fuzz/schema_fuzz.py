"""Mutation fuzzing of the schema front end (`python3 -m generator check`): every mutation of the real
schema must end in the generator's SchemaErrors or in a model that keeps the schema's rules, within 2 s.

    python3 fuzz/schema_fuzz.py --cases 3000 --seed S     # a run; exit status 1 when something was found
    python3 fuzz/schema_fuzz.py --seed S --case N -v      # case N of that run again, with its traceback

Each case mutates one file of a copy of schema/ in a temporary folder and runs load_schema on the copy.
Files a case leaves unchanged are parsed once for the whole run (the validator only reads the syntax trees).
"""

from __future__ import annotations

import argparse
import random
import re
import signal
import sys
import tempfile
import time
import traceback
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT))

from generator import validator  # noqa: E402
from generator.errors import SchemaErrors  # noqa: E402
from generator.model import MANAGED  # noqa: E402
from generator.parser import INT32_MAX, MAX_NESTING, MAX_VERSION_SLOTS, UINT32_MAX  # noqa: E402

SLOW = 2.0   # seconds: a case taking longer is a finding
HANG = 20    # seconds: a case is interrupted after this long

KEYWORDS = [b"data", b"fault", b"enum", b"managed", b"method", b"since", b"task", b"wsdl", b"version", b"parent",
            b"package", b"expect", b"{", b"}", b"(", b")", b";", b":", b",", b"->", b"[]", b"?", b"+", b"\"",
            b"/*", b"//", b".", b"version1", b"string", b"int"]


def _lines(data: bytes) -> list[bytes]:
    return data.splitlines(keepends=True) or [b""]


def flip(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    buf = bytearray(data)
    for _ in range(rng.randint(1, 4)):
        i = rng.randrange(len(buf))
        buf[i] ^= 1 << rng.randrange(8)
    return bytes(buf), "flip bits"


def delete(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    i = rng.randrange(len(data))
    n = rng.randint(1, 64)
    return data[:i] + data[i + n:], f"delete {n} bytes at {i}"


def duplicate_line(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    lines = _lines(data)
    i = rng.randrange(len(lines))
    lines.insert(i, lines[i])
    return b"".join(lines), f"duplicate line {i + 1}"


def delete_line(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    lines = _lines(data)
    i = rng.randrange(len(lines))
    del lines[i]
    return b"".join(lines), f"delete line {i + 1}"


def nest(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    lines = _lines(data)
    i = rng.randrange(len(lines) + 1)
    depth = rng.choice([MAX_NESTING, MAX_NESTING + 1, 100, 1000, 20000])
    kind = rng.choice([b"data", b"managed", b"fault"])
    opening = kind + b" N since version1 { "
    closing = b"} " * (depth if rng.random() < 0.7 else rng.randrange(depth))
    lines.insert(i, opening * depth + closing + b"\n")
    return b"".join(lines), f"nest {depth} deep at line {i + 1}"


def random_bytes(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    i = rng.randrange(len(data) + 1)
    junk = bytes(rng.randrange(256) for _ in range(rng.randint(1, 16)))
    return data[:i] + junk + data[i:], f"insert {junk!r} at {i}"


def insert_token(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    i = rng.randrange(len(data) + 1)
    tok = rng.choice(KEYWORDS)
    return data[:i] + b" " + tok + b" " + data[i:], f"insert {tok!r} at {i}"


def _words(data: bytes) -> list[bytes]:
    return re.findall(rb"[A-Za-z_][A-Za-z0-9_.]*", data)


def swap_names(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    words = sorted(set(_words(data)))
    if len(words) < 2:
        return flip(rng, data)
    a, b = rng.sample(words, 2)
    out = re.sub(rb"(?<![A-Za-z0-9_.])(" + re.escape(a) + rb"|" + re.escape(b) + rb")(?![A-Za-z0-9_.])",
                 lambda m: b if m.group() == a else a, data)
    return out, f"swap {a.decode()} and {b.decode()}"


def retarget_base(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    """Give a declaration with a base another type of the same file as base (often a cycle)."""
    decls = list(re.finditer(rb"\b(data|fault|managed) ([A-Za-z_][A-Za-z0-9_]*) : ([A-Za-z_][A-Za-z0-9_.]*)", data))
    if len(decls) < 2:
        return swap_names(rng, data)
    m = rng.choice(decls)
    target = rng.choice(decls).group(2)
    return data[:m.start(3)] + target + data[m.end(3):], f"base of {m.group(2).decode()} := {target.decode()}"


def big_number(rng: random.Random, data: bytes) -> tuple[bytes, str]:
    numbers = list(re.finditer(rb"(?<![A-Za-z0-9_])[0-9]+(?![A-Za-z0-9_])", data))
    if not numbers:
        return insert_token(rng, data)
    m = rng.choice(numbers)
    value = rng.choice([b"256", b"65536", b"2147483648", b"4294967296", b"0", b"0x" + b"f" * 16,
                        str(10 ** 30).encode(), b"9" * 5000])
    return data[:m.start()] + value + data[m.end():], f"number at {m.start()} := {value[:24].decode()}"


MUTATIONS = [flip, delete, duplicate_line, delete_line, nest, random_bytes, insert_token, swap_names,
             retarget_base, big_number]


def rule_breaks(model) -> list[str]:
    """Rules an accepted model must keep whatever the input; each one broken is a finding."""
    found = []
    ns = model.namespace
    if not 1 <= (ns.version_slots or 0) <= MAX_VERSION_SLOTS:
        found.append(f"version slots {ns.version_slots}")
    found += [f"count {c}" for c in ns.counts if not 0 <= c <= UINT32_MAX]
    for v in ns.versions:
        if not 0 <= v.stage <= 4 or not 0 <= v.flags <= UINT32_MAX:
            found.append(f"version {v.name}: stage {v.stage}, flags {v.flags}")
    for pkg in model.packages:
        found += [f"package {pkg.name} expects {n}" for n in pkg.expected.values() if not 0 <= n <= INT32_MAX]
    for t in model.types.values():
        seen, base = {t.name}, t.base
        while base in model.types:
            if base in seen:
                found.append(f"inheritance cycle through {t.name}")
                break
            seen.add(base)
            base = model.types[base].base
        depth, outer = 0, t.outer
        while outer is not None and depth <= MAX_NESTING:
            depth, outer = depth + 1, model.types[outer].outer
        if depth > MAX_NESTING:
            found.append(f"{t.name} nested more than {MAX_NESTING} deep")
        if t.kind != MANAGED:
            continue
        for m in t.methods:
            if m.task != m.wsdl.endswith("_Task"):
                found.append(f"method {m.name} of {t.name}: task {m.task}, operation {m.wsdl}")
            if any(not 0 <= b <= 255 for b in m.flag_bytes):
                found.append(f"method {m.name} of {t.name}: flag bytes {m.flag_bytes}")
    return found


class _Hang(Exception):
    pass


def _alarm(signum, frame):
    raise _Hang()


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cases", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--case", type=int, help="run only this case of the seed's sequence")
    ap.add_argument("--schema", default=str(ROOT / "schema"))
    ap.add_argument("-v", "--verbose", action="store_true", help="print the traceback of each finding")
    args = ap.parse_args(argv)

    originals = {p.name: p.read_bytes() for p in sorted(Path(args.schema).glob("*.kobl"))}
    names = sorted(originals)
    parsed: dict[str, object] = {}
    parse_package = validator.parse_package

    def cached_parse(text: str, path: str):
        # The run's paths differ from the originals' only in the folder; an unchanged file is parsed once.
        key = Path(path).name
        if text != texts_by_name.get(key):
            return parse_package(text, path)
        if key not in parsed:
            parsed[key] = parse_package(text, path)
        return parsed[key]

    texts_by_name = {n: d.decode("utf-8") for n, d in originals.items()}
    validator.parse_package = cached_parse
    signal.signal(signal.SIGALRM, _alarm)

    outcome = {"refused": 0, "accepted": 0, "finding": 0}
    findings = []
    start = time.monotonic()
    cases = [args.case] if args.case is not None else range(args.cases)
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp) / "schema"
        folder.mkdir()
        for name, data in originals.items():
            (folder / name).write_bytes(data)
        for case in cases:
            rng = random.Random(args.seed * 1_000_003 + case)
            name = names[0] if rng.random() < 0.1 else rng.choice(names)
            mutate = rng.choice(MUTATIONS)
            data, what = mutate(rng, originals[name])
            (folder / name).write_bytes(data)
            problem, trace = None, ""
            began = time.monotonic()
            signal.alarm(HANG)
            try:
                model, _ = validator.load_schema(folder)
                broken = rule_breaks(model)
                try:
                    data.decode("utf-8")
                except UnicodeDecodeError:
                    broken.append(f"{name} is not UTF-8")
                if broken:
                    problem = "accepted though invalid: " + "; ".join(broken[:3])
                outcome["accepted"] += 1
            except SchemaErrors:
                outcome["refused"] += 1
            except _Hang:
                problem = f"no answer after {HANG} s"
            except BaseException as e:  # noqa: BLE001 - every other exception is the finding
                if isinstance(e, KeyboardInterrupt):
                    raise
                problem = f"{type(e).__name__}: {str(e)[:200]}"
                trace = traceback.format_exc()
            finally:
                signal.alarm(0)
            took = time.monotonic() - began
            if problem is None and took > SLOW:
                problem = f"took {took:.1f} s"
            if problem is not None:
                outcome["finding"] += 1
                findings.append(case)
                print(f"case {case}: {name}: {mutate.__name__} ({what[:120]}): {problem}")
                if args.verbose and trace:
                    print(trace)
            (folder / name).write_bytes(originals[name])
    elapsed = time.monotonic() - start
    print(f"{len(cases)} cases in {elapsed:.1f} s (seed {args.seed}): {outcome['refused']} refused, "
          f"{outcome['accepted']} accepted, {outcome['finding']} finding(s)"
          + (f" (cases {', '.join(map(str, findings[:20]))})" if findings else ""))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
