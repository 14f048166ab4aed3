"""The naming module: wire names to C++ names, keyword escaping, the awkward cases of the schema."""

import unittest

from generator.naming import NamingError, Names, cpp_string, escape, package_namespace, package_symbol

from .schema_fixtures import build


class WordTest(unittest.TestCase):
    def test_words_packages_constants_and_literals(self):
        cases = [  # (function, its arguments..., the name it gives)
            (escape, "namespace", "namespace_"), (escape, "operator", "operator_"), (escape, "template", "template_"),
            (escape, "NULL", "NULL_"), (escape, "major", "major_"), (escape, "3des", "_3des"),
            (escape, "native_512", "native_512"), (escape, "iScsiBootFailureEvent", "iScsiBootFailureEvent"),
            (package_namespace, "quorl", ("Quorl",)),
            (package_namespace, "quorl.profile.host.profileEngine", ("Quorl", "Profile", "Host", "ProfileEngine")),
            (package_symbol, "quorl.vm.device", "QuorlVmDevice"),
            (Names.enum_constant, "ConnectionState", "notResponding", "CONNECTIONSTATE_NOTRESPONDING"),
            (Names.enum_constant, "SectorFormat", "native_512", "SECTORFORMAT_NATIVE_512"),
            (Names.enumerator, "3des", "_3des"),
            (Names.array_getter, "bootOrder", "GetBootOrder"),
            (cpp_string, 'a"b\\c', '"a\\"b\\\\c"'),
        ]
        for fn, *args, want in cases:
            with self.subTest(fn=fn.__name__, args=args):
                self.assertEqual(fn(*args), want)

    def test_reserved_and_malformed_words_are_refused(self):
        for fn, bad in ((escape, "_Reserved"), (escape, "two__underscores"), (escape, ""), (escape, "has-dash"),
                        (escape, "dotted.name"), (package_namespace, "quorl.has-dash")):
            with self.subTest(bad=bad), self.assertRaises(NamingError):
                fn(bad)


class TypeNamesTest(unittest.TestCase):
    def test_classes_headers_files_and_members(self):
        model, _ = build({
            "quorl": """
                data TaskInfo since version1 {
                    state: State; other: string; ByEntity: string;
                    enum State since version1 { queued, running }
                    data ByEntity since version1;
                }
                data Unlisted.Leaf since version1;""",
            "quorl.vm": """
                data BootOptions wsdl "VirtualMachineBootOptions" since version2 {
                    data BootableDevice wsdl "VirtualMachineBootOptionsBootableDevice" since version2;
                }""",
            "quorl.host": """
                managed DiskManager since version1 { managed Lease since version1; }
                data iScsiBootFailureEvent since version1;""",
        })
        names = Names(model)
        boot, lease = "quorl.vm.BootOptions.BootableDevice", "quorl.host.DiskManager.Lease"
        event, leaf = "quorl.host.iScsiBootFailureEvent", "quorl.Unlisted.Leaf"
        cases = [  # (method of Names, wire name of the type, further arguments..., the name it gives)
            ("qualified", boot, "::Quorl::Vm::BootOptions::BootableDevice"),
            ("local_path", boot, "BootOptions::BootableDevice"),
            ("header_symbol", boot, "gQuorlVmBootOptionsBootableDeviceTypeInfo"),
            ("unit_header", boot, "quorl/vm/BootOptions.h"),
            ("header_symbol", "quorl.TaskInfo", "gQuorlTaskInfoTypeInfo"),
            ("unit_header", "quorl.TaskInfo.State", "quorl/TaskInfo.h"),
            ("qualified", lease, "::Quorl::Host::DiskManager::Lease"),
            ("header_symbol", lease, "gQuorlHostDiskManagerLeaseTypeInfo"),
            ("qualified", event, "::Quorl::Host::iScsiBootFailureEvent"),
            ("unit_header", event, "quorl/host/iScsiBootFailureEvent.h"),
            # dotted declarations become namespaces
            ("qualified", leaf, "::Quorl::Unlisted::Leaf"),
            ("unit_header", leaf, "quorl/Unlisted/Leaf.h"),
            # members avoid the names of nested types
            ("member", "quorl.TaskInfo", "state", "state"),
            ("member", "quorl.TaskInfo", "ByEntity", "ByEntity_"),
            ("member", "quorl.TaskInfo", "other", "other"),
        ]
        for method, wire, *args, want in cases:
            with self.subTest(method=method, wire=wire, args=args):
                self.assertEqual(getattr(names, method)(model.types[wire], *args), want)
