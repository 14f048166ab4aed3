"""Checks the quorl-types tool: check_quorl_types.py <path to quorl-types> [--schema]. With --schema the tool
is linked with libquorl-types and its dump of the "quorl" namespace, written from the runtime's registry and
descriptors, is compared with the schema's JSON model. A cross build's emulator is QUORL_EMULATOR."""

import json
import os
import shlex
import subprocess
import sys
import unittest
from pathlib import Path

TOOL = []  # the tool, after the emulator of a cross build (QUORL_EMULATOR)
WITH_SCHEMA = False
ROOT = Path(__file__).resolve().parents[2]


def run(*args, stdin=None, ok=False):
    """The tool's outcome; with ok, its failure raises with its error output."""
    done = subprocess.run([*TOOL, *args], input=stdin, capture_output=True, text=True, timeout=60)
    if ok and done.returncode != 0:
        raise AssertionError(done.stderr)
    return done


def shown(name):
    """`show NAME`: (property names in the order listed, the example value block or None)."""
    done = run("show", name, ok=True)
    head, marker, example = done.stdout.partition("example value:\n")
    listed = head.partition("properties (")[2].splitlines()[1:]
    return [line.split()[0] for line in listed], (example if marker else None)


def example_of(test, name):
    """The example value of `show NAME`, in which every property, inherited ones included, holds a value."""
    props, example = shown(name)
    test.assertIsNotNone(example, name)
    for prop in props:
        test.assertRegex(example, rf"\n     {prop} = \S", f"{name}.{prop}")
    return example


class QuorlTypesToolTest(unittest.TestCase):
    def test_dump_of_the_runtime_namespace_is_consistent_json(self):
        doc = json.loads(run("dump", "--json", "kobl", ok=True).stdout)
        types = doc["types"]
        # Every base named by a type is itself in the dump or is the root of the data objects.
        for name, t in types.items():
            if t["kind"] != "enum" and t["base"] is not None:
                self.assertIn(t["base"], types, name)
        # The package counts add up to the types listed.
        self.assertEqual(sum(sum(p["counts"].values()) for p in doc["packages"]), len(types))
        self.assertEqual(types["kobl.fault.SystemError"]["base"], "kobl.RuntimeFault")
        self.assertEqual([v["name"] for v in doc["versions"]][:1], ["kobl.version.version0"])

    def test_show_lists_inherited_properties_and_builds_an_example_of_data_objects_and_faults(self):
        done = run("show", "LocalizableMessage", ok=True)
        self.assertIn("kobl.LocalizableMessage", done.stdout)
        self.assertRegex(done.stdout, r"arg\s+kobl\.KeyAnyValue\s+array, optional")
        example = example_of(self, "kobl.fault.SystemError")
        self.assertTrue(example.startswith("  (kobl.fault.SystemError) {\n") and example.endswith("\n  }\n"))
        # Strings, an array with one nested element, an any value.
        example = example_of(self, "kobl.LocalizableMessage")
        for text in ('     key = "example",\n', "     arg = (kobl.KeyAnyValue[]) [\n        (kobl.KeyAnyValue) {\n",
                     '           value = (string) "example"\n'):
            self.assertIn(text, example)
        # Managed types and enumerations have no example value.
        self.assertIsNone(shown("kobl.query.PropertyCollector")[1])

    def test_bad_names_and_arguments_are_named_in_the_error(self):
        # (arguments, a part of the error, a text the error must not hold)
        rows = [
            (["show", "kobl.fault.SystemErorr"], 'unknown type "kobl.fault.SystemErorr"; did you mean '
                                                 'kobl.fault.SystemError', None),
            (["show", ""], "the type name is empty", "did you mean"),
            (["show", "-h"], 'show: unknown option "-h"', "did you mean"),
            (["show"], "show: missing argument", None),
            (["show", "a", "b"], 'show: unexpected argument "b"', None),
            (["list", "quorl.nosuch"], 'no type name starts with "quorl.nosuch"', None),
            (["dump", "--json", "nosuch"], 'no namespace "nosuch"', None),
            (["dump", "nosuch"], 'dump: unexpected argument "nosuch"', None),
            (["summary", "x"], 'summary: unexpected argument "x"', None),
            (["frobnicate"], 'unknown command "frobnicate"', None),
        ]
        for args, error, absent in rows:
            with self.subTest(args=args):
                done = run(*args)
                self.assertNotEqual(done.returncode, 0)
                self.assertEqual(done.stdout, "")
                self.assertIn(error, done.stderr)
                if absent:
                    self.assertNotIn(absent, done.stderr)

    def test_summary_counts_every_registered_type(self):
        self.assertIn(f"{len(run('list').stdout.strip().splitlines())} types registered", run("summary").stdout)


class SchemaAgainstRuntimeTest(unittest.TestCase):
    """What the runtime registered from the generated library is what the schema says, type for type, and
    `show` on generated types: an example built by reflection, one sample value per property kind."""

    @classmethod
    def setUpClass(cls):
        if not WITH_SCHEMA:
            raise unittest.SkipTest("the tool is not linked with libquorl-types")
        cls.runtime = json.loads(run("dump", "--json", "quorl", ok=True).stdout)
        model = subprocess.run([sys.executable, "-m", "generator", "json"], cwd=ROOT, capture_output=True,
                               text=True, check=True)
        cls.schema = json.loads(model.stdout)

    def test_namespace_versions_parents_and_what_each_package_registered(self):
        for key in ("namespace", "versions", "parents"):
            self.assertEqual(self.runtime[key], self.schema[key], key)
        self.assertEqual(self.runtime["packages"], [{k: v for k, v in p.items() if k != "expected"}
                                                    for p in self.schema["packages"]])

    def test_the_registered_types_are_the_schema_s(self):
        # As many as the schema has, each one of them (the package table: registration_test).
        registered = self.runtime["types"]
        self.assertEqual(len(registered), len(self.schema["types"]))
        for name, t in registered.items():
            with self.subTest(type=name):
                # The schema's view without what descriptors cannot carry: inferred versions, deduplication.
                known = {k: v for k, v in self.schema["types"][name].items() if k != "inferred"}
                if "properties" in known:
                    known["properties"] = [{k: v for k, v in p.items() if k != "dedup"} for p in known["properties"]]
                self.assertEqual(t, known)

    def test_encode_and_decode_turn_a_value_from_json_into_xml_and_back(self):
        as_json = run("encode", "quorl.vm.ConfigSpec", "--json", ok=True)
        self.assertTrue(as_json.stdout.startswith('{"_type":"VirtualMachineConfigSpec"'), as_json.stdout[:80])
        as_xml = run("decode", "-", stdin=as_json.stdout, ok=True)
        self.assertIn('xsi:type="VirtualMachineConfigSpec"', as_xml.stdout)
        self.assertEqual(run("decode", stdin=as_xml.stdout).stdout, as_json.stdout)
        # An older version leaves out what is newer; a bad document names the place and fails.
        old = run("encode", "quorl.vm.BootOptions", "--version", "4.1")
        self.assertNotIn("efiSecureBootEnabled", old.stdout)
        self.assertIn("<bootDelay>", old.stdout)
        bad = run("decode", stdin='{"_type":"VirtualMachineBootOptions","bootDelay":"x"}')
        self.assertEqual(bad.returncode, 1)
        self.assertIn("bootDelay:", bad.stderr)
        for args in (("encode",), ("encode", "quorl.Folder"), ("decode", "--to", "yaml"), ("encode", "x", "--nope")):
            with self.subTest(args=args):
                self.assertNotEqual(run(*args).returncode, 0)

    def test_examples_show_every_kind_of_value_masked_secrets_and_inherited_properties(self):
        # (type, the whole example or lines it holds, at the top level unless indented further)
        rows = [
            ("quorl.vm.BootOptions", "  (quorl.vm.BootOptions) {\n     bootDelay = 1,\n     enterBIOSSetup = true,\n"
             "     efiSecureBootEnabled = true,\n     bootRetryEnabled = true,\n     bootRetryDelay = 1,\n"
             "     bootOrder = (quorl.vm.BootOptions.BootableDevice[]) [\n"
             "        (quorl.vm.BootOptions.BootableDevice) {}\n     ],\n"
             '     networkBootProtocol = "example"\n  }\n'),
            ("quorl.host.PatchManager.PatchManagerOperationSpec",
             "  (quorl.host.PatchManager.PatchManagerOperationSpec) {\n     password = ********\n  }\n"),
            ("quorl.TaskInfo", ["task = quorl.Task:example-1,", "entity = quorl.ManagedEntity:example-1,",
                                "state = queued,", "queueTime = 2024-01-01T00:00:00Z,", 'result = (string) "example",',
                                'name = "exampleMethod",', "error = (kobl.MethodFault) {",
                                "reason = (quorl.TaskReason) {},", '   message = "example"']),
            ("quorl.host.PatchManager.Result", ['xmlResult = "example"']),
            ("quorl.vm.device.VirtualDisk",
             ["   connected = true,", 'iofilter = (string[]) [\n        "example"\n     ],']),
        ]
        for name, expected in rows:
            with self.subTest(type=name):
                example = example_of(self, name)
                if isinstance(expected, str):
                    self.assertEqual(example, expected)
                for line in expected if isinstance(expected, list) else []:
                    self.assertIn(f"\n     {line}\n", example)
        example = example_of(self, "quorl.vm.device.VirtualDisk")  # base properties first
        self.assertLess(example.index("\n     key = 1,"), example.index("\n     capacityInKB = 1,"))

if __name__ == "__main__":
    TOOL = [*shlex.split(os.environ.get("QUORL_EMULATOR", "")), sys.argv.pop(1)]
    if "--schema" in sys.argv:
        sys.argv.remove("--schema")
        WITH_SCHEMA = True
    unittest.main()
