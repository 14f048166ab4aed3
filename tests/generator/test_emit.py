"""The back end on small schemas: the planned files, their order and content, deterministic output."""

import tempfile
import unittest
from pathlib import Path

from generator.emit import EmitError, generate, output_list, write_files

from .schema_fixtures import SchemaTestCase, build

SCHEMA = {
    "quorl": """
        managed ManagedEntity since version1;
        data Outer since version1 {
            enabled: boolean?;
            count: long;
            data Inner since version1 { data Leaf since version1; }
            data User since version1 { leaf: Inner.Leaf; others: Inner.Leaf[]; }
            enum Mode since version1 { on, off }
        }
        data Child : Outer since version1 {
            dynamicProperty: kobl.DynamicProperty[]? since kobl.version.version0;
            Sub: string;
            entity: ManagedEntity?;
            modes: Outer.Mode[]?;
            data Sub since version1;
        }
        managed Folder since version1 { enum State since version1 { ready } }""",
    "quorl.vm": """
        data BootOptions wsdl "VirtualMachineBootOptions" since version2 {
            bootDelay: long?;
            bootOrder: BootableDevice[]?;
            data BootableDevice wsdl "VirtualMachineBootOptionsBootableDevice" since version2;
        }""",
}


class EmitTest(SchemaTestCase):
    def setUp(self):
        self.model, _ = build(SCHEMA)
        self.files = generate(self.model)

    def test_outputs_are_planned_and_deterministic(self):
        self.assertEqual(sorted(self.files), sorted(output_list(self.model)))
        self.assertEqual(generate(build(SCHEMA)[0]), self.files)
        for name in ("quorl/Outer.h", "quorl/Folder.h", "quorl/Fwd.h", "quorl/All.h", "quorl/quorl_part0.cpp",
                     "quorl/quorl_registration.cpp", "quorl/vm/BootOptions.h", "registration.cpp", "versions.cpp"):
            self.assertIn(name, self.files)
        # Every managed type has its interface unit and a stub header.
        self.assertIn("quorl/ManagedEntity.h", self.files)
        self.assertIn("quorl/ManagedEntityStub.h", self.files)

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

    def test_nested_classes_follow_what_they_need(self):
        text = self.files["quorl/Outer.h"]
        outer = text.index("class QUORL_API Outer : public ::Ormid::DynamicData")
        inner = text.index("class QUORL_API Outer::Inner :")
        leaf = text.index("class QUORL_API Outer::Inner::Leaf :")
        user = text.index("class QUORL_API Outer::User :")
        self.assertLess(outer, inner)
        self.assertLess(inner, leaf)
        self.assertLess(inner, user)  # User's fields name Inner::Leaf, declared inside Inner
        self.assertIn("enum class Mode : int {", text)
        self.assertIn("static const char MODE_ON[];", text)
        # The derived class includes its base's unit; the interface of a managed type holds its enumeration.
        self.assertIn('#include "quorl/Outer.h"', self.files["quorl/Child.h"])
        self.assertIn("class QUORL_API Folder : public virtual ::Ormid::ManagedObject {", self.files["quorl/Folder.h"])
        self.assertIn("static const char STATE_READY[];", self.files["quorl/Folder.h"])

    def test_a_class_naming_a_type_nested_deeper_in_itself_is_refused(self):
        model, _ = build({"quorl": """
            data Outer since version1 {
                leaf: Inner.Leaf;
                data Inner since version1 { data Leaf since version1; }
            }"""})
        with self.assertRaisesRegex(EmitError, "circular definition order"):
            generate(model)

    def test_field_storage_and_member_names(self):
        outer = self.files["quorl/Outer.h"]
        self.assertIn("::Pellum::Ref<::Quorl::Outer::Inner::Leaf> leaf;", outer)
        self.assertIn("signed char enabled{-1};", outer)
        self.assertIn("long count{};", outer)
        child = self.files["quorl/Child.h"]
        self.assertIn("std::string Sub_;", child)  # a nested type is called Sub
        self.assertIn("::Pellum::Ref<::Ormid::MoRef> entity;", child)
        self.assertIn("::Pellum::Ref<::Ormid::Array<::Quorl::Outer::Mode>> modes;", child)
        self.assertIn("::Ormid::DataArray<::Ormid::DynamicProperty>* GetDynamicProperty();", child)

    def test_descriptors_and_registration(self):
        reg = self.files["quorl/quorl_registration.cpp"]
        # A class without own properties: null accessors, the shared isSet, no reset.
        leaf = reg[reg.index("// quorl.Outer.Inner.Leaf\n"):]
        self.assertIn("kNoProperties,\n      nullptr, nullptr, nullptr,\n      nullptr, &::Ormid::AlwaysSet, nullptr,",
                      leaf)
        # Only required properties: no reset.
        user = reg[reg.index("// quorl.Outer.User\n"):]
        self.assertIn("::Quorl::Detail::QuorlOuterUser_IsSet, nullptr,", user)
        child = reg[reg.index("// quorl.Child\n"):]
        self.assertIn("QuorlChild_CreateArray, 1},", child)  # hasOwnDynamicProperty
        self.assertIn("r[6] = {&::gKoblDynamicPropertyTypeInfo, 0x3u, \"dynamicProperty\", nullptr, "
                      "\"kobl.version.version0\"};", reg)
        self.assertIn("::Quorl::koblNamespaceId = -1;", reg)
        self.assertNotIn("koblNamespaceId", self.files["quorl/vm/vm_registration.cpp"])
        self.assertIn("gTypes[", reg)
        self.assertIn("EnumFunctions<::Quorl::Outer::Mode>::kFuncs", reg)
        order = self.files["registration.cpp"]
        self.assertLess(order.index("Run(0, &::Quorl::Detail::RegisterQuorl);"),
                        order.index("Run(2, &::Quorl::Detail::RegisterQuorlVm);"))

    def test_accessor_switch_for_the_worked_example(self):
        part = self.files["quorl/vm/vm_part0.cpp"]
        self.assertIn("""\
void QuorlVmBootOptions_GetField(::Ormid::DynamicData* obj, int index, void* out) {
   auto* self = static_cast<::Quorl::Vm::BootOptions*>(obj);
   switch (index) {
   case 0: ::Ormid::Field::GetOptional(self->bootDelay, out); return;
   case 1: ::Ormid::Field::GetArray(self->GetBootOrder(), out); return;
   default: break;
   }
}""", part)
        self.assertIn("""\
void Quorl::Vm::BootOptions::_DiffProperties(const ::Ormid::Any* other, const std::string& prefix, \
::Ormid::PropertyDiffSet& diffs) const {
   const BootOptions* o = static_cast<const BootOptions*>(other);
   if (::Ormid::Field::DiffersOptional(this->bootDelay, o->bootDelay)) { diffs.Add(prefix + ".bootDelay"); }
   ::Ormid::DiffAnyPropertiesInt(this->bootOrder.GetPtr(), o->bootOrder.GetPtr(), prefix, ".bootOrder", 0x3u, diffs);
}""", part)


if __name__ == "__main__":
    unittest.main()
