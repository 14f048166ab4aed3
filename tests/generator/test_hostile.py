"""Hostile schema files (the kinds fuzz/schema_fuzz.py turned up): each is refused with one error at its place,
read from disk as `python3 -m generator check` reads it."""

import os
import tempfile
import time
import unittest
from pathlib import Path

from generator import SchemaErrors
from generator.validator import load_schema

from .schema_fixtures import locate, namespace_text, write_schema

CYCLE = "data A : B since version1;\ndata B : A since version1 { p: int; }\ndata C : B since version1 { p: int; }\n"
NESTED = "data N since version1 { " * 20 + "} " * 20 + "\n"


class HostileInputTest(unittest.TestCase):
    def test_refused_at_its_place(self):
        # (what, file (a package or "namespace"), its text after the package line or the whole namespace file,
        #  the text the error points at, nth occurrence, fragment of the message)
        cases = [
            ("not UTF-8", "quorl.vm", b"data A since version1 { p: int; }\n// caf\xe9\n", b"\xe9", 1, "is not UTF-8"),
            ("nesting beyond the limit", "quorl.vm", NESTED.encode(), b"data", 18, "nest at most 16 levels"),
            ("cycle of bases, a type deriving from it", "quorl.vm", CYCLE.encode(), b"A :", 1,
             "inheritance cycle: quorl.vm.A -> quorl.vm.B -> quorl.vm.A"),
            ("number of 5000 digits", "namespace", namespace_text(expect="data " + "9" * 5000).encode(),
             b"9" * 5000, 1, "has 5000 digits"),
            ("count beyond its field", "namespace", namespace_text(expect="data 4294967296").encode(),
             b"4294967296", 1, "the expected number of data types is 0 to 2147483647"),
            ("no version slots", "namespace", namespace_text().replace("version-slots 35", "version-slots 0").encode(),
             b"0;", 1, "the number of version slots is 1 to 65535"),
        ]
        for what, file, body, needle, nth, fragment in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                write_schema(folder, {})
                name, text = f"{file}.kobl", body if file == "namespace" else f"package {file};\n".encode() + body
                (Path(folder) / name).write_bytes(text)
                began = time.monotonic()
                with self.assertRaises(SchemaErrors) as caught:
                    load_schema(folder)
                self.assertLess(time.monotonic() - began, 2.0)
                line, column = locate(text.decode("latin-1"), needle.decode("latin-1"), nth)
                errors = [(os.path.basename(e.location.file), e.location.line, e.location.column, e.message)
                          for e in caught.exception.errors]
                self.assertEqual(len(errors), 1, errors)
                self.assertEqual(errors[0][:3], (name, line, column))
                self.assertIn(fragment, errors[0][3])


if __name__ == "__main__":
    unittest.main()
