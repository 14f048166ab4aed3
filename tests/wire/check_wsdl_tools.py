"""The service description (`python3 -m generator wsdl`) read by tools written by others: libxml2's
xmllint compiles the XSD and validates documents written as docs/wire.md describes them (and refuses
broken ones), gSOAP's wsdl2h turns the WSDL into a header, and zeep (through Debian's python3, which has
it) loads the WSDL offline; what the tools find is compared with the schema's model.

With --messages, every XML document the codec's round-trip test writes is validated against the XSD by
xmllint instead: the codec and the service description must agree on every type of the namespace.

usage: check_wsdl_tools.py <folder holding quorl.xsd and quorl.wsdl> <work folder in the build tree>
       check_wsdl_tools.py --messages <wire_tests program> <quorl.xsd> <work folder in the build tree>
Exits 0 when every check passed, 1 when one failed, 77 (skipped) when none failed but a tool is missing. The
programs of a cross build run through the emulator in QUORL_EMULATOR (set by tests/CMakeLists.txt).
"""

from __future__ import annotations

import json
import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

SKIP = 77
DEBIAN_PYTHON = "/usr/bin/python3"
ROOT = Path(__file__).resolve().parents[2]

XMLNS = ('xmlns="urn:quorl25" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
         'xmlns:xsd="http://www.w3.org/2001/XMLSchema"')

# (file, document, None when it must validate, else a fragment of xmllint's complaint)
DOCUMENTS = (
    ("derived_item", f'<value {XMLNS} xsi:type="VirtualMachineBootOptions"><bootDelay>5</bootDelay>'
     '<enterBIOSSetup>1</enterBIOSSetup><bootOrder xsi:type="VirtualMachineBootOptionsBootableDiskDevice">'
     '<deviceKey>2000</deviceKey></bootOrder><bootOrder xsi:type="VirtualMachineBootOptionsBootableCdromDevice"/>'
     '</value>', None),
    ("boxed_arrays", f'<value {XMLNS} xsi:type="ArrayOfAnyType"><anyType xsi:type="ArrayOfString"><string>a'
     '</string><string>b</string></anyType><anyType xsi:type="ManagedObjectReference" type="Folder">group-d1'
     '</anyType><anyType xsi:type="xsd:double">-INF</anyType><anyType xsi:type="TypeName">quorl.Folder</anyType>'
     '</value>', None),
    ("request", f'<PowerOnVM_Task {XMLNS}><_this type="VirtualMachine">vm-42</_this>'
     '<host type="HostSystem">host-7</host></PowerOnVM_Task>', None),
    ("fault_detail", f'<InvalidPowerStateFault {XMLNS} xsi:type="InvalidPowerState"><faultMessage><key>k</key>'
     '<arg><key>n</key><value xsi:type="xsd:int">5</value></arg></faultMessage>'
     '<existingState>poweredOff</existingState></InvalidPowerStateFault>', None),
    ("unknown_child", f'<value {XMLNS} xsi:type="VirtualMachineBootOptions"><bootDelay>5</bootDelay>'
     '<bogus>1</bogus></value>', "bogus"),
    ("outside_enumeration", f'<InvalidPowerStateFault {XMLNS}><existingState>asleep</existingState>'
     '</InvalidPowerStateFault>', "asleep"),
    ("reference_without_type", f'<PowerOnVM_Task {XMLNS}><_this>vm-42</_this></PowerOnVM_Task>', "type"),
)


class Checks:
    def __init__(self, folder: Path, work: Path):
        self.xsd, self.wsdl, self.work = folder / "quorl.xsd", folder / "quorl.wsdl", work
        self.failed: list[str] = []
        self.skipped: list[str] = []

    def check(self, ok: bool, what: str, detail: str = "") -> None:
        print(f"{'ok  ' if ok else 'FAIL'} {what}" + (f"\n{detail}" if detail and not ok else ""))
        self.failed += [] if ok else [what]

    def skip(self, tool: str) -> None:
        print(f"SKIP {tool} is not installed (scripts/setup.sh installs it)")
        self.skipped.append(tool)

    @staticmethod
    def run(args: list[str], cwd: Path | None = None) -> subprocess.CompletedProcess:
        return subprocess.run(args, cwd=cwd, capture_output=True, text=True)

    # --- libxml2 ---------------------------------------------------------------------------------
    def xmllint(self) -> None:
        if shutil.which("xmllint") is None:
            return self.skip("xmllint (libxml2-utils)")
        r = self.run(["xmllint", "--noout", str(self.xsd), str(self.wsdl)])
        self.check(r.returncode == 0, "xmllint: both documents are well formed", r.stderr)
        for name, text, complaint in DOCUMENTS:
            path = self.work / f"{name}.xml"
            path.write_text(text + "\n", encoding="utf-8")
            r = self.run(["xmllint", "--noout", "--schema", str(self.xsd), str(path)])
            refused = r.returncode == 3 and "Schemas validity error" in r.stderr and (complaint or "") in r.stderr
            self.check(r.returncode == 0 if complaint is None else refused,
                       f"xmllint: {name} {'validates' if complaint is None else 'is refused'}", r.stderr)

    # --- gSOAP -----------------------------------------------------------------------------------
    def wsdl2h(self, operations: dict, action: str) -> None:
        if shutil.which("wsdl2h") is None:
            return self.skip("wsdl2h (gsoap)")
        header = self.work / "quorl.h"
        r = self.run(["wsdl2h", "-o", str(header), str(self.wsdl)], cwd=self.work)
        output = r.stdout + r.stderr
        self.check(r.returncode == 0 and not re.search(r"\berror\b", output, re.I),
                   "wsdl2h: reads the WSDL without error", output)
        actions = dict(re.findall(r"^//gsoap \w+ +service method-input-action:\s+(\S+) (\S+)", header.read_text(),
                                  re.M)) if header.is_file() else {}
        self.check(sorted(actions) == sorted(op.replace("_", "_USCORE") for op in operations),
                   f"wsdl2h: the header has the {len(operations)} operations",
                   f"missing {sorted(set(o.replace('_', '_USCORE') for o in operations) - set(actions))[:10]}")
        self.check(set(actions.values()) == {action}, f"wsdl2h: every SOAP action is {action}",
                   str(set(actions.values())))

    # --- zeep ------------------------------------------------------------------------------------
    def zeep(self, operations: dict, action: str) -> None:
        if not Path(DEBIAN_PYTHON).is_file():
            return self.skip(f"{DEBIAN_PYTHON} (python3-zeep)")
        r = self.run([DEBIAN_PYTHON, __file__, "--zeep", str(self.wsdl)])
        if r.returncode == SKIP:
            return self.skip(f"zeep for {DEBIAN_PYTHON} (python3-zeep)")
        self.check(r.returncode == 0, "zeep: loads the WSDL offline", r.stderr[-3000:])
        if r.returncode != 0:
            return
        found = json.loads(r.stdout)
        wrong = [op for op, want in operations.items() if found.get(op) != dict(want, action=action)]
        self.check(not wrong and len(found) == len(operations),
                   f"zeep: the {len(operations)} operations with their parts, results, faults and action",
                   "\n".join(f"{op}: want {dict(operations[op], action=action)}, got {found.get(op)}"
                             for op in wrong[:5]) + f"\nextra: {sorted(set(found) - set(operations))[:5]}")


def expectations(schema: Path) -> tuple[dict, str]:
    """Per operation what a reader of the WSDL must find, from the model; and the SOAP action."""
    sys.path.insert(0, str(ROOT))
    from generator import load_schema
    model, _ = load_schema(schema)
    release = next(v for v in model.namespace.versions if v.stage_name == "released")
    wsdl_of = {name: t.wsdl for name, t in model.types.items()}
    ops = {"Fetch": {"input": ["_this", "prop"], "output": ["returnval"], "faults": []}}
    for t in model.types.values():
        for m in t.methods:
            ops[m.wsdl] = {"input": ["_this"] + [p.name for p in m.params],
                           "output": ["returnval"] if m.result is not None or m.task else [],
                           "faults": sorted(wsdl_of.get(f, f.rsplit(".", 1)[1]) + "Fault" for f in m.faults)}
    return ops, f"urn:{release.wire_namespace}/{release.version_id}"


def zeep_probe(wsdl: str) -> int:
    """Run by Debian's python3: every operation of the WSDL as JSON, loaded without network access."""
    try:
        import zeep
        from zeep.transports import Transport
    except ImportError:
        return SKIP

    class Offline(Transport):
        def load(self, url):
            if re.match(r"https?:", url):
                raise RuntimeError(f"the WSDL made zeep fetch {url}")
            return super().load(url)

    client = zeep.Client(wsdl=wsdl, transport=Offline())
    out = {}
    for service in client.wsdl.services.values():
        for port in service.ports.values():
            for name, op in port.binding._operations.items():
                out[name] = {"input": [n for n, _ in op.input.body.type.elements],
                             "output": [n for n, _ in op.output.body.type.elements],
                             "faults": sorted(op.faults), "action": op.soapaction}
    json.dump(out, sys.stdout)
    return 0


def validate_messages(program: str, xsd: Path, work: Path) -> int:
    if shutil.which("xmllint") is None:
        print("xmllint is missing (Debian package libxml2-utils): skipped")
        return SKIP
    messages = work / "messages"
    shutil.rmtree(messages, ignore_errors=True)
    emulator = shlex.split(os.environ.get("QUORL_EMULATOR", ""))
    run = subprocess.run([*emulator, program, "--gtest_filter=WireRoundTrip.*"],
                         env=dict(os.environ, QUORL_WIRE_MESSAGES=str(messages)), capture_output=True, text=True)
    files = sorted(messages.glob("*.xml"))
    if run.returncode != 0 or len(files) < 3000:
        print(f"{len(files)} documents written", run.stdout[-4000:], run.stderr[-4000:])
        return 1
    bad = []
    for start in range(0, len(files), 400):
        check = subprocess.run(["xmllint", "--noout", "--schema", str(xsd), *map(str, files[start:start + 400])],
                               capture_output=True, text=True)
        bad += [line for line in check.stderr.splitlines() if not line.endswith(" validates")]
    failed = sum(1 for line in bad if line.endswith("fails to validate"))
    print("\n".join(bad[:40] + [f"{len(files) - failed} of {len(files)} documents validate against {xsd.name}"]))
    return 1 if failed else 0


def main(argv: list[str]) -> int:
    if len(argv) == 3 and argv[1] == "--zeep":
        return zeep_probe(argv[2])
    if len(argv) == 5 and argv[1] == "--messages":
        return validate_messages(argv[2], Path(argv[3]), Path(argv[4]))
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    checks = Checks(Path(argv[1]), Path(argv[2]))
    missing = [str(path) for path in (checks.xsd, checks.wsdl) if not path.is_file()]
    if missing:
        print(f"FAIL {', '.join(missing)} missing (the quorl_wsdl target writes them)")
        return 1
    checks.work.mkdir(parents=True, exist_ok=True)
    operations, action = expectations(ROOT / "schema")
    checks.xmllint()
    checks.wsdl2h(operations, action)
    checks.zeep(operations, action)
    if checks.failed:
        print(f"{len(checks.failed)} check(s) failed")
        return 1
    return SKIP if checks.skipped else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
