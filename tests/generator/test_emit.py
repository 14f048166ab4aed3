"""The back end on small schemas: the planned files, deterministic output, rewriting only what changed, the
refusals (a circular definition order, a member hiding a nested type). What the emitted code does (nested
classes in the order they need each other, skeletons) is tested by compiling the test namespace of
tests/schemas and the library, and by the skeleton and conformance tests."""

import tempfile
import unittest
from pathlib import Path

from generator.emit import EmitError, generate, output_list, write_files
from generator.emit_managed import ManagedError

from .schema_fixtures import build

SCHEMA = {  # what the back end does with every kind of member is left to the build of the repository's schema
    "quorl": """
        managed ManagedEntity since version1;
        data Outer since version1 {
            enabled: boolean?;
            data Inner since version1 { data Leaf since version1; }
            data User since version1 { leaf: Inner.Leaf; others: Inner.Leaf[]; }
            enum Mode since version1 { on, off }
        }
        data Child : Outer since version1 { Sub: string; entity: ManagedEntity?; data Sub since version1; }
        managed Folder since version1 { enum State since version1 { ready } }""",
    "quorl.vm": "data BootOptions since version2 { bootOrder: Device[]?; data Device since version2; }",
}


class EmitTest(unittest.TestCase):
    def setUp(self):
        self.model, _ = build(SCHEMA)
        self.files = generate(self.model)

    def test_outputs_are_planned_and_deterministic(self):
        self.assertEqual(sorted(self.files), sorted(output_list(self.model)))
        self.assertEqual(generate(build(SCHEMA)[0]), self.files)
        # Every managed type has its interface unit and a stub header.
        self.assertLessEqual({"quorl/Outer.h", "quorl/Folder.h", "quorl/Fwd.h", "quorl/All.h", "quorl/quorl_part0.cpp",
                              "quorl/quorl_registration.cpp", "quorl/vm/BootOptions.h", "registration.cpp",
                              "versions.cpp", "quorl/ManagedEntity.h", "quorl/ManagedEntityStub.h"}, set(self.files))

    def test_files_are_rewritten_only_when_changed(self):
        with tempfile.TemporaryDirectory() as tmp:
            self.assertEqual(write_files(self.files, tmp), len(self.files))
            self.assertEqual(write_files(self.files, tmp), 0)
            changed = dict(self.files)
            changed["quorl/Outer.h"] += "// edited\n"
            self.assertEqual(write_files(changed, tmp), 1)
            self.assertTrue(Path(tmp, "quorl/Outer.h").read_text().endswith("// edited\n"))
            # A type that left the schema leaves no header behind; files not written by us stay.
            Path(tmp, "quorl/Gone.h").write_text("// Generated from schema/quorl.kobl\n")
            Path(tmp, "quorl/notes.h").write_text("// mine\n")
            write_files(self.files, tmp)
            self.assertFalse(Path(tmp, "quorl/Gone.h").exists())
            self.assertTrue(Path(tmp, "quorl/notes.h").exists())

    def test_refusals(self):
        cases = [  # (package quorl, error class, fragment)
            ("data Outer since version1 { leaf: Inner.Leaf; data Inner since version1 { data Leaf since version1; } }",
             EmitError, "circular definition order"),  # a class naming a type nested deeper in itself
            ('managed Box since version1 { method info() wsdl "BoxInfo"; data Info since version1; }', ManagedError,
             "Info would hide the nested type"),
        ]
        for text, error, fragment in cases:
            with self.subTest(fragment), self.assertRaisesRegex(error, fragment):
                generate(build({"quorl": text})[0])
