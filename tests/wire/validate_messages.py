"""Every XML document the codec's round-trip test writes, validated against the generated XSD by libxml2's
xmllint: the codec and the service description must agree on every type of the namespace.

usage: validate_messages.py <wire_tests program> <quorl.xsd> <work folder in the build tree>
Exits 77 (skipped) when xmllint is missing. The programs of a cross build run through the emulator in QUORL_EMULATOR (set by tests/CMakeLists.txt).
"""

from __future__ import annotations

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path


def main() -> int:
    program, xsd, work = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
    if shutil.which("xmllint") is None:
        print("xmllint is missing (Debian package libxml2-utils): skipped")
        return 77
    messages = work / "messages"
    shutil.rmtree(messages, ignore_errors=True)
    env = dict(os.environ, QUORL_WIRE_MESSAGES=str(messages))
    run = subprocess.run([*shlex.split(os.environ.get("QUORL_EMULATOR", "")), program, "--gtest_filter=WireRoundTrip.*"], env=env, capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stdout[-4000:], run.stderr[-4000:])
        return 1
    files = sorted(messages.glob("*.xml"))
    if len(files) < 3000:
        print(f"only {len(files)} documents written")
        return 1
    failed = 0
    for start in range(0, len(files), 400):
        batch = [str(f) for f in files[start:start + 400]]
        check = subprocess.run(["xmllint", "--noout", "--schema", str(xsd), *batch],
                               capture_output=True, text=True)
        if check.returncode != 0:
            bad = [line for line in check.stderr.splitlines() if not line.endswith(" validates")]
            failed += sum(1 for line in bad if line.endswith("fails to validate"))
            print("\n".join(bad[:40]))
    print(f"{len(files) - failed} of {len(files)} documents validate against {xsd.name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
