"""Small schemas for the generator tests, built from texts in memory."""

from __future__ import annotations

import unittest

from generator import SchemaErrors, build_model

VERSIONS = """\
version disabled id "" stage disabled;
version unstable id "u5FBD8F21" release "u5FBD8F21" stage unstable;
version bmcInfo id "f3870E1A3" stage feature;
version version12 id "6.7" stage released;
version version6 id "4.1" stage released;
version version5 id "4.0" stage released;
version version2 id "2.5" stage released;
version version1 wire "quorl2" id "2.0" stage released;

parent version2 -> version1;
parent version1 -> kobl.query.version.version1;
parent version5 -> version2;
parent version5 -> kobl.query.version.version2;
parent version6 -> version5;
parent version12 -> version6;
parent bmcInfo -> version12;
parent unstable -> version12;
parent unstable -> bmcInfo;
parent disabled -> unstable;
"""

HEADER = """\
namespace quorl;
dependencies "kobl.reflect", "kobl.query";
product "Sylvar" releases "9.0.0.0", "8.0.3.1";
version-slots 35;
counts 1, 30, 32;
defaults wire "quorl25" task "quorl.Task" in "quorl25" flags 4;
"""

PACKAGES = ("quorl", "quorl.fault", "quorl.vm", "quorl.host")

FAULTS = """\
fault QuorlFault : kobl.MethodFault since version1;
fault InvalidState : QuorlFault since version1;
fault Timedout : QuorlFault since version1;
fault DuplicateName : QuorlFault since version1 { name: string; }
"""


def namespace_text(packages=PACKAGES, expect: str = "data 50 fault 50 enum 50 managed 50") -> str:
    lines = [HEADER, VERSIONS]
    lines += [f"package {p} expect {expect};" for p in packages]
    return "\n".join(lines) + "\n"


def sources(files: dict[str, str], namespace: str | None = None, packages=PACKAGES):
    """(namespace, [(path, text)]) for build_model: `files` maps a package to the text after its
    `package` line; listed packages without text get an empty file, quorl.fault gets FAULTS."""
    texts = {p: "" for p in packages}
    if "quorl.fault" in texts:
        texts["quorl.fault"] = FAULTS
    texts.update(files)
    package_files = [(f"schema/{p}.kobl", f"package {p};\n{body}") for p, body in texts.items()]
    return (("schema/namespace.kobl", namespace if namespace is not None else namespace_text(packages)),
            package_files)


def build(files: dict[str, str], namespace: str | None = None, packages=PACKAGES):
    ns, pkgs = sources(files, namespace, packages)
    return build_model(ns, pkgs)


def locate(text: str, needle: str, nth: int = 1) -> tuple[int, int]:
    """Line and column (from 1) of the nth occurrence of `needle` in `text`."""
    index = -1
    for _ in range(nth):
        index = text.index(needle, index + 1)
    line = text.count("\n", 0, index) + 1
    column = index - (text.rfind("\n", 0, index) + 1) + 1
    return line, column


class SchemaTestCase(unittest.TestCase):
    def errors(self, files: dict[str, str], namespace: str | None = None, packages=PACKAGES):
        with self.assertRaises(SchemaErrors) as caught:
            build(files, namespace, packages)
        return caught.exception.errors

    def assertRefused(self, files: dict[str, str], package: str, needle: str, fragment: str, nth: int = 1,
                      namespace: str | None = None, packages=PACKAGES):
        """The schema is refused with an error at `needle` in `package`'s file whose message holds
        `fragment`. `package` "namespace" means the namespace file."""
        errors = self.errors(files, namespace, packages)
        if package == "namespace":
            path = "schema/namespace.kobl"
            text = namespace if namespace is not None else namespace_text(packages)
        else:
            path = f"schema/{package}.kobl"
            text = f"package {package};\n{files[package]}"
        line, column = locate(text, needle, nth)
        for e in errors:
            loc = e.location
            if (loc.file, loc.line, loc.column) == (path, line, column) and fragment in e.message:
                return e
        self.fail(f"no error at {path}:{line}:{column} containing {fragment!r}; got:\n" +
                  "\n".join(str(e) for e in errors))
