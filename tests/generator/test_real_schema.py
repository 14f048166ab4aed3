"""The schema of the repository: it validates, quickly, and its model is consistent."""

import json
import time
import unittest
from pathlib import Path

from generator import load_schema
from generator.jsonout import to_json
from generator.model import ENUM, KINDS

SCHEMA = Path(__file__).resolve().parents[2] / "schema"


@unittest.skipUnless((SCHEMA / "namespace.kobl").is_file(),
                     f"no schema files yet: {SCHEMA / 'namespace.kobl'} does not exist")
class RealSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        start = time.perf_counter()
        cls.model, cls.warnings = load_schema(SCHEMA)
        cls.seconds = time.perf_counter() - start

    def test_loads_well_under_two_seconds(self):
        self.assertLess(self.seconds, 2.0)

    def test_counts_never_exceed_the_registration_table(self):
        for pkg in self.model.packages:
            for kind in KINDS:
                with self.subTest(package=pkg.name, kind=kind):
                    self.assertLessEqual(pkg.counts[kind], pkg.expected[kind])
            self.assertEqual(sum(pkg.counts.values()), len(pkg.types))

    def test_model_is_consistent(self):
        types = self.model.types
        for name, t in types.items():
            if t.outer is not None:
                self.assertEqual(types[t.outer].package, t.package, name)
                self.assertIn(name, types[t.outer].nested)
            self.assertEqual(t.base is None, t.kind == ENUM, name)
            for prop in t.properties:
                self.assertIsNotNone(self.model.lookup(prop.type), f"{name}.{prop.name}")
            for method in t.methods:
                for fault in method.faults:
                    self.assertEqual(self.model.kind_of(fault), "fault", f"{name}.{method.name}")
        for pkg in self.model.packages:
            listed = self.model.type_list(pkg.name)
            self.assertEqual(sorted(listed), sorted(pkg.types))
            position = {n: i for i, n in enumerate(listed)}
            for n in listed:
                base = types[n].base
                if base in position:
                    self.assertLess(position[base], position[n], f"{base} after {n}")

    def test_json_is_deterministic(self):
        text = to_json(self.model)
        self.assertEqual(text, to_json(load_schema(SCHEMA)[0]))
        doc = json.loads(text)
        self.assertEqual(len(doc["types"]), len(self.model.types))
        self.assertEqual(len(doc["versions"]), len(self.model.namespace.versions))


if __name__ == "__main__":
    unittest.main()


@unittest.skipUnless((SCHEMA / "namespace.kobl").is_file(), "no schema files yet")
class ShortfallTest(unittest.TestCase):
    """The schema holds what the catalogue names; schema/README.md states what it leaves out. Both must agree,
    so that an edit that loses (or invents) a type or a member shows up here."""

    @classmethod
    def setUpClass(cls):
        cls.model, _ = load_schema(SCHEMA)

    def readme_rows(self):
        text = (SCHEMA / "README.md").read_text(encoding="utf-8")
        section = text[text.index("## What the catalogue leaves out"):]
        rows = {}
        for line in section.splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) == 5 and cells[1].startswith("`quorl"):
                numbers = lambda cell: tuple(int(n) for n in cell.split(","))
                rows[cells[1].strip("`")] = (numbers(cells[2]), numbers(cells[3]))
        return rows

    def test_readme_table_states_the_schema_and_the_registration_table(self):
        rows = self.readme_rows()
        self.assertEqual(list(rows), [p.name for p in self.model.packages])
        kinds = ("data", "fault", "enum", "managed")
        for pkg in self.model.packages:
            registered, declared = rows[pkg.name]
            self.assertEqual(registered, tuple(pkg.expected[k] for k in kinds), pkg.name)
            self.assertEqual(declared, tuple(pkg.counts[k] for k in kinds), pkg.name)

    def test_member_totals_the_catalogue_gives(self):
        types = list(self.model.types.values())
        managed = [t for t in types if t.kind == "managed"]
        totals = {
            "types": len(types),
            "enum values": sum(len(t.values) for t in types),
            "data and fault properties": sum(len(t.properties) for t in types if t.kind != "managed"),
            "managed properties": sum(len(t.properties) for t in managed),
            "methods": sum(len(t.methods) for t in managed),
            "parameters": sum(len(m.params) for t in managed for m in t.methods),
        }
        self.assertEqual(totals, {"types": 3937, "enum values": 2216, "data and fault properties": 1743,
                                  "managed properties": 300, "methods": 1467, "parameters": 2279})
        # Never more than the library registers: 2,276 values, 8,861 property records, 310 managed-type
        # properties, 1,503 methods, 2,353 parameters.
        for key, ceiling in (("enum values", 2276), ("data and fault properties", 8861),
                             ("managed properties", 310), ("methods", 1503), ("parameters", 2353)):
            self.assertLessEqual(totals[key], ceiling, key)
