"""The strict template printer."""

import unittest

from generator.printer import Printer, TemplateError, substitute


class PrinterTest(unittest.TestCase):
    def test_holes_and_dollar(self):
        self.assertEqual(substitute("a $x$ b $$ $y$", {"x": 1, "y": "z"}), "a 1 b $ z")

    def test_unknown_unused_and_multiline_values_are_errors(self):
        for template, variables, message in (("$missing$", {}, r"\$missing\$"),
                                             ("$x$", {"x": 1, "extra": 2}, "unused.*extra"),
                                             ("$x$", {"x": "a\nb"}, "several lines")):
            with self.subTest(message=message), self.assertRaisesRegex(TemplateError, message):
                substitute(template, variables)

    def test_indentation_dedent_and_blank_lines(self):
        self.assertEqual(Printer().text(), "")
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
