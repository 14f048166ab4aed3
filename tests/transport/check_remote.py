"""Two processes: `quorl-types serve` on the loopback address, called by an independent SOAP client
(Python's zeep, through Debian's python3, which has it) and by the C++ example client
(examples/remote-power-on). The server stops gracefully on SIGTERM.

usage: check_remote.py <quorl-types> <remote-power-on> <quorl.wsdl>
Exits 77 (skipped) when zeep is missing. The programs of a cross build run through the emulator in
QUORL_EMULATOR (set by tests/CMakeLists.txt).
"""

from __future__ import annotations

import os
import re
import shlex
import signal
import subprocess
import sys

DEBIAN_PYTHON = "/usr/bin/python3"

ZEEP_CLIENT = r'''
import sys, time, zeep
wsdl, url = sys.argv[1], sys.argv[2]
s = zeep.Client(wsdl=wsdl).create_service("{urn:quorl25}QuorlBinding", url)
def ref(t, v): return {"_value_1": v, "type": t}
def fault_of(call, **kw):
    try:
        call(**kw)
    except zeep.exceptions.Fault as f:
        detail = f.detail[0]
        props = {c.tag.split("}")[1]: c.text for c in detail}
        return detail.get("{http://www.w3.org/2001/XMLSchema-instance}type"), props
    raise AssertionError("no fault")
content = s.RetrieveServiceContent(_this=ref("ServiceInstance", "ServiceInstance"))
assert content.about.name == "quorl-types serve", content.about
vm = ref("VirtualMachine", "vm-2")
kind, props = fault_of(s.PowerOnVM_Task, _this=vm)
assert kind == "NotAuthenticated", kind
kind, props = fault_of(s.Login, _this=content.sessionManager, userName="admin", password="wrong")
assert kind == "InvalidLogin", kind
s.Login(_this=content.sessionManager, userName="viewer", password="view")
kind, props = fault_of(s.PowerOnVM_Task, _this=vm)
assert kind == "NoPermission" and props["privilegeId"] == "VirtualMachine.Interact.PowerOn", (kind, props)
s.Login(_this=content.sessionManager, userName="admin", password="secret")
task = s.PowerOnVM_Task(_this=vm)
for _ in range(500):
    info = s.Fetch(_this=task, prop="info")
    if info.state in ("success", "error"):
        break
    time.sleep(0.01)
assert info.state == "success" and info.entity._value_1 == "vm-2", info
kind, props = fault_of(s.PowerOnVM_Task, _this=vm)
assert kind == "InvalidPowerState" and props["existingState"] == "poweredOn", (kind, props)
print("zeep: anonymous content, NotAuthenticated, InvalidLogin, NoPermission, power-on task to success, "
      "InvalidPowerState with its properties")
'''


def main() -> int:
    tool, example, wsdl = sys.argv[1:4]
    emulator = shlex.split(os.environ.get("QUORL_EMULATOR", ""))  # a cross build's programs run through it
    if subprocess.run([DEBIAN_PYTHON, "-c", "import zeep"], capture_output=True).returncode != 0:
        print("Python's zeep is missing (Debian package python3-zeep): skipped")
        return 77
    server = subprocess.Popen([*emulator, tool, "serve", "--port", "0", "--user", "admin:secret",
                               "--user", "viewer:view:System.View"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        line = server.stdout.readline()
        match = re.search(r"(http://\S+)", line)
        if not match:
            print("the server did not start:", line, server.stdout.read() if server.poll() is not None else "")
            return 1
        zeep_run, client, refused = (subprocess.run(args, capture_output=True, text=True, timeout=120) for args in (
            [DEBIAN_PYTHON, "-c", ZEEP_CLIENT, wsdl, match[1]], [*emulator, example, match[1], "admin", "secret"],
            [*emulator, example, match[1], "admin", "nope"]))
        print(zeep_run.stdout, zeep_run.stderr[-3000:], client.stdout, client.stderr)
        ok = (zeep_run.returncode == 0 and client.returncode == 0 and "InvalidPowerState" in client.stdout
              and refused.returncode == 1 and "InvalidLogin" in refused.stderr)
    finally:
        server.send_signal(signal.SIGTERM)
        try:
            rest, _ = server.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            server.kill()
            print("the server did not stop on SIGTERM")
            return 1
    if server.returncode != 0 or "stopped" not in rest:
        print("the server did not stop cleanly:", server.returncode, rest)
        return 1
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
