"""Emitter of the service description: `<ns>.xsd`, the XML Schema of every type of the namespace, and
`<ns>.wsdl`, the WSDL 1.1 document of every operation (SOAP 1.1, document/literal, wrapped), written so
that what the wire codec writes (docs/wire.md) validates against them.

Types (named by their WSDL names, in the namespace `urn:<wire namespace>` of the newest released version):
  data object, fault      complexType extending its base's, one element per own property in record order
  enumeration             simpleType restricting xsd:string to the values
  managed type            ManagedObjectReference (the object id as text, attribute `type`)
  primitive               the XML Schema type (binary -> xsd:base64Binary, kobl.URI -> xsd:anyURI); the
                          string-valued runtime types are simpleTypes TypeName, MethodName, PropertyPath
  ArrayOf<Item>           the boxed array of every item type (an array held in an anyType place)
Elements: `value` (a value on its own), `<Fault>Fault` per fault (the SOAP fault detail), and per
operation `<Operation>` (`_this`, then the parameters) and `<Operation>Response` (`returnval`), plus
`Fetch`/`FetchResponse`, which carry property getters.

Operation names: two managed types may declare the same operation. When its request and response
elements come out the same, the operation is declared once and its faults are the union of the declared
faults, in first-seen order; when they differ the description cannot hold both, and generation fails
naming every such operation. A clash between any two global names (types, elements, messages) fails the
same way: nothing is ever dropped.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from xml.sax.saxutils import escape

from .model import (ENUM, FAULT, FLAG_ARRAY, FLAG_LINK, FLAG_OPTIONAL, MANAGED, Method,
                    Model, Version)
from .naming import capitalise
from .printer import Printer

XSD_NS = "http://www.w3.org/2001/XMLSchema"
WSDL_NS = "http://schemas.xmlsoap.org/wsdl/"
SOAP_NS = "http://schemas.xmlsoap.org/wsdl/soap/"
SOAP_HTTP = "http://schemas.xmlsoap.org/soap/http"
SERVICE_ADDRESS = "https://localhost/sdk"

# Primitive types and their XML Schema built-in types, in the order their arrays are written.
PRIMITIVE_XSD = {
    "boolean": "boolean", "byte": "byte", "short": "short", "int": "int", "long": "long", "float": "float",
    "double": "double", "string": "string", "binary": "base64Binary", "dateTime": "dateTime",
    "kobl.URI": "anyURI", "anyType": "anyType",
}
# String-valued runtime types: simpleTypes of their own, so that an anyType place can name them.
STRING_TYPES = {"kobl.TypeName": "TypeName", "kobl.MethodName": "MethodName",
                "kobl.PropertyPath": "PropertyPath"}
MOREF = "ManagedObjectReference"
FETCH = "Fetch"

_NCNAME = re.compile(r"[A-Za-z_][A-Za-z0-9_.-]*\Z")


class WsdlError(ValueError):
    pass


@dataclass(frozen=True)
class Member:
    """A property, parameter or result as the description sees it."""
    name: str
    type: str
    flags: int


@dataclass(frozen=True)
class Object:
    """A data object, fault or enumeration of the runtime or the schema."""
    name: str
    wsdl: str
    kind: str
    base: str | None
    members: tuple[Member, ...]
    values: tuple[str, ...]
    package: str


@dataclass
class Operation:
    name: str
    params: tuple[Member, ...]
    result: Member | None       # None: no result; a task's result is its task reference
    faults: list[str]           # wire names, first-seen order
    owners: list[str]           # the managed types that declare it


def newest_release(model: Model) -> Version:
    """The first record of stage released: the version the description and its SOAP action name."""
    for v in model.namespace.versions:
        if v.stage_name == "released":
            return v
    raise WsdlError("the namespace has no released version")


def occurs(flags: int) -> str:
    """The occurrence attributes of a member: an array may be empty (left out), an optional one unset."""
    if flags & FLAG_ARRAY:
        return ' minOccurs="0" maxOccurs="unbounded"'
    if flags & FLAG_OPTIONAL:
        return ' minOccurs="0"'
    return ""


def array_name(item_wsdl: str) -> str:
    return "ArrayOf" + capitalise(item_wsdl)


class ServiceDescription:
    def __init__(self, model: Model):
        self.model = model
        self.release = newest_release(model)
        self.namespace = "urn:" + self.release.wire_namespace
        self.soap_action = f"{self.namespace}/{self.release.version_id}"
        self.stem = model.namespace.name
        self.title = capitalise(self.stem)
        self.objects = self._objects()
        self.by_name = {o.name: o for o in self.objects}
        self.operations = self._operations()
        self._check_names()

    # --- model ----------------------------------------------------------------------------------
    def _objects(self) -> list[Object]:
        """The data objects, faults and enumerations: the runtime's (the dependency's, all in the runtime's
        namespace), then the schema's."""
        dep = self.model.dependency
        sources = [(t, dep.namespace.name) for t in dep.types.values()] if dep is not None else []
        sources += [(t, t.package) for t in self.model.types.values()]
        return [Object(t.name, t.wsdl, t.kind, t.base, tuple(Member(p.name, p.type, p.flags) for p in t.properties),
                       tuple(v.name for v in t.values), package)
                for t, package in sources if t.kind != MANAGED]

    def _operations(self) -> list[Operation]:
        ops: dict[str, Operation] = {}
        clashes = []
        for t in self.model.types.values():
            for m in t.methods:
                op = self._operation(t.name, m)
                seen = ops.get(op.name)
                if seen is None:
                    ops[op.name] = op
                elif self._signature(seen) != self._signature(op):
                    clashes.append(f"{op.name} ({', '.join(seen.owners)} and {t.name})")
                else:
                    seen.owners.append(t.name)
                    seen.faults.extend(f for f in op.faults if f not in seen.faults)
        if clashes:
            raise WsdlError("operations declared differently by several managed types: " + "; ".join(clashes))
        fetch = Operation(FETCH, (Member("prop", "string", 0),), Member("returnval", "anyType", FLAG_OPTIONAL),
                          [], [])
        if FETCH in ops:
            raise WsdlError(f"operation {FETCH} of {', '.join(ops[FETCH].owners)} is the property getter's")
        return list(ops.values()) + [fetch]

    @staticmethod
    def _operation(owner: str, m: Method) -> Operation:
        result = None
        if m.task or m.wsdl.endswith("_Task"):
            result = Member("returnval", "kobl.ManagedObject", 0)
        elif m.result is not None:
            result = Member("returnval", m.result.type, m.result.flags)
        return Operation(m.wsdl, tuple(Member(p.name, p.type, p.flags) for p in m.params), result,
                         list(m.faults), [owner])

    def _signature(self, op: Operation):
        members = op.params + ((op.result,) if op.result is not None else ())
        return tuple((m.name, self.type_ref(m.type, m.flags), occurs(m.flags)) for m in members)

    # --- names ----------------------------------------------------------------------------------
    def wsdl_name(self, name: str) -> str:
        """WSDL name of a data object, fault or enumeration."""
        return self.by_name[name].wsdl

    def type_ref(self, name: str, flags: int = 0) -> str:
        """The XML Schema type of a place of type `name` with `flags` (a link holds a key: a string)."""
        if flags & FLAG_LINK or name == "string":
            return "xsd:string"
        if name in PRIMITIVE_XSD:
            return "xsd:" + PRIMITIVE_XSD[name]
        if name in STRING_TYPES:
            return "tns:" + STRING_TYPES[name]
        kind = self.model.kind_of(name)
        if kind == MANAGED:
            return "tns:" + MOREF
        if name in self.by_name:
            return "tns:" + self.wsdl_name(name)
        raise WsdlError(f"type {name} has no description")

    @staticmethod
    def basic_array_items() -> list[tuple[str, str]]:
        """(item WSDL name, item type) of the boxed arrays of primitives and references."""
        items = [(x, "xsd:" + x) for x in PRIMITIVE_XSD.values()]
        items += [(x, "tns:" + x) for x in STRING_TYPES.values()]
        items.append((MOREF, "tns:" + MOREF))
        return items

    def array_items(self) -> list[tuple[str, str]]:
        """(item WSDL name, item type) of every boxed array, in output order."""
        return self.basic_array_items() + [(o.wsdl, "tns:" + o.wsdl) for o in self.objects]

    def faults(self) -> list[Object]:
        return [o for o in self.objects if o.kind == FAULT]

    def _check_names(self) -> None:
        """Every global name once per symbol space, and every name a valid XML name."""
        types = list(STRING_TYPES.values()) + [MOREF] + [o.wsdl for o in self.objects]
        types += [array_name(w) for w, _ in self.array_items()]
        elements = ["value"] + [f.wsdl + "Fault" for f in self.faults()]
        for op in self.operations:
            elements += [op.name, op.name + "Response"]
        messages = [f.wsdl + "FaultMsg" for f in self.faults()]
        for op in self.operations:
            messages += [op.name + "RequestMsg", op.name + "ResponseMsg"]
        problems = []
        for space, names in (("type", types), ("element", elements), ("message", messages)):
            seen: set[str] = set()
            for n in names:
                if n in seen:
                    problems.append(f"{space} {n} is declared twice")
                seen.add(n)
                if not _NCNAME.match(n):
                    problems.append(f"{space} {n!r} is not an XML name")
        if problems:
            raise WsdlError("name clashes in the service description: " + "; ".join(problems))

    # --- XML Schema -----------------------------------------------------------------------------
    def _member(self, p: Printer, m: Member) -> None:
        p.print('<xsd:element name="$n$" type="$t$"$o$/>', n=m.name, t=self.type_ref(m.type, m.flags),
                o=occurs(m.flags))

    def _sequence(self, p: Printer, members) -> None:
        if not members:
            p.print("<xsd:sequence/>")
            return
        p.print("<xsd:sequence>")
        with p.indent():
            for m in members:
                self._member(p, m)
        p.print("</xsd:sequence>")

    def _object(self, p: Printer, o: Object) -> None:
        if o.kind == ENUM:
            p.print('<xsd:simpleType name="$n$">', n=o.wsdl)
            with p.indent():
                p.print('<xsd:restriction base="xsd:string">')
                with p.indent():
                    for v in o.values:
                        p.print('<xsd:enumeration value="$v$"/>', v=escape(v, {'"': "&quot;"}))
                p.print("</xsd:restriction>")
            p.print("</xsd:simpleType>")
            return
        p.print('<xsd:complexType name="$n$">', n=o.wsdl)
        with p.indent():
            if o.base is None:
                self._sequence(p, o.members)
            else:
                p.print("<xsd:complexContent>")
                with p.indent():
                    p.print('<xsd:extension base="tns:$b$">', b=self.wsdl_name(o.base))
                    with p.indent():
                        self._sequence(p, o.members)
                    p.print("</xsd:extension>")
                p.print("</xsd:complexContent>")
        p.print("</xsd:complexType>")

    @staticmethod
    def _array(p: Printer, item: str, item_type: str) -> None:
        p.print("""
            <xsd:complexType name="$a$">
              <xsd:sequence>
                <xsd:element name="$i$" type="$t$" minOccurs="0" maxOccurs="unbounded"/>
              </xsd:sequence>
            </xsd:complexType>""", a=array_name(item), i=item, t=item_type)

    def _wrapper(self, p: Printer, name: str, members) -> None:
        p.print('<xsd:element name="$n$">', n=name)
        with p.indent():
            p.print("<xsd:complexType>")
            with p.indent():
                self._sequence(p, members)
            p.print("</xsd:complexType>")
        p.print("</xsd:element>")

    def xsd(self) -> str:
        p = Printer("  ")
        p.print("""
            <?xml version="1.0" encoding="UTF-8"?>
            <!-- Generated from schema/ by `python3 -m generator wsdl`; do not edit.
                 Every type of the $ns$ namespace as the wire codec writes it (docs/wire.md). -->
            <xsd:schema xmlns:xsd="$xsd$" xmlns:tns="$tns$" targetNamespace="$tns$"
                elementFormDefault="qualified">""", ns=self.stem, xsd=XSD_NS,
                tns=self.namespace)
        with p.indent():
            p.print("<!-- runtime types -->")
            for name in STRING_TYPES.values():
                p.print("""
                    <xsd:simpleType name="$n$">
                      <xsd:restriction base="xsd:string"/>
                    </xsd:simpleType>""", n=name)
            p.print("""
                <xsd:complexType name="$m$">
                  <xsd:simpleContent>
                    <xsd:extension base="xsd:string">
                      <xsd:attribute name="type" type="xsd:string" use="required"/>
                    </xsd:extension>
                  </xsd:simpleContent>
                </xsd:complexType>""", m=MOREF)
            for item, item_type in self.basic_array_items():
                self._array(p, item, item_type)
            package = None
            for o in self.objects:
                if o.package != package and o.package != "kobl":
                    p.blank()
                    p.print("<!-- $pkg$ -->", pkg=o.package)
                package = o.package
                self._object(p, o)
                self._array(p, o.wsdl, "tns:" + o.wsdl)
            p.blank()
            p.print("<!-- a value on its own; fault details -->")
            p.print('<xsd:element name="value" type="xsd:anyType"/>')
            for f in self.faults():
                p.print('<xsd:element name="$n$Fault" type="tns:$n$"/>', n=f.wsdl)
            p.blank()
            p.print("<!-- requests and responses -->")
            for op in self.operations:
                if len(op.owners) > 1:
                    p.print("<!-- $n$: declared by $o$ -->", n=op.name, o=", ".join(op.owners))
                self._wrapper(p, op.name, (Member("_this", "kobl.ManagedObject", 0),) + op.params)
                self._wrapper(p, op.name + "Response", (op.result,) if op.result is not None else ())
        p.print("</xsd:schema>")
        return p.text()

    # --- WSDL -----------------------------------------------------------------------------------
    def wsdl(self) -> str:
        p = Printer("  ")
        p.print("""
            <?xml version="1.0" encoding="UTF-8"?>
            <!-- Generated from schema/ by `python3 -m generator wsdl`; do not edit.
                 Every operation of the $ns$ namespace (SOAP 1.1, document/literal; SOAP action of $v$). -->
            <wsdl:definitions xmlns:wsdl="$wsdl$" xmlns:soap="$soap$"
                xmlns:xsd="$xsd$" xmlns:tns="$tns$" targetNamespace="$tns$" name="$title$">""",
                ns=self.stem, v=self.release.version_id, wsdl=WSDL_NS, soap=SOAP_NS, xsd=XSD_NS,
                tns=self.namespace, title=self.title)
        with p.indent():
            p.print("""
                <wsdl:types>
                  <xsd:schema>
                    <xsd:import namespace="$tns$" schemaLocation="$stem$.xsd"/>
                  </xsd:schema>
                </wsdl:types>""", tns=self.namespace, stem=self.stem)
            for f in self.faults():
                p.print("""
                    <wsdl:message name="$n$FaultMsg">
                      <wsdl:part name="fault" element="tns:$n$Fault"/>
                    </wsdl:message>""", n=f.wsdl)
            for op in self.operations:
                p.print("""
                    <wsdl:message name="$n$RequestMsg">
                      <wsdl:part name="parameters" element="tns:$n$"/>
                    </wsdl:message>
                    <wsdl:message name="$n$ResponseMsg">
                      <wsdl:part name="parameters" element="tns:$n$Response"/>
                    </wsdl:message>""", n=op.name)
            p.print('<wsdl:portType name="$t$PortType">', t=self.title)
            with p.indent():
                for op in self.operations:
                    p.print("""
                        <wsdl:operation name="$n$">
                          <wsdl:input message="tns:$n$RequestMsg"/>
                          <wsdl:output message="tns:$n$ResponseMsg"/>""", n=op.name)
                    with p.indent():
                        for f in op.faults:
                            p.print('<wsdl:fault name="$n$Fault" message="tns:$n$FaultMsg"/>',
                                    n=self.wsdl_name(f))
                    p.print("</wsdl:operation>")
            p.print("</wsdl:portType>")
            p.print('<wsdl:binding name="$t$Binding" type="tns:$t$PortType">', t=self.title)
            with p.indent():
                p.print('<soap:binding style="document" transport="$h$"/>', h=SOAP_HTTP)
                for op in self.operations:
                    p.print("""
                        <wsdl:operation name="$n$">
                          <soap:operation soapAction="$a$" style="document"/>
                          <wsdl:input><soap:body use="literal"/></wsdl:input>
                          <wsdl:output><soap:body use="literal"/></wsdl:output>""", n=op.name, a=self.soap_action)
                    with p.indent():
                        for f in op.faults:
                            p.print("""
                                <wsdl:fault name="$n$Fault">
                                  <soap:fault name="$n$Fault" use="literal"/>
                                </wsdl:fault>""", n=self.wsdl_name(f))
                    p.print("</wsdl:operation>")
            p.print("</wsdl:binding>")
            p.print("""
                <wsdl:service name="$t$Service">
                  <wsdl:port name="$t$Port" binding="tns:$t$Binding">
                    <soap:address location="$addr$"/>
                  </wsdl:port>
                </wsdl:service>""", t=self.title, addr=SERVICE_ADDRESS)
        p.print("</wsdl:definitions>")
        return p.text()


def generate_wsdl(model: Model) -> dict[str, str]:
    """The two files, by name: `<ns>.xsd` and `<ns>.wsdl`."""
    d = ServiceDescription(model)
    return {f"{d.stem}.xsd": d.xsd(), f"{d.stem}.wsdl": d.wsdl()}
