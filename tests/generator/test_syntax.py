"""The lexer and parser: accepted forms, and syntax errors with their location and wording."""

import unittest

from generator.errors import SchemaError
from generator.lexer import tokenize
from generator.parser import parse_namespace, parse_package

from .schema_fixtures import locate


def parse(body: str):
    return parse_package("package quorl;\n" + body, "quorl.kobl")


class ErrorCase(unittest.TestCase):
    def assertErrors(self, parse_fn, file: str, cases, prefix: str = ""):
        """Each case (text, needle or (line, column), fragment[, nth]): `parse_fn` refuses prefix + text at
        that place (the nth occurrence of `needle`) with a message holding `fragment`."""
        for body, where, fragment, *nth in cases:
            text = prefix + body
            with self.subTest(text=body):
                with self.assertRaises(SchemaError) as caught:
                    parse_fn(text, file)
                line, column = where if isinstance(where, tuple) else locate(text, where, *nth)
                self.assertEqual(str(caught.exception), f"{file}:{line}:{column}: {caught.exception.message}")
                self.assertIn(fragment, caught.exception.message)


class LexerTest(ErrorCase):
    def test_tokens_and_positions(self):
        tokens = tokenize('a.b.C /* x\n y */ 0x40 12 3des "q\\"\\\\" -> - ?\n// tail\n}', "f")
        got = [(t.kind, t.text, t.value, t.location.line, t.location.column) for t in tokens]
        self.assertEqual(got, [
            ("name", "a.b.C", None, 1, 1),
            ("number", "0x40", 64, 2, 7),
            ("number", "12", 12, 2, 12),
            ("word", "3des", None, 2, 15),
            ("string", 'q"\\', 'q"\\', 2, 20),
            ("punct", "->", None, 2, 28),
            ("punct", "-", None, 2, 31),
            ("punct", "?", None, 2, 33),
            ("punct", "}", None, 4, 1),
            ("eof", "", None, 4, 2),
        ])

    def test_lexical_errors(self):
        cases = [
            ("x /* never closed", (1, 3), "never closed"),
            ('x "open\n"', (1, 3), "not closed"),
            ('x "bad \\n"', (1, 8), "unknown escape"),
            ("x @", (1, 3), "unexpected character '@'"),
            ("vm. ConfigSpec", (1, 3), "dotted name"),
        ]
        self.assertErrors(tokenize, "f", cases)


class PackageSyntaxTest(ErrorCase):
    def test_keywords_and_language_names_are_property_names(self):
        f = parse("""
            data Names since version1 {
                class: string; namespace: int; delete: boolean?; data: long; since: string;
                version: int since version2; method: string; enum: int; inferred: int;
            }
            managed M since version1 {
                method: string;
                method delete(class: string, namespace: int, since: int since version2) -> string;
            }""")
        self.assertEqual([p.name for p in f.decls[0].properties],
                         ["class", "namespace", "delete", "data", "since", "version", "method", "enum", "inferred"])
        method = f.decls[1].methods[0]
        self.assertEqual((f.decls[0].properties[5].since.text, f.decls[1].properties[0].name, method.name,
                          [p.name for p in method.params], method.params[2].since.text),
                         ("version2", "method", "delete", ["class", "namespace", "since"], "version2"))

    def test_method_clauses(self):
        f = parse("""
            managed M since version1 {
                method a() -> string secret since version5 since version6 task;
                method b(x: int) -> R[]? task wsdl "B_Task" privilege "dynamic"
                    faults fault.X, kobl.fault.NotSupported, Y feature "F" flags 1 1 0;
                method c() privileges by type { "quorl.A": "P.A", "quorl.B": "P.B", } +
                method d(x: int) since version7 -> R since version8;
                method e() since version7 task;
            }""".replace("+\n", ";\n"))
        a, b, c, d, e = f.decls[0].methods
        # A version before the result is the method's; right after the result it is the result's.
        self.assertEqual((d.since.text, d.result.since.text), ("version7", "version8"))
        self.assertEqual((e.since.text, e.task, e.result), ("version7", True, None))
        self.assertEqual((a.result.secret, a.result.since.text, a.since.text, a.task),
                         (True, "version5", "version6", True))
        self.assertEqual((b.result.type.name.text, b.result.type.array, b.result.type.optional), ("R", True, True))
        self.assertEqual((b.wsdl, b.privilege, [r.text for r in b.faults], b.feature, b.flag_bytes),
                         ("B_Task", "dynamic", ["fault.X", "kobl.fault.NotSupported", "Y"], "F", (1, 1, 0)))
        self.assertIsNone(c.result)
        self.assertEqual([(p.type_name, p.privilege) for p in c.type_privileges],
                         [("quorl.A", "P.A"), ("quorl.B", "P.B")])

    def test_syntax_errors(self):
        cases = [
            ("data A { x: int; }", "{", "expected 'since <version>' before '{'"),
            ("data A since version1 { x: int }", "}", "expected ';' or a modifier of property x"),
            ("data A since version1 { x int; }", "x", "expected a property"),
            ("data A since version1 { x: int?[]; }", "[", "write '[]' before '?'"),
            ("data A since version1 { x: int since version1 since version2; }", "since", "written twice", 3),
            ("data A since version1 { method m(); }", "method", "methods belong to managed types"),
            ("managed A since version1 { method m() -> none; }", "none", "has no '->' clause"),
            ("managed A since version1 { method m(a: int b: int); }", "b", "',' or ')'"),
            ("managed A since version1 { method m() flags 1 300 0; }", "300", "0 to 255"),
            ("managed A since version1 { method m() flags 1 0; }", ";", "third of three flag bytes", 2),
            ("managed A since version1 { method m() task task; }", "task", "written twice", 2),
            ("managed A since version1 { method m() privileges by type { }; }", "{", "at least one pair", 2),
            ("enum E since version1 { a b }", "b", "',' between the values"),
            ("enum E since version1 { a, {} }", "{", "an enumeration value", 2),
            ("enum E since version1 { a.b }", "a.b", "no dots"),
            ("data A since version1 {\n x: int;\n", (4, 1), "expected '}' to close A, found end of file"),
            ("record A since version1;", "record", "a declaration (data, fault, enum or managed)"),
            ("data A since version1 wsdl;", ";", "WSDL name as a string", 2),
            ("data A.since version1;", "version1", "'wsdl"),
            ('fault F : kobl.MethodFault since version1 response "NotFound";', '"NotFound"', "response code"),
            ("enum E since version1 factory factory { a }", "factory", "written twice", 2),
            ("data D since version1 runtime runtime;", "runtime", "written twice", 2),
            ("data D noarray since version1 noarray;", "noarray", "written twice", 2),
        ]
        self.assertErrors(parse_package, "quorl.kobl", cases, prefix="package quorl;\n")
        self.assertErrors(parse_package, "quorl.kobl", [
            ("data A since version1;", (1, 1), "expected 'package <name>;' at the start of the file, found 'data'")])


class NamespaceSyntaxTest(ErrorCase):
    def test_namespace_errors(self):
        cases = [
            ("dependencies \"a\";", (1, 1), "'namespace <name>;' at the start"),
            ("namespace quorl;\nversion - slots 3;", (2, 1), "without spaces"),
            ("namespace quorl;\nversion v1 stage released;", (2, 9), "needs 'id"),
            ("namespace quorl;\nversion v1 id \"1\" stage sideways;", (2, 25), "a stage"),
            ("namespace quorl;\nparent v1 v2;", (2, 11), "'->' between a version and its parent"),
            ("namespace quorl;\npackage quorl expect data;", (2, 26), "the expected number of data types"),
            ("namespace quorl;\ncounts 1, 2;\ncounts 3;", (3, 1), "written twice"),
            ("namespace quorl;\nthings;", (2, 1), "a statement of the namespace file"),
        ]
        self.assertErrors(parse_namespace, "namespace.kobl", cases)
