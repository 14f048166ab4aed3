"""The naming module: wire names to C++ names, keyword escaping, the awkward cases of the schema."""

import unittest

from generator.naming import NamingError, Names, cpp_string, escape, package_namespace, package_symbol

from .schema_fixtures import SchemaTestCase, build


class EscapeTest(unittest.TestCase):
    def test_keywords_macros_and_digits(self):
        for word, escaped in (("namespace", "namespace_"), ("operator", "operator_"), ("template", "template_"),
                              ("NULL", "NULL_"), ("major", "major_"), ("3des", "_3des"),
                              ("native_512", "native_512"), ("iScsiBootFailureEvent", "iScsiBootFailureEvent")):
            self.assertEqual(escape(word), escaped, word)

    def test_reserved_and_malformed_words_are_refused(self):
        for bad in ("_Reserved", "two__underscores", "", "has-dash", "dotted.name"):
            with self.assertRaises(NamingError, msg=bad):
                escape(bad)

    def test_packages(self):
        self.assertEqual(package_namespace("quorl"), ("Quorl",))
        self.assertEqual(package_namespace("quorl.profile.host.profileEngine"),
                         ("Quorl", "Profile", "Host", "ProfileEngine"))
        self.assertEqual(package_symbol("quorl.vm.device"), "QuorlVmDevice")
        with self.assertRaises(NamingError):
            package_namespace("kobl.query")

    def test_enum_constants(self):
        self.assertEqual(Names.enum_constant("ConnectionState", "notResponding"), "CONNECTIONSTATE_NOTRESPONDING")
        self.assertEqual(Names.enum_constant("SectorFormat", "native_512"), "SECTORFORMAT_NATIVE_512")
        self.assertEqual(Names.enumerator("3des"), "_3des")

    def test_string_literals(self):
        self.assertEqual(cpp_string('a"b\\c'), '"a\\"b\\\\c"')


class TypeNamesTest(SchemaTestCase):
    def setUp(self):
        self.model, _ = build({
            "quorl": """
                data TaskInfo since version1 {
                    state: State; other: string; ByEntity: string;
                    enum State since version1 { queued, running }
                    data ByEntity since version1;
                }
                managed Datastore since version1 { enum SectorFormat since version1 { native_512, native_4k } }
                data Unlisted.Leaf since version1;""",
            "quorl.vm": """
                data BootOptions wsdl "VirtualMachineBootOptions" since version2 {
                    bootOrder: BootableDevice[]?;
                    data BootableDevice wsdl "VirtualMachineBootOptionsBootableDevice" since version2;
                }""",
            "quorl.host": """
                managed DiskManager since version1 { managed Lease since version1; }
                data iScsiBootFailureEvent since version1;""",
        })
        self.names = Names(self.model)

    def t(self, wire):
        return self.model.types[wire]

    def test_classes_headers_and_files(self):
        n = self.names
        boot = self.t("quorl.vm.BootOptions.BootableDevice")
        self.assertEqual(n.qualified(boot), "::Quorl::Vm::BootOptions::BootableDevice")
        self.assertEqual(n.local_path(boot), "BootOptions::BootableDevice")
        self.assertEqual(n.header_symbol(boot), "gQuorlVmBootOptionsBootableDeviceTypeInfo")
        self.assertEqual(n.unit_header(boot), "quorl/vm/BootOptions.h")
        self.assertEqual(n.header_symbol(self.t("quorl.TaskInfo")), "gQuorlTaskInfoTypeInfo")
        self.assertEqual(n.unit_header(self.t("quorl.TaskInfo.State")), "quorl/TaskInfo.h")
        lease = self.t("quorl.host.DiskManager.Lease")
        self.assertEqual(n.qualified(lease), "::Quorl::Host::DiskManager::Lease")
        self.assertEqual(n.header_symbol(lease), "gQuorlHostDiskManagerLeaseTypeInfo")
        event = self.t("quorl.host.iScsiBootFailureEvent")
        self.assertEqual(n.qualified(event), "::Quorl::Host::iScsiBootFailureEvent")
        self.assertEqual(n.unit_header(event), "quorl/host/iScsiBootFailureEvent.h")

    def test_dotted_declarations_become_namespaces(self):
        leaf = self.t("quorl.Unlisted.Leaf")
        self.assertEqual(self.names.qualified(leaf), "::Quorl::Unlisted::Leaf")
        self.assertEqual(self.names.unit_header(leaf), "quorl/Unlisted/Leaf.h")

    def test_members_avoid_nested_type_names(self):
        task = self.t("quorl.TaskInfo")
        self.assertEqual(self.names.member(task, "state"), "state")
        self.assertEqual(self.names.member(task, "ByEntity"), "ByEntity_")
        self.assertEqual(self.names.member(task, "other"), "other")
        self.assertEqual(Names.array_getter("bootOrder"), "GetBootOrder")


if __name__ == "__main__":
    unittest.main()
