"""The managed-type emitter on the repository's schema (quorl.HttpNfcLease, quorl.VirtualMachine,
quorl.ManagedEntity) and on small schemas it must refuse."""

import unittest
from pathlib import Path

from generator import load_schema
from generator.emit_managed import ManagedEmitter, ManagedError
from generator.naming import Names
from generator.printer import Printer

from .schema_fixtures import SchemaTestCase, build

SCHEMA = Path(__file__).resolve().parents[2] / "schema"


def text(fn) -> str:
    p = Printer()
    fn(p)
    return p.text()


@unittest.skipUnless((SCHEMA / "namespace.kobl").is_file(), "no schema files")
class LeaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.model, _ = load_schema(SCHEMA)
        cls.names = Names(cls.model)

    def emitter(self, name: str) -> ManagedEmitter:
        return ManagedEmitter(self.model, self.names, self.model.types[name])

    def test_slots_follow_the_method_object_table(self):
        lease = self.emitter("quorl.HttpNfcLease")
        slots = {m.name: m.slot for m in lease.members}
        self.assertEqual(slots["GetManifest"], 0)
        self.assertEqual(slots["ProbeUrls"], 6)
        self.assertEqual(slots["GetInitializeProgress"], 7)
        self.assertEqual(slots["GetError"], 13)
        self.assertEqual(lease.table_length, 15)
        # Interface order: getters first, then methods.
        self.assertEqual([m.name for m in lease.members][:2], ["GetInitializeProgress", "GetTransferProgress"])

    def test_member_forms(self):
        decls = {m.name: m.declaration() for m in self.emitter("quorl.HttpNfcLease").members}
        self.assertEqual(decls["ProbeUrls"],
                         "void ProbeUrls(::Ormid::DataArray<::Quorl::HttpNfcLease::SourceFile>* files, "
                         "const ::Pellum::Optional<int>& timeout, "
                         "::Pellum::Ref<::Ormid::DataArray<::Quorl::HttpNfcLease::ProbeResult>>& result)")
        self.assertEqual(decls["GetState"], "::Quorl::HttpNfcLease::State GetState()")
        self.assertEqual(decls["GetMode"], "std::string GetMode()")
        self.assertEqual(decls["Abort"], "void Abort(::Ormid::MethodFault* fault)")
        vm = {m.name: m.declaration() for m in self.emitter("quorl.VirtualMachine").members}
        # A task method answers the task reference whatever result its record declares.
        self.assertEqual(vm["CreateSnapshot"],
                         "void CreateSnapshot(const std::string& name, const ::Pellum::Optional<std::string>& "
                         "description, bool memory, bool quiesce, ::Pellum::Ref<::Ormid::MoRef>& task)")
        self.assertEqual(vm["PowerOn"], "void PowerOn(::Ormid::MoRef* host, ::Pellum::Ref<::Ormid::MoRef>& task)")

    def test_stub_boxes_and_calls(self):
        stub = text(self.emitter("quorl.HttpNfcLease").print_stub_definitions)
        self.assertIn("""\
void Quorl::HttpNfcLeaseStub::Progress(int percent) {
   ::Ormid::ArgumentList args_(1);
   args_[0] = ::Ormid::Box(percent);
   _Invoke_Task(gQuorlHttpNfcLeaseMethodObjects[4], args_);
}""", stub)
        self.assertIn("args_[1] = ::Ormid::BoxOptional(timeout);", stub)
        self.assertIn("result = ::Ormid::NarrowArray<::Ormid::DataArray<::Quorl::HttpNfcLease::ManifestEntry>>"
                      "(answer_.GetPtr());", stub)
        self.assertIn("return ::Ormid::Unbox<::Quorl::HttpNfcLease::State>(answer_.GetPtr());", stub)
        self.assertIn("_StartInvoke_Task(gQuorlHttpNfcLeaseMethodObjects[13], args_, done, item);", stub)
        # Only a root stub forwards the two managed-object slots.
        self.assertIn("_GetRef() const { return ::Ormid::StubImpl::_GetRef(); }", stub)
        vm = text(self.emitter("quorl.VirtualMachine").print_stub_declaration)
        self.assertIn("public virtual ::Quorl::VirtualMachine, public ::Quorl::ManagedEntityStub", vm)
        self.assertNotIn("_GetRef", vm)

    def test_dispatch_and_property_index(self):
        server = text(self.emitter("quorl.HttpNfcLease").print_server_definitions)
        self.assertIn("self->Abort(::Ormid::NarrowCast<::Ormid::MethodFault>(args[0].GetPtr()));", server)
        self.assertIn("self->ProbeUrls(::Ormid::NarrowCast<::Ormid::DataArray<::Quorl::HttpNfcLease::SourceFile>>"
                      "(args[0].GetPtr()), ::Ormid::UnboxOptional<int>(args[1].GetPtr()), out_);", server)
        self.assertIn("result = ::Ormid::Box(self->GetState());", server)
        # Property names of one length are told apart by their first character, then the rest.
        self.assertIn("""\
   case 4:
      if (name[0] == 'm' && std::memcmp(name + 1, "ode", 3) == 0) { return 2; }
      if (name[0] == 'i' && std::memcmp(name + 1, "nfo", 3) == 0) { return 4; }
      break;""", server)
        # A dispatcher refuses short argument lists rather than reach the interface.
        self.assertIn("if (args.size() < 1) { break; }", server)

    def test_type_without_members_still_dispatches_nothing(self):
        library = self.emitter("quorl.external.ContentLibrary")
        self.assertEqual(library.members, [])
        server = text(library.print_server_definitions)
        self.assertNotIn("switch", server)
        self.assertIn("ThrowBadDispatch", server)
        self.assertNotIn("PropertyIndex", text(library.print_detail_declarations))


class RefusalTest(SchemaTestCase):
    def test_member_hiding_a_nested_type_is_refused(self):
        model, _ = build({"quorl": """
            managed Box since version1 {
                method info() wsdl "BoxInfo";
                data Info since version1;
            }"""})
        with self.assertRaisesRegex(ManagedError, "Info would hide the nested type"):
            ManagedEmitter(model, Names(model), model.types["quorl.Box"])


if __name__ == "__main__":
    unittest.main()
