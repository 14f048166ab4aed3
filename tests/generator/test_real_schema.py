"""The schema of the repository: it validates, its type lists are ordered, and it holds what the catalogue
names. schema/README.md states what it leaves out; both must agree, so that an edit that loses (or invents) a
type or a member shows up here."""

import json
import unittest
from pathlib import Path

from generator import load_schema
from generator.jsonout import to_json

SCHEMA = Path(__file__).resolve().parents[2] / "schema"


@unittest.skipUnless((SCHEMA / "namespace.kobl").is_file(), "no schema files yet")
class RealSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.model, cls.warnings = load_schema(SCHEMA)

    def test_type_lists_put_bases_first(self):
        types = self.model.types
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

    def test_readme_table_states_the_schema_and_the_registration_table(self):
        text = (SCHEMA / "README.md").read_text(encoding="utf-8")
        rows = {}
        for line in text[text.index("## What the catalogue leaves out"):].splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) == 5 and cells[1].startswith("`quorl"):
                numbers = lambda cell: tuple(int(n) for n in cell.split(","))
                rows[cells[1].strip("`")] = (numbers(cells[2]), numbers(cells[3]))
        self.assertEqual(list(rows), [p.name for p in self.model.packages])
        kinds = ("data", "fault", "enum", "managed")
        for pkg in self.model.packages:
            self.assertEqual(rows[pkg.name], (tuple(pkg.expected[k] for k in kinds),
                                              tuple(pkg.counts[k] for k in kinds)), pkg.name)

    def test_member_totals_the_catalogue_gives(self):
        # The library registers at most 2,276 values, 8,861 property records, 310 managed-type properties,
        # 1,503 methods and 2,353 parameters.
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
