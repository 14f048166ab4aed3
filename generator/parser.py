"""Recursive-descent parser of package files and of the namespace file.

Every syntax error is a SchemaError at the offending token that says what was expected
and what was found. Keywords are reserved only where the grammar expects them, so a
property may be called `data`, `since`, `class` or `namespace`.
"""

from __future__ import annotations

from .errors import Location, SchemaError
from .lexer import Token, tokenize
from .syntax import (
    Bits, EnumValueDecl, MethodDecl, NamespaceFile, PackageEntryDecl, PackageFile, ParamDecl,
    ParentDecl, ProductDecl, PropertyDecl, Ref, TypeDecl, TypeExpr, TypePrivilegeDecl, VersionDecl,
)

TYPE_KINDS = ("data", "fault", "enum", "managed")
STAGES = {"released": 0, "feature": 2, "unstable": 3, "disabled": 4}
EXPECT_KINDS = ("data", "fault", "enum", "managed")
# Declarations nest at most this deep (the schema uses three levels); deeper input is refused before the
# recursive descent can exhaust the interpreter's stack.
MAX_NESTING = 16
# Largest values of the numeric fields: the C++ records hold them as uint32_t (version flags, counts),
# int (a package's expected counts) and a static array of pointers (version slots).
UINT32_MAX = 2**32 - 1
INT32_MAX = 2**31 - 1
MAX_VERSION_SLOTS = 65535


class _Parser:
    def __init__(self, text: str, path: str):
        self.path = path
        self.tokens = tokenize(text, path)
        self.pos = 0
        self.depth = 0

    # -- token helpers -------------------------------------------------------------

    def peek(self, ahead: int = 0) -> Token:
        index = self.pos + ahead
        if index >= len(self.tokens):
            return self.tokens[-1]
        return self.tokens[index]

    def advance(self) -> Token:
        tok = self.tokens[self.pos]
        if tok.kind != "eof":
            self.pos += 1
        return tok

    def error(self, expected: str, tok: Token | None = None) -> SchemaError:
        tok = tok or self.peek()
        return SchemaError(tok.location, f"expected {expected}, found {tok.describe()}")

    def is_punct(self, p: str, ahead: int = 0) -> bool:
        tok = self.peek(ahead)
        return tok.kind == "punct" and tok.text == p

    def is_word(self, word: str, ahead: int = 0) -> bool:
        tok = self.peek(ahead)
        return tok.kind == "name" and tok.text == word

    def expect_punct(self, p: str, expected: str | None = None) -> Token:
        if not self.is_punct(p):
            raise self.error(expected or f"'{p}'")
        return self.advance()

    def expect_word(self, word: str, expected: str | None = None) -> Token:
        if not self.is_word(word):
            raise self.error(expected or f"'{word}'")
        return self.advance()

    def expect_name(self, expected: str, dotted: bool = True) -> Token:
        tok = self.peek()
        if tok.kind != "name":
            raise self.error(expected)
        if not dotted and "." in tok.text:
            raise SchemaError(tok.location, f"expected {expected} without dots, found {tok.describe()}")
        return self.advance()

    def expect_string(self, expected: str) -> Token:
        if self.peek().kind != "string":
            raise self.error(expected)
        return self.advance()

    def expect_number(self, expected: str, maximum: int = UINT32_MAX, minimum: int = 0) -> Token:
        tok = self.peek()
        if tok.kind != "number":
            raise self.error(expected)
        if not minimum <= tok.value <= maximum:
            raise SchemaError(tok.location, f"{expected} is {minimum} to {maximum}, found {tok.text}")
        return self.advance()

    def once(self, seen: dict[str, Location], key: str, tok: Token) -> None:
        """Refuse a modifier written twice on the same item."""
        if key in seen:
            raise SchemaError(tok.location, f"'{key}' is written twice here (first at {seen[key]})")
        seen[key] = tok.location

    def version_ref(self) -> Ref:
        tok = self.expect_name("a version name (such as version5, v7_0_2_0 or kobl.version.version0)")
        return Ref(tok.text, tok.location)

    # -- package files -------------------------------------------------------------

    def package_file(self) -> PackageFile:
        if not self.is_word("package"):
            raise self.error("'package <name>;' at the start of the file")
        self.advance()
        name = self.expect_name("the package name (such as quorl.vm)")
        self.expect_punct(";", "';' after the package name")
        result = PackageFile(self.path, name.text, name.location)
        while self.peek().kind != "eof":
            result.decls.append(self.type_decl())
        return result

    def type_decl(self) -> TypeDecl:
        kind = self.peek()
        if kind.kind != "name" or kind.text not in TYPE_KINDS:
            raise self.error("a declaration (data, fault, enum or managed)")
        self.advance()
        name = self.expect_name(f"the name of the {kind.text} type")
        decl = TypeDecl(kind.text, name.text, name.location)
        if self.is_punct(":"):
            self.advance()
            base = self.expect_name("the base type after ':'")
            decl.base = Ref(base.text, base.location)
        seen: dict[str, Location] = {}
        while True:
            tok = self.peek()
            if self.is_word("wsdl"):
                self.once(seen, "wsdl", self.advance())
                decl.wsdl = self.expect_string('the WSDL name as a string after \'wsdl\'').value
                decl.wsdl_location = tok.location
            elif self.is_word("since"):
                self.once(seen, "since", self.advance())
                decl.since = self.version_ref()
            elif self.is_word("inferred"):
                self.once(seen, "inferred", self.advance())
                decl.inferred = True
            elif self.is_word("response"):
                self.once(seen, "response", self.advance())
                code = self.expect_name("the response code after 'response' (such as NotFound)", dotted=False)
                decl.response = Ref(code.text, code.location)
            elif self.is_word("factory"):
                self.once(seen, "factory", self.advance())
                decl.factory = tok.location
            elif self.is_word("runtime"):
                self.once(seen, "runtime", self.advance())
                decl.runtime = tok.location
            elif self.is_word("noarray"):
                self.once(seen, "noarray", self.advance())
                decl.noarray = tok.location
            elif self.is_punct("{") or self.is_punct(";"):
                break
            else:
                raise self.error(f"'wsdl \"<name>\"', 'since <version>', 'inferred', 'response <code>', 'factory', "
                                 f"'runtime', 'noarray', '{{' or ';' in the declaration of {name.text}")
        if decl.since is None:
            raise SchemaError(self.peek().location,
                              f"expected 'since <version>' before {self.peek().describe()}: "
                              f"every type states its version ({name.text})")
        if self.is_punct(";"):
            self.advance()
            return decl
        self.advance()  # '{'
        if decl.kind == "enum":
            self.enum_body(decl)
        else:
            self.type_body(decl)
        return decl

    def nested_decl(self, outer: TypeDecl) -> TypeDecl:
        if self.depth >= MAX_NESTING:
            raise SchemaError(self.peek().location, f"declarations nest at most {MAX_NESTING} levels deep; "
                                                    f"declare this one outside {outer.name}")
        self.depth += 1
        try:
            return self.type_decl()
        finally:
            self.depth -= 1

    def type_body(self, decl: TypeDecl) -> None:
        while True:
            tok = self.peek()
            if self.is_punct("}"):
                self.advance()
                return
            if tok.kind == "name" and self.is_punct(":", 1):
                decl.properties.append(self.property_decl())
            elif tok.kind == "name" and tok.text in TYPE_KINDS:
                decl.nested.append(self.nested_decl(decl))
            elif self.is_word("method"):
                if decl.kind != "managed":
                    raise SchemaError(tok.location,
                                      f"methods belong to managed types; {decl.name} is a {decl.kind} type")
                decl.methods.append(self.method_decl())
            elif tok.kind == "eof":
                raise SchemaError(tok.location, f"expected '}}' to close {decl.name}, found end of file")
            else:
                what = "a property '<name>: <type>;'"
                if decl.kind == "managed":
                    what += ", a method"
                raise self.error(what + " or a nested declaration (data, fault, enum, managed) "
                                 f"in the body of {decl.name}")

    def enum_body(self, decl: TypeDecl) -> None:
        if self.is_punct("}"):
            self.advance()
            return
        while True:
            tok = self.peek()
            if tok.kind in ("name", "word", "number"):
                if "." in tok.text:
                    raise SchemaError(tok.location, f"an enumeration value has no dots; quote it if it "
                                                    f"must: found {tok.describe()}")
                decl.values.append(EnumValueDecl(tok.text, tok.location))
                self.advance()
            elif tok.kind == "string":
                decl.values.append(EnumValueDecl(tok.value, tok.location))
                self.advance()
            elif tok.kind == "eof":
                raise SchemaError(tok.location, f"expected '}}' to close {decl.name}, found end of file")
            else:
                raise self.error(f"an enumeration value of {decl.name} (a word or a string)")
            if self.is_punct(","):
                self.advance()
                if self.is_punct("}"):
                    self.advance()
                    return
                continue
            if self.is_punct("}"):
                self.advance()
                return
            raise self.error(f"',' between the values of {decl.name} or '}}' after the last one")

    def type_expr(self, what: str) -> TypeExpr:
        tok = self.expect_name(f"the type of {what}")
        expr = TypeExpr(Ref(tok.text, tok.location))
        if self.is_punct("["):
            self.advance()
            self.expect_punct("]", "']' after '[' (an array is written '<type>[]')")
            expr.array = True
        if self.is_punct("?"):
            self.advance()
            expr.optional = True
            if self.is_punct("["):
                raise SchemaError(self.peek().location, "write '[]' before '?': an optional array is '<type>[]?'")
        return expr

    def bits(self) -> Bits:
        plus = self.advance()
        num = self.expect_number("a flag value after '+' (such as +64 or +0x400)")
        return Bits(num.value, plus.location)

    def property_decl(self) -> PropertyDecl:
        name = self.expect_name("a property name", dotted=False)
        self.expect_punct(":")
        expr = self.type_expr(f"property {name.text}")
        prop = PropertyDecl(name.text, name.location, expr)
        seen = prop.modifier_locations
        while not self.is_punct(";"):
            tok = self.peek()
            if self.is_word("since"):
                self.once(seen, "since", self.advance())
                prop.since = self.version_ref()
            elif self.is_word("privilege"):
                self.once(seen, "privilege", self.advance())
                prop.privilege = self.expect_string("the privilege identifier as a string").value
            elif tok.kind == "name" and tok.text in ("secret", "link", "linkable", "dedup"):
                self.once(seen, tok.text, self.advance())
                setattr(prop, tok.text, True)
            elif self.is_punct("+"):
                prop.bits.append(self.bits())
            else:
                raise self.error(f"';' or a modifier of property {name.text} "
                                 "(since, privilege, secret, link, linkable, dedup, +<bits>)")
        self.advance()
        return prop

    def param_decl(self, method: str) -> ParamDecl:
        name = self.expect_name(f"a parameter name of method {method}", dotted=False)
        self.expect_punct(":", f"':' after parameter {name.text}")
        expr = self.type_expr(f"parameter {name.text}")
        param = ParamDecl(name.text, name.location, expr)
        seen = param.modifier_locations
        while not (self.is_punct(",") or self.is_punct(")")):
            if self.is_word("since"):
                self.once(seen, "since", self.advance())
                param.since = self.version_ref()
            elif self.is_word("privilege"):
                self.once(seen, "privilege", self.advance())
                param.privilege = self.expect_string("the privilege identifier as a string").value
            elif self.is_word("secret"):
                self.once(seen, "secret", self.advance())
                param.secret = True
            elif self.is_punct("+"):
                param.bits.append(self.bits())
            else:
                raise self.error(f"',' or ')' or a modifier of parameter {name.text} "
                                 "(secret, privilege, since)")
        return param

    def method_decl(self) -> MethodDecl:
        self.advance()  # 'method'
        name = self.expect_name("the method name", dotted=False)
        method = MethodDecl(name.text, name.location)
        self.expect_punct("(", f"'(' after method {name.text}")
        if not self.is_punct(")"):
            while True:
                method.params.append(self.param_decl(name.text))
                if self.is_punct(","):
                    self.advance()
                    continue
                break
        self.expect_punct(")", f"',' or ')' in the parameters of {name.text}")
        seen = method.modifier_locations
        if self.is_word("since") and self.is_punct("->", 2):
            # `method m(...) since V -> T`: a version written before the result is the method's.
            self.once(seen, "since", self.advance())
            method.since = self.version_ref()
        if self.is_punct("->"):
            arrow = self.advance()
            tok = self.peek()
            if tok.kind == "name" and tok.text in ("none", "void"):
                raise SchemaError(tok.location, f"a method without result has no '->' clause "
                                                f"(remove '-> {tok.text}')")
            expr = self.type_expr(f"the result of {name.text}")
            result = ParamDecl("result", arrow.location, expr)
            rseen = result.modifier_locations
            while True:
                if self.is_word("secret"):
                    self.once(rseen, "secret", self.advance())
                    result.secret = True
                elif self.is_word("since") and "since" not in rseen:
                    # The first 'since' after the result type is the result's; a second one is the method's.
                    self.once(rseen, "since", self.advance())
                    result.since = self.version_ref()
                elif self.is_punct("+"):
                    result.bits.append(self.bits())
                else:
                    break
            method.result = result
        while not self.is_punct(";"):
            tok = self.peek()
            if self.is_word("task"):
                self.once(seen, "task", self.advance())
                method.task = True
            elif self.is_word("wsdl"):
                self.once(seen, "wsdl", self.advance())
                method.wsdl = self.expect_string("the operation name as a string after 'wsdl'").value
            elif self.is_word("privilege"):
                self.once(seen, "privilege", self.advance())
                method.privilege = self.expect_string("the privilege identifier as a string").value
            elif self.is_word("since"):
                self.once(seen, "since", self.advance())
                method.since = self.version_ref()
            elif self.is_word("privileges"):
                self.once(seen, "privileges by type", self.advance())
                method.type_privileges = self.type_privileges()
            elif self.is_word("faults"):
                self.once(seen, "faults", self.advance())
                while True:
                    fault = self.expect_name("a fault name")
                    method.faults.append(Ref(fault.text, fault.location))
                    if not self.is_punct(","):
                        break
                    self.advance()
            elif self.is_word("feature"):
                self.once(seen, "feature", self.advance())
                method.feature = self.expect_string("the feature text as a string").value
            elif self.is_word("flags"):
                self.once(seen, "flags", self.advance())
                values = []
                for which in ("first", "second", "third"):
                    num = self.expect_number(f"the {which} of three flag bytes after 'flags'", 255)
                    values.append(num.value)
                method.flag_bytes = (values[0], values[1], values[2])
            elif tok.kind == "eof":
                raise SchemaError(tok.location, f"expected ';' to end method {name.text}, found end of file")
            else:
                raise self.error(f"';' or a modifier of method {name.text} (task, wsdl, privilege, since, "
                                 "privileges by type, faults, feature, flags)")
        self.advance()
        return method

    def type_privileges(self) -> list[TypePrivilegeDecl]:
        self.expect_word("by", "'by type' after 'privileges'")
        self.expect_word("type", "'type' after 'privileges by'")
        brace = self.expect_punct("{", "'{' to open the list of type privileges")
        pairs: list[TypePrivilegeDecl] = []
        while not self.is_punct("}"):
            tname = self.expect_string('a wire type name as a string ("quorl.Folder")')
            self.expect_punct(":", "':' between the type and its privilege")
            priv = self.expect_string("the privilege identifier as a string")
            pairs.append(TypePrivilegeDecl(tname.value, priv.value, tname.location))
            if self.is_punct(","):
                self.advance()
            elif not self.is_punct("}"):
                raise self.error("',' or '}' in the list of type privileges")
        self.advance()
        if not pairs:
            raise SchemaError(brace.location, "'privileges by type' needs at least one pair")
        return pairs

    # -- the namespace file --------------------------------------------------------

    def namespace_file(self) -> NamespaceFile:
        if not self.is_word("namespace"):
            raise self.error("'namespace <name>;' at the start of the namespace file")
        self.advance()
        name = self.expect_name("the namespace name", dotted=False)
        self.expect_punct(";", "';' after the namespace name")
        ns = NamespaceFile(self.path, name.text, name.location)
        seen: dict[str, Location] = {}
        while self.peek().kind != "eof":
            tok = self.peek()
            if tok.kind != "name":
                raise self.error("a statement of the namespace file (dependencies, product, version-slots, "
                                 "counts, defaults, version, parent, package)")
            word = tok.text
            if word == "version" and self.is_punct("-", 1):
                self.version_slots(ns, seen)
            elif word == "version":
                self.advance()
                ns.versions.append(self.version_decl())
            elif word == "parent":
                self.advance()
                child = self.version_ref()
                self.expect_punct("->", "'->' between a version and its parent")
                parent = self.version_ref()
                ns.parents.append(ParentDecl(child, parent))
            elif word == "package":
                self.advance()
                ns.packages.append(self.package_entry())
            elif word == "dependencies":
                self.once(seen, "dependencies", self.advance())
                ns.dependencies = self.string_list("a dependency namespace as a string")
            elif word == "product":
                self.advance()
                pname = self.expect_string("the product name as a string")
                self.expect_word("releases", "'releases' after the product name")
                ns.products.append(ProductDecl(pname.value, self.string_list("a release as a string"),
                                               pname.location))
            elif word == "counts":
                self.once(seen, "counts", self.advance())
                ns.counts_location = tok.location
                values = [self.expect_number("a count").value]
                while self.is_punct(","):
                    self.advance()
                    values.append(self.expect_number("a count").value)
                ns.counts = values
            elif word == "defaults":
                self.once(seen, "defaults", self.advance())
                self.defaults(ns)
            elif word == "namespace":
                raise SchemaError(tok.location, "the namespace is named once, at the start of the file")
            else:
                raise self.error("a statement of the namespace file (dependencies, product, version-slots, "
                                 "counts, defaults, version, parent, package)")
            self.expect_punct(";", f"';' to end the '{word}' statement")
        return ns

    def version_slots(self, ns: NamespaceFile, seen: dict[str, Location]) -> None:
        first = self.advance()
        dash = self.advance()
        slots = self.expect_word("slots", "'version-slots'")
        if dash.location.column != first.location.column + len("version") or \
                slots.location.column != dash.location.column + 1 or \
                first.location.line != slots.location.line:
            raise SchemaError(first.location, "'version-slots' is written without spaces")
        self.once(seen, "version-slots", first)
        ns.version_slots = self.expect_number("the number of version slots", MAX_VERSION_SLOTS, 1).value

    def string_list(self, expected: str) -> list[str]:
        values = [self.expect_string(expected).value]
        while self.is_punct(","):
            self.advance()
            values.append(self.expect_string(expected).value)
        return values

    def defaults(self, ns: NamespaceFile) -> None:
        seen: dict[str, Location] = {}
        while not self.is_punct(";"):
            if self.is_word("wire"):
                self.once(seen, "wire", self.advance())
                ns.default_wire = self.expect_string("the wire namespace as a string").value
            elif self.is_word("task"):
                self.once(seen, "task", self.advance())
                ns.default_task_type = self.expect_string("the task type name as a string").value
                self.expect_word("in", "'in \"<namespace>\"' after the task type")
                ns.default_task_namespace = self.expect_string("the task type namespace as a string").value
            elif self.is_word("flags"):
                self.once(seen, "flags", self.advance())
                ns.default_flags = self.expect_number("the default version flags").value
            else:
                raise self.error("';' or a default (wire \"…\", task \"…\" in \"…\", flags N)")

    def version_decl(self) -> VersionDecl:
        name = self.expect_name("the version name (its suffix, such as version5)", dotted=False)
        ver = VersionDecl(name.text, name.location)
        seen: dict[str, Location] = {}
        while not self.is_punct(";"):
            if self.is_word("wire"):
                self.once(seen, "wire", self.advance())
                ver.wire = self.expect_string("the wire namespace as a string").value
            elif self.is_word("id"):
                self.once(seen, "id", self.advance())
                ver.id = self.expect_string("the version identifier as a string").value
            elif self.is_word("release"):
                self.once(seen, "release", self.advance())
                ver.release = self.expect_string("the release identifier as a string").value
            elif self.is_word("stage"):
                self.once(seen, "stage", self.advance())
                tok = self.peek()
                if tok.kind == "name" and tok.text in STAGES:
                    ver.stage = STAGES[tok.text]
                elif tok.kind == "number":
                    ver.stage = tok.value
                else:
                    raise self.error("a stage (released, feature, unstable, disabled or a number)")
                self.advance()
            elif self.is_word("flags"):
                self.once(seen, "flags", self.advance())
                ver.flags = self.expect_number("the version flags").value
            elif self.is_word("task"):
                self.once(seen, "task", self.advance())
                ver.task_type = self.expect_string("the task type name as a string").value
                self.expect_word("in", "'in \"<namespace>\"' after the task type")
                ver.task_namespace = self.expect_string("the task type namespace as a string").value
            else:
                raise self.error(f"';' or a field of version {name.text} (wire, id, release, stage, flags, task)")
        if ver.id is None:
            raise SchemaError(name.location, f"version {name.text} needs 'id \"…\"'")
        if ver.stage is None:
            raise SchemaError(name.location, f"version {name.text} needs 'stage …'")
        return ver

    def package_entry(self) -> PackageEntryDecl:
        name = self.expect_name("the package name")
        entry = PackageEntryDecl(name.text, name.location)
        if self.is_word("expect"):
            self.advance()
            seen: dict[str, Location] = {}
            while not self.is_punct(";"):
                tok = self.peek()
                if tok.kind == "name" and tok.text in EXPECT_KINDS:
                    self.once(seen, tok.text, self.advance())
                    entry.expect[tok.text] = self.expect_number(f"the expected number of {tok.text} types",
                                                                INT32_MAX).value
                else:
                    raise self.error("';' or an expected count (data N, fault N, enum N, managed N)")
        return entry


def parse_package(text: str, path: str) -> PackageFile:
    """Parse one package file."""
    return _Parser(text, path).package_file()


def parse_namespace(text: str, path: str) -> NamespaceFile:
    """Parse the namespace file."""
    return _Parser(text, path).namespace_file()
