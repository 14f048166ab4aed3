"""The service description on a small schema: the typing and occurrence of every kind of member, bases,
boxed arrays, requests and responses, the binding, and the name clashes it refuses."""

import re
import unittest
import xml.etree.ElementTree as ET

from generator.emit_wsdl import WsdlError, generate_wsdl

from .schema_fixtures import build

XS = "{http://www.w3.org/2001/XMLSchema}"
WS = "{http://schemas.xmlsoap.org/wsdl/}"

SCHEMA = {
    "quorl": """
        managed ManagedEntity since version1 {
            method rename(newName: string, parent: ManagedEntity?) task faults DuplicateName;
            method find(keys: string[], mode: Item.Mode?) -> Item[]? faults InvalidState, kobl.fault.InvalidType;
            method touch();
        }
        data Item since version1 {
            key: string;
            label: string?;
            tags: string[];
            owner: ManagedEntity?;
            peer: Item? link;
            mode: Mode;
            enum Mode wsdl "ItemMode" since version1 { on, off }
        }
        data Special : Item since version1 { extra: binary[]?; path: kobl.PropertyPath; any: anyType?; }""",
}


def declarations(xsd: ET.Element) -> dict:
    """Every named top-level type and element: (extension base, {child element: (type, min, max)})."""
    out = {}
    for node in xsd:
        ext = node.find(f".//{XS}extension")
        children = {e.get("name"): (e.get("type"), e.get("minOccurs"), e.get("maxOccurs"))
                    for e in node.iter(f"{XS}element") if e is not node}
        out[node.get("name")] = (None if ext is None else ext.get("base"), children)
    return out


class WsdlTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = generate_wsdl(build(SCHEMA)[0])
        cls.xsd = ET.fromstring(cls.files["quorl.xsd"])
        cls.decls = declarations(cls.xsd)

    def test_members_are_typed_and_counted_like_the_wire(self):
        S, MOR, MANY = "xsd:string", "tns:ManagedObjectReference", ("0", "unbounded")
        # (XML Schema type, minOccurs, maxOccurs) of the own members of types, in order; a link holds a key
        self.assertEqual(list(self.decls["Item"][1].items()), [
            ("key", (S, None, None)), ("label", (S, "0", None)), ("tags", (S, *MANY)), ("owner", (MOR, "0", None)),
            ("peer", (S, "0", None)), ("mode", ("tns:ItemMode", None, None))])
        self.assertEqual(list(self.decls["Special"][1].items()), [
            ("extra", ("xsd:base64Binary", *MANY)), ("path", ("tns:PropertyPath", None, None)),
            ("any", ("xsd:anyType", "0", None))])
        cases = [  # (type or element, member, XML Schema type, minOccurs, maxOccurs)
            ("DuplicateName", "name", S, None, None),
            ("MethodFault", "faultMessage", "tns:LocalizableMessage", *MANY),
            ("ArrayOfItem", "Item", "tns:Item", *MANY),
            ("ArrayOfItemMode", "ItemMode", "tns:ItemMode", *MANY),
            ("ArrayOfBase64Binary", "base64Binary", "xsd:base64Binary", *MANY),
            ("ArrayOfManagedObjectReference", "ManagedObjectReference", MOR, *MANY),
            ("Rename_Task", "_this", MOR, None, None),
            ("Rename_Task", "parent", MOR, "0", None),
            ("Rename_TaskResponse", "returnval", MOR, None, None),  # the task
            ("Find", "keys", S, *MANY),
            ("FindResponse", "returnval", "tns:Item", *MANY),
            ("Fetch", "prop", S, None, None),
            ("FetchResponse", "returnval", "xsd:anyType", "0", None),
        ]
        for owner, member, *want in cases:
            with self.subTest(owner=owner, member=member):
                self.assertEqual(self.decls[owner][1][member], tuple(want))
        self.assertEqual(self.decls["TouchResponse"][1], {})

    def test_bases_and_enumerations(self):
        bases = {"Item": "tns:DynamicData", "Special": "tns:Item", "DuplicateName": "tns:QuorlFault",
                 "QuorlFault": "tns:MethodFault", "InvalidType": "tns:InvalidRequest", "DynamicData": None}
        self.assertEqual({name: self.decls[name][0] for name in bases}, bases)
        mode = self.xsd.find(f"{XS}simpleType[@name='ItemMode']")
        self.assertEqual([e.get("value") for e in mode.iter(f"{XS}enumeration")], ["on", "off"])
        self.assertEqual(self.xsd.find(f"{XS}element[@name='DuplicateNameFault']").get("type"), "tns:DuplicateName")

    def test_binding_names_the_newest_release(self):
        wsdl = ET.fromstring(self.files["quorl.wsdl"])
        self.assertEqual(self.xsd.get("targetNamespace"), "urn:quorl25")
        actions = {e.get("soapAction") for e in wsdl.iter("{http://schemas.xmlsoap.org/wsdl/soap/}operation")}
        self.assertEqual(actions, {"urn:quorl25/6.7"})
        faults = {op.get("name"): [f.get("name") for f in op.iter(f"{WS}fault")]
                  for op in wsdl.find(f"{WS}portType").iter(f"{WS}operation")}
        self.assertEqual(faults, {"Rename_Task": ["DuplicateNameFault"], "Touch": [], "Fetch": [],
                                  "Find": ["InvalidStateFault", "InvalidTypeFault"]})

    def test_clashes_are_refused_or_merged(self):
        item = "data Item since version1;"
        refused = [  # (schema of package quorl, fragment of the error)
            ({"quorl": "data Strings wsdl \"ArrayOfString\" since version1;"}, "type ArrayOfString"),
            ({"quorl": "data Item since version1; data Items wsdl \"ArrayOfItem\" since version1;"}, "ArrayOfItem"),
            ({"quorl": item + "managed A since version1 { method go(n: int); }"
                              "managed B since version1 { method go(n: string); }"}, "Go (quorl.A and quorl.B)"),
        ]
        for files, fragment in refused:
            with self.subTest(fragment=fragment), self.assertRaisesRegex(WsdlError, re.escape(fragment)):
                generate_wsdl(build(files)[0])
        same = {"quorl": "managed A since version1 { method go(n: int) faults Timedout; }"
                         "managed B since version1 { method go(n: int) faults InvalidState, Timedout; }"}
        files = generate_wsdl(build(same)[0])
        self.assertEqual(files["quorl.xsd"].count('<xsd:element name="Go">'), 1)
        port = ET.fromstring(files["quorl.wsdl"]).find(f"{WS}portType")
        self.assertEqual([f.get("name") for f in port.find(f"{WS}operation[@name='Go']").iter(f"{WS}fault")],
                         ["TimedoutFault", "InvalidStateFault"])
