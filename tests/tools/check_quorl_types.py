"""Checks the quorl-types command-line tool against what the runtime registers.

Usage: check_quorl_types.py <path to quorl-types>
"""

import json
import subprocess
import sys
import unittest

TOOL = None


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=60)


class QuorlTypesToolTest(unittest.TestCase):
    def test_dump_of_the_runtime_namespace_is_consistent_json(self):
        done = run("dump", "--json", "kobl")
        self.assertEqual(done.returncode, 0, done.stderr)
        doc = json.loads(done.stdout)
        types = doc["types"]
        # Every base named by a type is itself in the dump or is the root of the data objects.
        for name, t in types.items():
            if t["kind"] != "enum" and t["base"] is not None:
                self.assertIn(t["base"], types, name)
        # The package counts add up to the types listed.
        self.assertEqual(sum(sum(p["counts"].values()) for p in doc["packages"]), len(types))
        self.assertEqual(types["kobl.fault.SystemError"]["base"], "kobl.RuntimeFault")
        self.assertEqual([v["name"] for v in doc["versions"]][:1], ["kobl.version.version0"])

    def test_show_lists_inherited_properties_and_decodes_flags(self):
        done = run("show", "LocalizableMessage")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("kobl.LocalizableMessage", done.stdout)
        self.assertRegex(done.stdout, r"arg\s+kobl\.KeyAnyValue\s+array, optional")

    def test_unknown_names_fail_with_suggestions(self):
        done = run("show", "kobl.fault.SystemErorr")
        self.assertEqual(done.returncode, 2)
        self.assertIn('unknown type "kobl.fault.SystemErorr"', done.stderr)
        self.assertIn("kobl.fault.SystemError", done.stderr)
        done = run("dump", "--json", "nosuch")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn('no namespace "nosuch"', done.stderr)
        done = run("frobnicate")
        self.assertEqual(done.returncode, 2)
        self.assertIn("usage:", done.stderr)

    def test_summary_counts_every_registered_type(self):
        done = run("summary")
        self.assertEqual(done.returncode, 0, done.stderr)
        listed = run("list").stdout.strip().splitlines()
        self.assertIn(f"{len(listed)} types registered", done.stdout)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main()
