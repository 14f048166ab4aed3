"""Name resolution, defaults, the model's shape and the command line. The JSON form (`json`) is compared, type by
type, with what the runtime registered from the generated library by the tool's test."""

import io
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout
from pathlib import Path

from generator.__main__ import main

from .schema_fixtures import SchemaTestCase, build, namespace_text, write_schema


class ResolutionTest(SchemaTestCase):
    def test_scopes_absolute_names_and_parent_packages(self):
        model, _ = build({
            "quorl": "data Top since version1;\nmanaged Folder since version1;",
            "quorl.vm": """
                data ConfigSpec since version1 {
                    top: Top;                       // parent package
                    own: Inner;                     // enclosing declaration
                    sibling: Other;                 // package
                    host: host.ConnectSpec;         // relative to quorl
                    full: quorl.host.ConnectSpec;   // absolute
                    deep: ConfigSpec.Inner.Deep;    // through the package scope
                    folder: Folder[]?;
                    data Inner since version1 { back: Deep; data Deep since version1; }
                }
                data Other since version1;
                data Unlisted.Leaf since version1 { next: Leaf; up: Other; }""",
            "quorl.host": "data ConnectSpec since version1 { spec: vm.ConfigSpec; }",
        })
        spec = model.types["quorl.vm.ConfigSpec"]
        self.assertEqual([(p.name, p.type) for p in spec.properties], [
            ("top", "quorl.Top"), ("own", "quorl.vm.ConfigSpec.Inner"), ("sibling", "quorl.vm.Other"),
            ("host", "quorl.host.ConnectSpec"), ("full", "quorl.host.ConnectSpec"),
            ("deep", "quorl.vm.ConfigSpec.Inner.Deep"), ("folder", "quorl.Folder")])
        self.assertEqual(model.types["quorl.vm.ConfigSpec.Inner"].properties[0].type,
                         "quorl.vm.ConfigSpec.Inner.Deep")
        self.assertEqual([p.type for p in model.types["quorl.vm.Unlisted.Leaf"].properties],
                         ["quorl.vm.Unlisted.Leaf", "quorl.vm.Other"])
        self.assertEqual(model.types["quorl.host.ConnectSpec"].properties[0].type, "quorl.vm.ConfigSpec")

    def test_fault_lists_resolve_in_the_fault_package(self):
        model, _ = build({
            "quorl": """
                data InvalidState wsdl "Other" since version1;   // not a fault: ignored by fault lists
                managed M since version1 {
                    method m() faults InvalidState, Timedout, fault.DuplicateName, kobl.fault.NotSupported,
                        kobl.MethodFault;
                }""",
        })
        self.assertEqual(model.types["quorl.M"].methods[0].faults,
                         ("quorl.fault.InvalidState", "quorl.fault.Timedout", "quorl.fault.DuplicateName",
                          "kobl.fault.NotSupported", "kobl.MethodFault"))

    def test_base_is_looked_up_from_the_enclosing_scope(self):
        model, _ = build({"quorl.vm": """
            data Device since version1;
            data Holder since version1 {
                data Part since version2;
                data Disk : Part since version2;      // Holder is the first scope of the base
            }
            data Outer : Device since version1 { data Device wsdl "OuterDevice" since version1; }
        """})
        self.assertEqual(model.types["quorl.vm.Holder.Disk"].base, "quorl.vm.Holder.Part")
        # the declaration's own body is not searched, so Device is not ambiguous here
        self.assertEqual(model.types["quorl.vm.Outer"].base, "quorl.vm.Device")
        self.assertAnnounced({"quorl.vm": """
            data Device since version1;
            data Holder since version1 {
                data Device wsdl "HolderDevice" since version2;
                data Disk : Device since version2;  // `Device since version2;` ambiguous type 'Device'
            }"""})


class DefaultsTest(SchemaTestCase):
    def test_defaults_of_types_members_and_methods(self):
        model, warnings = build({
            "quorl": """
                managed Lease since version5 {
                    p: int;
                    q: string[]? since version6 privilege "System.View";
                    method plain(x: int, y: string? since version12) -> long;
                    method run() -> Result task since version6;
                    method renamed() wsdl "LeaseRenamed";
                    data Result since version5;
                }
                fault Local.Marker : kobl.RuntimeFault since version2;""",
            "quorl.fault": "fault QuorlFault : kobl.MethodFault since version1;",
        })
        self.assertEqual(warnings, [])
        lease = model.types["quorl.Lease"]
        self.assertEqual((lease.base, lease.wsdl, lease.version, lease.package),
                         ("kobl.ManagedObject", "Lease", "quorl.version.version5", "quorl"))
        self.assertEqual([(p.flags, p.version, p.privilege) for p in lease.properties],
                         [(4, "quorl.version.version5", None), (7, "quorl.version.version6", "System.View")])
        plain, run, renamed = lease.methods
        self.assertEqual((plain.wsdl, plain.task, plain.version, plain.result.version, plain.flag_bytes),
                         ("Plain", False, "quorl.version.version5", "quorl.version.version5", (0, 0, 0)))
        self.assertEqual([(p.name, p.flags, p.version) for p in plain.params],
                         [("x", 0, "quorl.version.version5"), ("y", 2, "quorl.version.version12")])
        self.assertEqual((run.wsdl, run.task, run.version, run.result.type, run.result.version),
                         ("Run_Task", True, "quorl.version.version6", "quorl.Lease.Result", "quorl.version.version6"))
        self.assertEqual((renamed.wsdl, renamed.result, renamed.result_version),
                         ("LeaseRenamed", None, "kobl.version.version0"))
        result = model.types["quorl.Lease.Result"]
        self.assertEqual((result.base, result.outer, result.package, result.wsdl),
                         ("kobl.DynamicData", "quorl.Lease", "quorl", "Result"))
        marker = model.types["quorl.Local.Marker"]
        self.assertEqual((marker.base, marker.outer, marker.scope, marker.short_name),
                         ("kobl.RuntimeFault", None, "quorl.Local", "Marker"))

    def test_flag_words(self):
        model, _ = build({"quorl": """
            data Item since version1;
            data D since version1 {
                links: Item[]? linkable; one: Item? link; many: Item[]? link +64;
                pw: string secret; opt: string? +512; stats: long? +1024 +0x40; xml: string? dedup;
            }
            managed M since version1 { c: int[]? +1024; }"""})
        props = model.types["quorl.D"].properties
        self.assertEqual([p.flags for p in props], [0x13, 0x22, 0x63, 0x200, 0x202, 0x442, 0x802])
        self.assertEqual([(p.link, p.linkable, p.secret) for p in props[:4]],
                         [(False, True, False), (True, False, False), (True, False, False), (False, False, True)])
        self.assertEqual([p.dedup for p in props], [False] * 6 + [True])
        self.assertEqual(model.types["quorl.M"].properties[0].flags, 0x407)

    def test_namespace_records(self):
        # a version's own stage (as a number), flags, task type and release; the others take the defaults
        model, _ = build({}, namespace=namespace_text().replace(
            'version1 wire "quorl2" id "2.0" stage released;',
            'version1 wire "quorl2" id "2.0" stage 0 flags 6 task "T" in "N";').replace(
            'bmcInfo id "f3870E1A3" stage', 'bmcInfo id "f3870E1A3" release "r" stage'))
        ns = model.namespace
        self.assertEqual(len(ns.versions), 8)
        v1 = model.version("quorl.version.version1")
        self.assertEqual((v1.wire_namespace, v1.version_id, v1.release_id, v1.task_type_name,
                          v1.task_type_namespace, v1.stage, v1.stage_name, v1.flags, v1.suffix),
                         ("quorl2", "2.0", None, "T", "N", 0, "released", 6, "version1"))
        self.assertEqual([(v.wire_namespace, v.release_id, v.stage_name, v.task_type_name, v.flags) for v in (
            model.version("quorl.version.unstable"), model.version("quorl.version.bmcInfo"))],
            [("quorl25", "u5FBD8F21", "unstable", "quorl.Task", 4), ("quorl25", "r", "feature", "quorl.Task", 4)])
        self.assertEqual(ns.parents[:2], (("quorl.version.version2", "quorl.version.version1"),
                                          ("quorl.version.version1", "kobl.query.version.version1")))
        self.assertEqual((ns.version_slots, ns.counts, ns.dependencies, ns.products[0].name, ns.products[0].releases),
                         (35, (1, 30, 32), ("kobl.reflect", "kobl.query"), "Sylvar", ("9.0.0.0", "8.0.3.1")))

    def test_type_list_order_and_helpers(self):
        model, _ = build({"quorl": """
            managed Derived : Root since version1;
            data Child : Parent since version1;
            enum E since version1 { a, "b", 3z, 4, }
            managed Root since version1;
            data Parent since version1 { data Nested : Child since version1; }
            fault F : fault.QuorlFault since version1 { }"""}, packages=("quorl", "quorl.fault"))
        self.assertEqual(model.package("quorl").types,
                         ("quorl.Derived", "quorl.Child", "quorl.E", "quorl.Root", "quorl.Parent",
                          "quorl.Parent.Nested", "quorl.F"))
        self.assertEqual(model.type_list("quorl"),
                         ("quorl.Parent", "quorl.Child", "quorl.Parent.Nested", "quorl.F", "quorl.E", "quorl.Root",
                          "quorl.Derived"))
        self.assertEqual(model.base_chain("quorl.Parent.Nested"),
                         ("quorl.Child", "quorl.Parent", "kobl.DynamicData"))
        self.assertEqual(model.base_chain("quorl.F"), ("quorl.fault.QuorlFault", "kobl.MethodFault",
                                                       "kobl.DynamicData"))
        self.assertEqual(model.subtypes("quorl.Parent"), ("quorl.Child",))
        self.assertEqual([model.kind_of(n) for n in ("int", "kobl.URI", "quorl.E", "kobl.fault.SystemError",
                                                     "nothing")],
                         ["primitive", "primitive", "enum", "fault", None])
        self.assertEqual(model.types["quorl.Parent"].nested, ("quorl.Parent.Nested",))
        self.assertEqual([v.name for v in model.types["quorl.E"].values], ["a", "b", "3z", "4"])
        pkg = model.package("quorl")
        self.assertEqual((dict(pkg.counts), pkg.order), ({"data": 3, "fault": 1, "enum": 1, "managed": 2}, 1))


# One of each kind of declaration and member, for the counts of `check`.
COUNTED = {"quorl": """
    managed Lease since version5 {
        state: State; info: Info?; error: kobl.MethodFault?;
        method getManifest() -> Info[]?;
        method pull(files: Info[]?, password: string secret, pool: Lease?) task;
        method rename(newName: string) task;
        data Info since version5 { url: string; xml: string? dedup; }
        enum State since version5 { initializing, ready, "done", error }
        managed Sub : Lease since version5;
    }"""}


class CommandLineTest(unittest.TestCase):
    def run_main(self, *args):
        out, err = io.StringIO(), io.StringIO()
        with redirect_stdout(out), redirect_stderr(err):
            code = main(list(args))
        return code, out.getvalue(), err.getvalue()

    def test_check_summarises_every_package(self):
        with tempfile.TemporaryDirectory() as tmp:
            write_schema(tmp, COUNTED, packages=("quorl", "quorl.fault"))
            code, out, err = self.run_main("--schema", tmp, "check")
            self.assertEqual((code, err), (0, ""))
            rows = {line.split()[1]: line.split()[2:] for line in out.splitlines() if line[:3].strip().isdigit()}
            self.assertEqual(rows["quorl"], ["1/50", "0/50", "1/50", "2/50", "4", "2", "3", "3", "4"])
            self.assertEqual(rows["quorl.fault"], ["0/50", "4/50", "0/50", "0/50", "0", "1", "0", "0", "0"])
            self.assertIn("versions 8, parent pairs 10", out)

    def test_errors_exit_1_with_located_messages(self):
        with tempfile.TemporaryDirectory() as tmp:
            write_schema(tmp, {"quorl": "data A since version1 { x: Missing; }"}, packages=("quorl", "quorl.fault"))
            code, out, err = self.run_main("--schema", tmp, "check")
            self.assertEqual((code, out), (1, ""))
            path = str(Path(tmp) / "quorl.kobl")
            self.assertIn(f"{path}:2:28: error: unknown type 'Missing'", err)
            self.assertIn("1 error(s)", err)
            code, out, err = self.run_main("--schema", str(Path(tmp) / "absent"), "json")
            self.assertEqual((code, out), (1, ""))
            self.assertIn("no namespace.kobl", err)


if __name__ == "__main__":
    unittest.main()
