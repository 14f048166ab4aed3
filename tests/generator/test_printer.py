"""The strict template printer."""

import unittest

from generator.printer import Printer, TemplateError, substitute


class SubstituteTest(unittest.TestCase):
    def test_holes_and_dollar(self):
        self.assertEqual(substitute("a $x$ b $$ $y$", {"x": 1, "y": "z"}), "a 1 b $ z")

    def test_unknown_unused_and_multiline_values_are_errors(self):
        with self.assertRaisesRegex(TemplateError, r"\$missing\$"):
            substitute("$missing$", {})
        with self.assertRaisesRegex(TemplateError, "unused.*extra"):
            substitute("$x$", {"x": 1, "extra": 2})
        with self.assertRaisesRegex(TemplateError, "several lines"):
            substitute("$x$", {"x": "a\nb"})


class PrinterTest(unittest.TestCase):
    def test_indentation_dedent_and_blank_lines(self):
        p = Printer()
        p.print("""
            class $n$ {
            public:""", n="A")
        with p.indent():
            p.print("int x;")
            p.blank()
            p.blank()
            p.print("int y;")
        p.print("};")
        self.assertEqual(p.text(), "class A {\npublic:\n   int x;\n\n   int y;\n};\n")

    def test_empty_printer(self):
        self.assertEqual(Printer().text(), "")


if __name__ == "__main__":
    unittest.main()
