"""The managed-type emitter on a schema it must refuse, and the shape of the skeletons. What the emitted
interfaces, stubs, dispatchers and skeletons do is tested by compiling them and by the library's
managed-type, skeleton and conformance tests."""

import re
import unittest

from generator.emit import generate
from generator.emit_managed import ManagedEmitter, ManagedError
from generator.naming import Names

from .schema_fixtures import build

SKELETON_CLASS = re.compile(r"^class (\S+) : (.*) \{$", re.M)
NOT_SERVED = re.compile(r' (\w+)\([^)]*\) override \{ ::Ormid::NotServed\("([^"]+)"\); \}')


class ManagedTest(unittest.TestCase):
    def test_member_hiding_a_nested_type_is_refused(self):
        model, _ = build({"quorl": """
            managed Box since version1 {
                method info() wsdl "BoxInfo";
                data Info since version1;
            }"""})
        with self.assertRaisesRegex(ManagedError, "Info would hide the nested type"):
            ManagedEmitter(model, Names(model), model.types["quorl.Box"])

    def test_a_skeleton_derives_from_its_base_skeleton_and_serves_only_its_own_members(self):
        model, _ = build({"quorl": """
            managed Entity since version1 { name: string; method reload(); }
            managed Folder : Entity since version1 {
                name: string;
                method createFolder(name: string) -> Folder;
                managed Lease since version1 { method renew(); }
            }"""})
        files = generate(model)
        header = files["quorl/FolderSkeleton.h"]
        self.assertIn('#include "quorl/EntitySkeleton.h"', header)
        self.assertIn("class LeaseSkeleton;", files["quorl/Folder.h"])
        self.assertEqual(SKELETON_CLASS.findall(header), [
            ("FolderSkeleton", "public virtual ::Quorl::Folder, public ::Quorl::EntitySkeleton"),
            ("Folder::LeaseSkeleton", "public virtual ::Quorl::Folder::Lease")])
        self.assertEqual(SKELETON_CLASS.findall(files["quorl/EntitySkeleton.h"]),
                         [("EntitySkeleton", "public virtual ::Quorl::Entity")])
        # Own members only (a property declared again is the type's own), each naming itself; nothing else
        # is overridden (the managed-object slots are left to the implementation).
        body = header[header.index("class FolderSkeleton"):header.index("class Folder::LeaseSkeleton")]
        self.assertEqual(NOT_SERVED.findall(body), [("GetName", "Folder::GetName"),
                                                    ("CreateFolder", "Folder::CreateFolder")])
        self.assertEqual(NOT_SERVED.findall(header[header.index("class Folder::LeaseSkeleton"):]),
                         [("Renew", "Folder::Lease::Renew")])
        code = [line for line in header.splitlines() if not line.startswith("//")]
        self.assertEqual(sum(line.count(" override") for line in code), 3)
