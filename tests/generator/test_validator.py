"""Every kind of schema the validator refuses, with the message and where it points. A comment
"// `needle` fragment" announces an error at `needle` (on its line, or on the line it follows) whose message
holds `fragment`; a schema must yield just the errors its comments announce."""

from .schema_fixtures import HEADER, PACKAGES, VERSIONS, SchemaTestCase, namespace_text

DYNAMIC = "dynamicProperty: kobl.DynamicProperty[]? since kobl.version.version0;"


class NameRefusalTest(SchemaTestCase):
    def test_unknown_and_ambiguous_references(self):
        # an inner type does not hide an outer one of the same name
        errors = self.assertAnnounced({
            "quorl": """
                data Q since version1 { a: kobl.Nothing; b: quorl.vm.Missing; }
                // `kobl.Nothing` unknown type 'kobl.Nothing'
                // `quorl.vm.Missing` unknown type 'quorl.vm.Missing'
                data Shared wsdl "TopShared" since version1;""",
            "quorl.vm": """
                data ConfigSpec since version1;
                data Shared since version1;
                data Info since version1;
                data B since version1 { s: Shared; info: Info; data Info wsdl "BInfo" since version1; }
                // `Shared;` ambiguous type 'Shared': it names quorl.vm.Shared and quorl.Shared
                // `Info;` ambiguous type 'Info': it names quorl.vm.B.Info and quorl.vm.Info""",
            "quorl.host": """
                data A since version1 { config: ConfigSpec; other: Nowhere; }
                // `ConfigSpec` unknown type 'ConfigSpec' (looked in quorl.host.A, quorl.host, quorl)
                // `ConfigSpec` did you mean quorl.vm.ConfigSpec?
                // `Nowhere` unknown type 'Nowhere' (looked in quorl.host.A, quorl.host, quorl)""",
        })
        self.assertNotIn("did you mean", next(e.message for e in errors if "'Nowhere'" in e.message))

    def test_duplicate_type_and_wsdl_names(self):
        self.assertAnnounced({"quorl": """data A since version1;
            enum A since version1 { x }  // `A` type quorl.A is already declared at schema/quorl.kobl:2:6
            data B since version1 { data C since version1; }
            data B.C since version1;  // `B.C` type quorl.B.C is already declared at schema/quorl.kobl:4:42
            data B.D since version1;  // `B.D` quorl.B is a type of the schema: declare D inside its body"""})
        self.assertAnnounced({"quorl": "data A wsdl \"Shared\" since version1;", "quorl.vm": """
            data Shared since version1;  // `Shared` WSDL name Shared of quorl.vm.Shared is already used by quorl.A"""})

    def test_duplicate_members_and_faults(self):
        self.assertAnnounced({"quorl": """
            data D since version1 { a: int; b: int; a: string; }
            // `a: string` property a of quorl.D is already declared
            enum E since version1 { x, y, x, Y }
            // `x, Y` value x of quorl.E is already listed
            // `Y }` values y and Y of quorl.E give the same constant name Y
            managed M since version1 {
                p: int; P: string;  // `P: string` properties p and P of quorl.M have the same accessor name GetP
                method m();
                method p(a: int, a: int);  // `a: int)` parameter a of method p of quorl.M is already declared
                method m();  // `m()` method m of quorl.M is already declared
                method n() wsdl "M";  // `n()` operation M of quorl.M is already the operation of method m
                method N();  // `N()` methods n and N of quorl.M give the same constant name METHOD_N
            }
            data NotAFault since version1;
            managed F since version1 {
                method m() faults InvalidState, fault.InvalidState;
                // `fault.InvalidState` fault quorl.fault.InvalidState is listed twice in the faults of method m
                method n() faults NotAFault;
                // `NotAFault` quorl.NotAFault in the faults of method n of quorl.F is not a fault
                method o() faults kobl.fault.NotSupported, kobl.DynamicData;  // `kobl.DynamicData` is not a fault
            }"""})


class KindRefusalTest(SchemaTestCase):
    def test_bases_of_the_wrong_kind_and_inheritance_cycles(self):
        self.assertAnnounced({"quorl": """
            enum E since version1 { a }
            managed M since version1;
            data D since version1;
            data D1 : fault.InvalidState since version1;
            // `fault` data object of the schema or kobl.DynamicData; quorl.fault.InvalidState is a fault type
            data D2 : E since version1;  // `E` quorl.E is an enum type
            data D3 : kobl.KeyAnyValue since version1;
            // `kobl` must be a data object of the schema or kobl.DynamicData
            fault F : D since version1;  // `D` base of fault type quorl.F must be a fault of the schema
            fault F2 since version1;  // `F2` fault quorl.F2 must name its base
            managed M2 : D since version1;
            // `D` must be a managed type of the schema or kobl.ManagedObject; quorl.D is a data type
            managed M3 : kobl.query.PropertyCollector since version1;
            // `kobl` must be a managed type of the schema or kobl.ManagedObject
            enum E2 : D since version1 { a }  // `D` enumeration quorl.E2 cannot have a base
            data D4 : M since version1;  // `M` quorl.M is a managed type
            data D5 : string since version1;  // `string` string is a primitive type
            data A : C since version1;  // `A` inheritance cycle: quorl.A -> quorl.C -> quorl.B -> quorl.A
            data B : A since version1;
            data C : B since version1;
            managed S : S since version1;  // `S` inheritance cycle: quorl.S -> quorl.S
        """})

    def test_property_types_that_cannot_be_used(self):
        self.assertAnnounced({"quorl": """
            data Item since version1;
            enum E since version1 { a }
            data D since version1 {
                f: fault.InvalidState?;
                // `fault` property f of quorl.D cannot hold the fault quorl.fault.InvalidState: only kobl.MethodFault
                rf: kobl.RuntimeFault;  // `kobl` cannot hold the fault kobl.RuntimeFault
                kf: kobl.fault.NotSupported;  // `kobl` cannot hold the fault kobl.fault.NotSupported
                ok: kobl.MethodFault[]?;
                fl: float[];  // `float` property fl of quorl.D: there are no arrays of float
                dt: dateTime[]?;  // `dateTime` there are no arrays of dateTime
                dd: kobl.DynamicData[];  // `kobl` there are no arrays of kobl.DynamicData
                sec: int secret;  // `secret` property sec of quorl.D is secret, so it must be a string, not int
                sec2: int +512;  // `int` is secret, so it must be a string
                dup: string dedup;  // `dedup` is stored deduplicated, so it must be an optional string ('string?')
                dup2: string[]? dedup;  // `dedup` must be an optional string
                ln: E link;  // `link` E is not a data object of the schema
                lk: Item linkable;  // `linkable` property lk of quorl.D is linkable, so it must be an array
                lk2: string[] linkable;  // `linkable` its items are data objects of the schema, not string
                b1: int +4;  // `+4` flag 0x4 is not written as '+'
                b2: int +8;  // `+8` flag 0x8 is not a property flag
                b3: int +0;  // `+0` '+0' adds no flag
            }
            managed M since version1 { a: Item[] link; b: string? dedup; c: Item[] linkable; }
            // `link` property a of quorl.M: 'link' belongs on properties of data objects and faults
            // `dedup` 'dedup' belongs on properties of data objects
            // `linkable` 'linkable' belongs on properties of data objects and faults
        """})

    def test_annotations_on_the_wrong_kind_or_with_an_unknown_code(self):
        self.assertAnnounced({"quorl": """
            fault F : kobl.MethodFault since version1 response Gone;  // `Gone` unknown response code 'Gone' on quorl.F
            data D since version1 response NotFound;  // `NotFound` 'response' belongs to faults; quorl.D is a data
            fault G : kobl.MethodFault factory since version1;  // `factory` 'factory' belongs to enumerations
            enum E since version1 factory { a }
            enum R since version1 runtime { a }  // `runtime` 'runtime' belongs to data objects and faults
            managed M since version1 runtime noarray;  // `runtime` quorl.M is a managed type
            // `noarray` 'noarray' belongs to data objects and faults
            data N since version1 runtime noarray;
            data A since version1 { n: N[]?; }  // `N` there are no arrays of quorl.N"""})

    def test_parameter_and_result_types_that_cannot_be_used(self):
        # arrays of short, a fault parameter, arrays of property paths and a secret string result are fine
        self.assertAnnounced({"quorl": """
            managed M since version1 {
                method a(x: short, y: short[], z: double?) -> float;
                // `short` parameter x of method a of quorl.M cannot be a single short
                // `double` cannot be a single double
                // `float` the result of method a of quorl.M cannot be a single float
                method b(x: dateTime[]) -> kobl.PropertyPath[];  // `dateTime` there are no arrays of dateTime
                method c(f: fault.InvalidState, k: int secret) -> byte[] +1024;
                // `secret` parameter k of method c of quorl.M is secret, so it must be a string, not int
                // `+1024` only +512 (secret) may be added
                method d(q: kobl.MethodName) -> string +512;  // `kobl` cannot be a single kobl.MethodName
            }"""})

    def test_inherited_property_and_dynamic_property(self):
        # Derived redeclares dynamicProperty as it must; a managed type may redeclare a property of its base.
        self.assertAnnounced({"quorl": """
            data Base since version1 { key: string; DYNAMIC }
            // `dynamicProperty` property dynamicProperty of quorl.Base redeclares the base property dynamicProperty
            data Derived : Base since version1 { DYNAMIC key: string; }
            // `key` property key of quorl.Derived is already a property of its base quorl.Base
            data Late since version1 { a: int; DYNAMIC }  // `dynamicProperty` redeclares the base property
            data Wrong since version1 { dynamicProperty: kobl.DynamicProperty[]; }  // `dynamicProperty` redeclares
            managed MB since version1 { p: int; }
            managed MD : MB since version1 { p: int; }
        """.replace("DYNAMIC", DYNAMIC)})

    def test_method_rules(self):
        self.assertAnnounced({"quorl": """
            data D since version1;
            managed M since version1 {
                method a() task wsdl "DoA";  // `wsdl` runs as a task, so its operation name ends in _Task
                method b() wsdl "B_Task";  // `wsdl` ends in _Task, so method b of quorl.M is marked 'task'
                method c() privilege "X" privileges by type { "quorl.M": "Y" };
                // `privileges by type` cannot also have privileges by type
                method d() privileges by type { "quorl.D": "Y", "quorl.M": "Z", "quorl.M": "W" };
                // `"quorl.D"` privileges by type name managed types; quorl.D is a data type
                // `"quorl.M": "W"` type quorl.M is listed twice
                method e() flags 0 1 0;  // `flags` flag byte 2 is set only on task methods
            }"""})


class VersionRefusalTest(SchemaTestCase):
    def test_versions_outside_the_catalogue_and_inferred_versions(self):
        # kobl.query.version.version2 is named by a parent pair; an inferred version is the newest of the
        # versions of the base and the enclosing type
        self.assertAnnounced({"quorl": """
            data A since version3 { p: int since kobl.query.version.version9; q: int since
            // `version3` unknown version 'version3'
            // `kobl` unknown version 'kobl.query.version.version9'
                kobl.query.version.version2; }
            managed M since version1 { method m(x: int since nope) -> string since version99 since
            // `nope` unknown version 'nope': not in the version catalogue of the namespace file (quorl.version.nope)
            // `version99` unknown version 'version99'
                version4; }  // `version4` unknown version 'version4'
            data Old since version2;
            data Newer since version6 {
                data Right : Old since version6 inferred;
                data Wrong : Old since version2 inferred;
                // `version2` inferred version of quorl.Newer.Wrong is the newest
                // `version2` quorl.version.version6, not quorl.version.version2
            }
            data Free since version5 inferred;
        """})

    def test_namespace_file_errors(self):
        self.assertAnnounced({}, namespace=HEADER.replace("counts 1, 30, 32;", "counts 1, 30;  // `counts` "
                                                          "'counts' holds three numbers") + VERSIONS + """
            version version1 id "x" stage released;  // `version1` version version1 is already declared
            version odd id "y" stage 7;  // `odd` stage of version odd is 0 to 4, found 7
            parent version2 -> version2;  // `version2` cannot be its own parent
            parent version2 -> version1;  // `version2` already stated at
            parent gone -> version1;  // `gone` version gone is not in the catalogue
            parent version2 -> other.version.version1;
            // `other` neither a version of the catalogue nor a version of a dependency
            package quorl expect data 9;
            package quorl expect data 9;  // `quorl` package quorl is listed twice
            package other.x;  // `other.x` package other.x is not in namespace quorl
            // `other.x` package other.x is listed but no file declares it (expected other.x.kobl)
            package quorl.fault; package quorl.vm; package quorl.host;""")

    def test_version_cycle_and_missing_defaults(self):
        self.assertAnnounced({}, namespace=HEADER.replace('defaults wire "quorl25" task "quorl.Task" in "quorl25" '
                                                          'flags 4;', "") + """
            version a id "1" stage released task "T" in "N" flags 4;  // `a` version a has no wire
            version b id "2" stage released wire "w" task "T" in "N" flags 4;  // `b` the parent pairs form a cycle
            version c id "3" stage released wire "w" task "T" in "N" flags 4;
            parent b -> c;
            parent c -> b;
        """ + "".join(f"package {p};\n" for p in PACKAGES))


class PackageRefusalTest(SchemaTestCase):
    def test_counts_above_the_registration_table(self):
        line = "package quorl expect data 1 fault 9 enum 0 managed 0;"
        ns = namespace_text(expect="data 1 fault 9 enum 0 managed 0").replace(line, line + """
            // `quorl` package quorl expects 1 data types, but the schema declares 2
            // `quorl` package quorl expects 0 enum types""")
        self.assertAnnounced({"quorl": "data A since version1;\ndata B since version1;\nenum E since version1 { a }"},
                             namespace=ns)

    def test_type_in_another_listed_package(self):
        self.assertAnnounced({"quorl": """
            data vm.Thing since version1;  // `vm.Thing` type quorl.vm.Thing belongs to package quorl.vm, not to quorl
            data Local.Thing since version1;"""})

    def test_package_files_and_the_package_list(self):
        host = "package quorl.host expect data 50 fault 50 enum 50 managed 50;"
        ns = namespace_text().replace(host, host + """
            // `quorl.host` package quorl.host is listed but no file declares it (expected quorl.host.kobl)""")
        self.assertAnnounced({}, schema=(("schema/namespace.kobl", ns), [
            ("schema/quorl.kobl", "package quorl;"), ("schema/quorl.fault.kobl", "package quorl.fault;"),
            ("schema/vm.kobl", "package quorl.vm;  // `quorl.vm` package quorl.vm belongs in a file named "
                               "quorl.vm.kobl, not vm.kobl"),
            ("schema/quorl.other.kobl", "package quorl.other;  // `quorl.other` package quorl.other is not in "
                                        "the package list of the namespace file")]))

    def test_errors_of_several_files_are_all_reported_in_order(self):
        # a syntax error stops the run before the checks: only the syntax error is reported
        errors = self.errors({"quorl": "data A since version1 { x: Nope; }", "quorl.vm": "data B { }"})
        self.assertEqual([str(e) for e in errors],
                         ["schema/quorl.vm.kobl:2:8: expected 'since <version>' before '{': every type states its "
                          "version (B)"])
        files = {"quorl": "data A since version1 { x: Nope; }", "quorl.vm": "data B since version1 { y: Gone; }"}
        self.assertEqual([(e.location.file, e.location.line) for e in self.errors(files)],
                         [("schema/quorl.kobl", 2), ("schema/quorl.vm.kobl", 2)])


class WarningTest(SchemaTestCase):
    def test_redundant_and_suspicious_forms_warn_without_failing(self):
        self.assertAnnounced({"quorl": """
            data A wsdl "A" since version5 { a: int since version5; b: int since version2; }
            // `wsdl` WSDL name of quorl.A equals its last component
            // `version5;` 'since' of property a repeats the version of quorl.A
            // `version2` property b (quorl.version.version2) is older than quorl.A
            data B : A since version2;
            // `version2` quorl.B (version quorl.version.version2) is older than its base quorl.A
            fault F : kobl.MethodFault since version1 response InternalServerError;
            // `InternalServerError` response code of quorl.F is the default
            managed M since version5 {
                method m() -> string since version6 wsdl "M";
                // `version6` the result of method m of quorl.M has version quorl.version.version6, the method
                // `wsdl` operation name of method m of quorl.M is the default
                method n() since version5;  // `version5` 'since' of method n of quorl.M repeats the version of quorl.M
                method r() privileges by type { "quorl.Nowhere": "X" };
                // `"quorl` name quorl.Nowhere, which is no type of the schema
            }"""}, warnings=True)
