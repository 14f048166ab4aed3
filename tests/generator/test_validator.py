"""Every kind of schema the validator refuses, with the message and where it points."""

import unittest

from .schema_fixtures import HEADER, PACKAGES, VERSIONS, SchemaTestCase, build, namespace_text


class NameRefusalTest(SchemaTestCase):
    def test_unknown_type_suggests_a_candidate(self):
        files = {"quorl.vm": "data ConfigSpec since version1;",
                 "quorl.host": "data A since version1 { spec: ConfigSpec; other: Nowhere; }"}
        err = self.assertRefused(files, "quorl.host", "ConfigSpec", "unknown type 'ConfigSpec'")
        self.assertIn("looked in quorl.host.A, quorl.host, quorl", err.message)
        self.assertIn("did you mean quorl.vm.ConfigSpec?", err.message)
        err = self.assertRefused(files, "quorl.host", "Nowhere", "unknown type 'Nowhere'")
        self.assertNotIn("did you mean", err.message)

    def test_unknown_absolute_names(self):
        files = {"quorl": "data A since version1 { a: kobl.Nothing; b: quorl.vm.Missing; }"}
        self.assertRefused(files, "quorl", "kobl.Nothing", "unknown type 'kobl.Nothing'")
        self.assertRefused(files, "quorl", "quorl.vm.Missing", "unknown type 'quorl.vm.Missing'")

    def test_ambiguous_reference(self):
        files = {"quorl": "data ConfigSpec since version1;",
                 "quorl.vm": "data ConfigSpec since version1;\ndata A since version1 { spec: ConfigSpec; }"}
        err = self.assertRefused(files, "quorl.vm", "ConfigSpec;", "ambiguous type 'ConfigSpec'")
        self.assertIn("quorl.vm.ConfigSpec and quorl.ConfigSpec", err.message)

    def test_inner_type_does_not_hide_outer_one(self):
        files = {"quorl.vm": "data Info since version1;\n"
                             "data A since version1 { info: Info; data Info since version1; }"}
        err = self.assertRefused(files, "quorl.vm", "Info;", "ambiguous type 'Info'")
        self.assertIn("quorl.vm.A.Info and quorl.vm.Info", err.message)

    def test_duplicate_type_names(self):
        files = {"quorl": "data A since version1;\nenum A since version1 { x }\n"
                          "data B since version1 { data C since version1; }\ndata B.C since version1;\n"
                          "data B.D since version1;"}
        self.assertRefused(files, "quorl", "A", "type quorl.A is already declared at schema/quorl.kobl:2:6", 2)
        self.assertRefused(files, "quorl", "B.C", "type quorl.B.C is already declared at schema/quorl.kobl:4:30")
        self.assertRefused(files, "quorl", "B.D", "quorl.B is a type of the schema: declare D inside its body")

    def test_duplicate_wsdl_names_across_packages(self):
        files = {"quorl": "data A wsdl \"Shared\" since version1;",
                 "quorl.vm": "data Shared since version1;"}
        self.assertRefused(files, "quorl.vm", "Shared", "WSDL name Shared of quorl.vm.Shared is already used by "
                                                        "quorl.A")

    def test_duplicate_members(self):
        files = {"quorl": """
            data D since version1 { a: int; b: int; a: string; }
            enum E since version1 { x, y, x, Y }
            managed M since version1 {
                p: int; P: string;
                method m();
                method p(a: int, a: int);
                method m();
                method n() wsdl "M";
                method N();
            }"""}
        self.assertRefused(files, "quorl", "a: string", "property a of quorl.D is already declared")
        self.assertRefused(files, "quorl", "x, Y", "value x of quorl.E is already listed")
        self.assertRefused(files, "quorl", "Y }", "values y and Y of quorl.E give the same constant name Y")
        self.assertRefused(files, "quorl", "P: string", "same accessor name GetP")
        self.assertRefused(files, "quorl", "a: int);", "parameter a of method p of quorl.M is already declared", 1)
        self.assertRefused(files, "quorl", "m();", "method m of quorl.M is already declared", 2)
        self.assertRefused(files, "quorl", "n()", "operation M of quorl.M is already the operation of method m")
        self.assertRefused(files, "quorl", "N()", "give the same constant name METHOD_N")

    def test_duplicate_and_wrong_faults(self):
        files = {"quorl": """
            data NotAFault since version1;
            managed M since version1 {
                method m() faults InvalidState, fault.InvalidState;
                method n() faults NotAFault;
                method o() faults kobl.fault.NotSupported, kobl.DynamicData;
            }"""}
        self.assertRefused(files, "quorl", "fault.InvalidState", "listed twice in the faults of method m")
        self.assertRefused(files, "quorl", "NotAFault;", "quorl.NotAFault in the faults of method n of quorl.M "
                                                        "is not a fault")
        self.assertRefused(files, "quorl", "kobl.DynamicData", "is not a fault")


class KindRefusalTest(SchemaTestCase):
    def test_bases_of_the_wrong_kind(self):
        files = {"quorl": """
            enum E since version1 { a }
            managed M since version1;
            data D since version1;
            data D1 : fault.InvalidState since version1;
            data D2 : E since version1;
            data D3 : kobl.KeyAnyValue since version1;
            fault F : D since version1;
            fault F2 since version1;
            managed M2 : D since version1;
            managed M3 : kobl.query.PropertyCollector since version1;
            enum E2 : D since version1 { a }
            data D4 : M since version1;
            data D5 : string since version1;
        """}
        cases = [("fault.InvalidState", "data object of the schema or kobl.DynamicData; quorl.fault.InvalidState "
                                        "is a fault type"),
                 ("E since", "quorl.E is an enum type", 2),
                 ("kobl.KeyAnyValue", "must be a data object of the schema or kobl.DynamicData"),
                 ("D since", "base of fault type quorl.F must be a fault of the schema", 2),
                 ("F2", "fault quorl.F2 must name its base"),
                 ("D since", "must be a managed type of the schema or kobl.ManagedObject; quorl.D is a data type",
                  3),
                 ("kobl.query.PropertyCollector", "must be a managed type of the schema or kobl.ManagedObject"),
                 ("D since version1 { a }", "enumeration quorl.E2 cannot have a base"),
                 ("M since", "quorl.M is a managed type", 2),
                 ("string", "string is a primitive type")]
        for case in cases:
            needle, fragment = case[:2]
            with self.subTest(needle=needle):
                err = self.assertRefused(files, "quorl", needle, fragment, case[2] if len(case) > 2 else 1)
        self.assertEqual(len(self.errors(files)), len(cases))

    def test_inheritance_cycles(self):
        files = {"quorl": "data A : C since version1;\ndata B : A since version1;\ndata C : B since version1;\n"
                          "managed S : S since version1;"}
        self.assertRefused(files, "quorl", "A", "inheritance cycle: quorl.A -> quorl.C -> quorl.B -> quorl.A")
        self.assertRefused(files, "quorl", "S :", "inheritance cycle: quorl.S -> quorl.S")
        self.assertEqual(len([e for e in self.errors(files) if "cycle" in e.message]), 2)

    def test_property_types_that_cannot_be_used(self):
        files = {"quorl": """
            data Item since version1;
            enum E since version1 { a }
            data D since version1 {
                f: fault.InvalidState?;
                rf: kobl.RuntimeFault;
                kf: kobl.fault.NotSupported;
                ok: kobl.MethodFault[]?;
                fl: float[];
                dt: dateTime[]?;
                dd: kobl.DynamicData[];
                sec: int secret;
                sec2: int +512;
                dup: string dedup;
                dup2: string[]? dedup;
                ln: E link;
                lk: Item linkable;
                lk2: string[] linkable;
                b1: int +4;
                b2: int +8;
                b3: int +0;
            }
            managed M since version1 { a: Item[] link; b: string? dedup; c: Item[] linkable; }
        """}
        cases = [("fault.InvalidState", "cannot hold the fault quorl.fault.InvalidState: only kobl.MethodFault"),
                 ("kobl.RuntimeFault", "cannot hold the fault kobl.RuntimeFault"),
                 ("kobl.fault.NotSupported", "cannot hold the fault kobl.fault.NotSupported"),
                 ("float", "there are no arrays of float"),
                 ("dateTime", "there are no arrays of dateTime"),
                 ("kobl.DynamicData", "there are no arrays of kobl.DynamicData"),
                 ("secret", "is secret, so it must be a string, not int"),
                 ("int +512", "is secret, so it must be a string"),
                 ("dedup", "must be an optional string ('string?')"),
                 ("dedup;\n                ln", "must be an optional string"),
                 ("link", "E is not a data object of the schema"),
                 ("linkable", "is linkable, so it must be an array"),
                 ("linkable;\n                b1", "its items are data objects of the schema, not string"),
                 ("+4", "flag 0x4 is not written as '+'"),
                 ("+8", "flag 0x8 is not a property flag"),
                 ("+0", "'+0' adds no flag"),
                 ("link; b", "'link' belongs on properties of data objects and faults"),
                 ("dedup; c", "'dedup' belongs on properties of data objects"),
                 ("linkable; }", "'linkable' belongs on properties of data objects and faults")]
        errors = self.errors(files)
        for needle, fragment in cases:
            with self.subTest(needle=needle):
                self.assertRefused(files, "quorl", needle, fragment)
        self.assertFalse([e for e in errors if "property ok " in e.message])

    def test_parameter_and_result_types_that_cannot_be_used(self):
        files = {"quorl": """
            managed M since version1 {
                method a(x: short, y: short[], z: double?) -> float;
                method b(x: dateTime[]) -> kobl.PropertyPath[];
                method c(f: fault.InvalidState, k: int secret) -> byte[] +1024;
                method d(q: kobl.MethodName) -> string +512;
            }"""}
        cases = [("short,", "parameter x of method a of quorl.M cannot be a single short"),
                 ("double", "cannot be a single double"),
                 ("float", "the result of method a of quorl.M cannot be a single float"),
                 ("dateTime", "there are no arrays of dateTime"),
                 ("secret", "parameter k of method c of quorl.M is secret, so it must be a string, not int"),
                 ("+1024", "only +512 (secret) may be added"),
                 ("kobl.MethodName", "cannot be a single kobl.MethodName")]
        errors = self.errors(files)
        for needle, fragment in cases:
            with self.subTest(needle=needle):
                self.assertRefused(files, "quorl", needle, fragment)
        # arrays of short, a fault parameter, arrays of property paths and a secret string result are fine
        self.assertFalse([e for e in errors if "parameter y " in e.message or "parameter f " in e.message
                          or "method b" in e.message and "result" in e.message or "method d" in e.message
                          and "result" in e.message])

    def test_inherited_property_and_dynamic_property(self):
        files = {"quorl": """
            data Base since version1 { key: string; dynamicProperty: kobl.DynamicProperty[]? since
                kobl.version.version0; }
            data Derived : Base since version1 { dynamicProperty: kobl.DynamicProperty[]? since
                kobl.version.version0; key: string; }
            data Late since version1 { a: int; dynamicProperty: kobl.DynamicProperty[]? since
                kobl.version.version0; }
            data Wrong since version1 { dynamicProperty: kobl.DynamicProperty[]; }
            managed MB since version1 { p: int; }
            managed MD : MB since version1 { p: int; }
        """}
        self.assertRefused(files, "quorl", "key: string; }", "property key of quorl.Derived is already a property "
                                                            "of its base quorl.Base")
        self.assertRefused(files, "quorl", "dynamicProperty", "redeclares the base property dynamicProperty", 1)
        self.assertRefused(files, "quorl", "dynamicProperty", "redeclares the base property dynamicProperty", 3)
        self.assertRefused(files, "quorl", "dynamicProperty", "redeclares the base property dynamicProperty", 4)
        errors = self.errors(files)
        self.assertFalse([e for e in errors if "quorl.Derived" in e.message and "dynamicProperty" in e.message])
        # A managed type may redeclare a property of its base as its own.
        self.assertFalse([e for e in errors if "quorl.MD" in e.message])

    def test_method_rules(self):
        files = {"quorl": """
            data D since version1;
            managed M since version1 {
                method a() task wsdl "DoA";
                method b() wsdl "B_Task";
                method c() privilege "X" privileges by type { "quorl.M": "Y" };
                method d() privileges by type { "quorl.D": "Y", "quorl.M": "Z", "quorl.M": "W" };
                method e() flags 0 1 0;
            }"""}
        self.assertRefused(files, "quorl", "wsdl \"DoA\"", "runs as a task, so its operation name ends in _Task")
        self.assertRefused(files, "quorl", "wsdl \"B_Task\"", "ends in _Task, so method b of quorl.M is marked "
                                                             "'task'")
        self.assertRefused(files, "quorl", "privileges by type", "cannot also have privileges by type")
        self.assertRefused(files, "quorl", "\"quorl.D\"", "privileges by type name managed types; quorl.D is a "
                                                         "data type")
        self.assertRefused(files, "quorl", "\"quorl.M\": \"W\"", "type quorl.M is listed twice")
        self.assertRefused(files, "quorl", "flags 0 1 0", "flag byte 2 is set only on task methods")


class VersionRefusalTest(SchemaTestCase):
    def test_versions_outside_the_catalogue(self):
        files = {"quorl": """
            data A since version3 { p: int since kobl.query.version.version9; q: int since
                kobl.query.version.version2; }
            managed M since version1 { method m(x: int since nope) -> string since version99 since
                version4; }
        """}
        self.assertRefused(files, "quorl", "version3", "unknown version 'version3'")
        self.assertRefused(files, "quorl", "kobl.query.version.version9", "unknown version")
        self.assertRefused(files, "quorl", "nope", "unknown version 'nope': not in the version catalogue "
                                                  "of the namespace file (quorl.version.nope)")
        self.assertRefused(files, "quorl", "version99", "unknown version")
        self.assertRefused(files, "quorl", "version4", "unknown version")
        self.assertEqual(len(self.errors(files)), 5)  # kobl.query.version.version2 is named by a parent pair

    def test_inferred_version_must_be_the_newest_of_base_and_enclosing(self):
        files = {"quorl": """
            data Old since version2;
            data Newer since version6 {
                data Right : Old since version6 inferred;
                data Wrong : Old since version2 inferred;
            }
            data Free since version5 inferred;
        """}
        err = self.assertRefused(files, "quorl", "version2 inferred", "inferred version of quorl.Newer.Wrong is "
                                                                      "the newest")
        self.assertIn("quorl.version.version6, not quorl.version.version2", err.message)
        self.assertEqual(len(self.errors(files)), 1)

    def test_namespace_file_errors(self):
        ns = (HEADER.replace("counts 1, 30, 32;", "counts 1, 30;") + VERSIONS +
              "version version1 id \"x\" stage released;\n"
              "version odd id \"y\" stage 7;\n"
              "parent version2 -> version2;\n"
              "parent version2 -> version1;\n"
              "parent gone -> version1;\n"
              "parent version2 -> other.version.version1;\n"
              "package quorl expect data 9;\npackage quorl expect data 9;\npackage other.x;\n"
              "package quorl.fault;\npackage quorl.vm;\npackage quorl.host;\n")
        cases = [("counts", "'counts' holds three numbers"),
                 ("version1 id \"x\"", "version version1 is already declared"),
                 ("odd", "stage of version odd is 0 to 4, found 7"),
                 ("version2 -> version2", "cannot be its own parent"),
                 ("version2 -> version1", "already stated at", 2),
                 ("gone", "version gone is not in the catalogue"),
                 ("other.version.version1", "neither a version of the catalogue nor a version of a dependency"),
                 ("quorl expect data 9", "package quorl is listed twice", 2),
                 ("other.x", "package other.x is not in namespace quorl")]
        for case in cases:
            needle, fragment = case[:2]
            nth = case[2] if len(case) > 2 else 1
            with self.subTest(needle=needle):
                self.assertRefused({}, "namespace", needle, fragment, nth, namespace=ns)

    def test_version_cycle_and_missing_defaults(self):
        ns = (HEADER.replace('defaults wire "quorl25" task "quorl.Task" in "quorl25" flags 4;', "") +
              "version a id \"1\" stage released task \"T\" in \"N\" flags 4;\n"
              "version b id \"2\" stage released wire \"w\" task \"T\" in \"N\" flags 4;\n"
              "version c id \"3\" stage released wire \"w\" task \"T\" in \"N\" flags 4;\n"
              "parent b -> c;\nparent c -> b;\n"
              + "".join(f"package {p};\n" for p in PACKAGES))
        self.assertRefused({}, "namespace", "a id", "version a has no wire", namespace=ns)
        self.assertRefused({}, "namespace", "b id", "the parent pairs form a cycle", namespace=ns)


class PackageRefusalTest(SchemaTestCase):
    def test_counts_above_the_registration_table(self):
        ns = namespace_text(expect="data 1 fault 9 enum 0 managed 0")
        files = {"quorl": "data A since version1;\ndata B since version1;\nenum E since version1 { a }"}
        self.assertRefused(files, "namespace", "quorl expect", "package quorl expects 1 data types, but the "
                                                               "schema declares 2", namespace=ns)
        self.assertRefused(files, "namespace", "quorl expect", "package quorl expects 0 enum types", namespace=ns)

    def test_package_files_and_the_package_list(self):
        from generator import SchemaErrors, build_model
        ns = namespace_text()
        files = [("schema/quorl.kobl", "package quorl;"),
                 ("schema/quorl.fault.kobl", "package quorl.fault;"),
                 ("schema/vm.kobl", "package quorl.vm;"),
                 ("schema/quorl.other.kobl", "package quorl.other;")]
        with self.assertRaises(SchemaErrors) as caught:
            build_model(("schema/namespace.kobl", ns), files)
        got = {(e.location.file, e.location.line, e.message) for e in caught.exception.errors}
        host_line = ns.splitlines().index(next(l for l in ns.splitlines() if l.startswith("package quorl.host"))) + 1
        self.assertIn(("schema/vm.kobl", 1, "package quorl.vm belongs in a file named quorl.vm.kobl, not vm.kobl"),
                      got)
        self.assertIn(("schema/quorl.other.kobl", 1, "package quorl.other is not in the package list of the "
                                                     "namespace file"), got)
        self.assertIn(("schema/namespace.kobl", host_line, "package quorl.host is listed but no file declares it "
                                                           "(expected quorl.host.kobl)"), got)

    def test_type_in_another_listed_package(self):
        files = {"quorl": "data vm.Thing since version1;\ndata Local.Thing since version1;"}
        self.assertRefused(files, "quorl", "vm.Thing", "type quorl.vm.Thing belongs to package quorl.vm, not "
                                                             "to quorl")
        self.assertEqual(len(self.errors(files)), 1)

    def test_errors_of_several_files_are_all_reported_in_order(self):
        files = {"quorl": "data A since version1 { x: Nope; }", "quorl.vm": "data B { }"}
        errors = self.errors(files)
        # a syntax error stops the run before the checks: only the syntax error is reported
        self.assertEqual([str(e) for e in errors],
                         ["schema/quorl.vm.kobl:2:8: expected 'since <version>' before '{': every type states its "
                          "version (B)"])
        files = {"quorl": "data A since version1 { x: Nope; }", "quorl.vm": "data B since version1 { y: Gone; }"}
        self.assertEqual([(e.location.file, e.location.line) for e in self.errors(files)],
                         [("schema/quorl.kobl", 2), ("schema/quorl.vm.kobl", 2)])


class WarningTest(unittest.TestCase):
    def test_redundant_and_suspicious_forms_warn_without_failing(self):
        model, warnings = build({"quorl": """
            data A wsdl "A" since version5 { a: int since version5; b: int since version2; }
            data B : A since version2;
            managed M since version5 {
                method m() -> string since version6 wsdl "M";
                method n() since version5;
                method r() privileges by type { "quorl.Nowhere": "X" };
            }"""})
        messages = [w.message for w in warnings]
        expected = ["WSDL name of quorl.A equals its last component",
                    "'since' of property a repeats the version of quorl.A",
                    "property b (quorl.version.version2) is older than quorl.A",
                    "quorl.B (version quorl.version.version2) is older than its base quorl.A",
                    "the result of method m of quorl.M has version quorl.version.version6, the method "
                    "quorl.version.version5",
                    "operation name of method m of quorl.M is the default",
                    "'since' of method n of quorl.M repeats the version of quorl.M",
                    "name quorl.Nowhere, which is no type of the schema"]
        for fragment in expected:
            with self.subTest(fragment=fragment):
                self.assertTrue(any(fragment in m for m in messages), messages)
        self.assertEqual(len(messages), len(expected))
        self.assertIn("quorl.M", model.types)


if __name__ == "__main__":
    unittest.main()
