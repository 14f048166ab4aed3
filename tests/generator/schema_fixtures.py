"""Small schemas for the generator tests, built from texts in memory."""

from __future__ import annotations

import re
import unittest
from pathlib import Path

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


def write_schema(folder, files: dict[str, str], packages=PACKAGES) -> None:
    """Writes the schema `sources` makes of `files` into `folder`, as `python3 -m generator --schema` reads it."""
    ns, package_files = sources(files, packages=packages)
    for path, text in [ns, *package_files]:
        (Path(folder) / Path(path).name).write_text(text)


def locate(text: str, needle: str, nth: int = 1) -> tuple[int, int]:
    """Line and column (from 1) of the nth occurrence of `needle` in `text`."""
    index = -1
    for _ in range(nth):
        index = text.index(needle, index + 1)
    line = text.count("\n", 0, index) + 1
    column = index - (text.rfind("\n", 0, index) + 1) + 1
    return line, column


def announced(path: str, text: str) -> list[tuple[str, int, int, str]]:
    """(path, line, column, fragment) of every comment "// `needle` fragment" of a schema text: `needle` is
    looked for on the comment's line, or on the last line before it that holds more than a comment."""
    found, code_line, code = [], 0, ""
    for number, line in enumerate(text.splitlines(), 1):
        head, _, comment = line.partition("//")
        if head.strip():
            code_line, code = number, head
        mark = re.match(r"\s*`([^`]+)` (.+)", comment)
        if mark:
            if mark[1] not in code:
                raise ValueError(f"{path}:{code_line}: {mark[1]!r} is not on the line")
            found.append((path, code_line, code.index(mark[1]) + 1, mark[2]))
    return found


class SchemaTestCase(unittest.TestCase):
    def errors(self, files: dict[str, str], namespace: str | None = None, packages=PACKAGES):
        with self.assertRaises(SchemaErrors) as caught:
            build(files, namespace, packages)
        return caught.exception.errors

    def assertAnnounced(self, files: dict[str, str], namespace: str | None = None, packages=PACKAGES,
                        warnings: bool = False, schema=None):
        """The schema (`files`, or `schema` as given to build_model) is refused (or, with `warnings`, accepted
        with warnings) with just the errors its comments announce: each comment is met by one at its place
        holding its fragment, each error by a comment (several may describe one error). Returns the errors."""
        ns, package_files = schema or sources(files, namespace, packages)
        if warnings:
            found = build_model(ns, package_files)[1]
        else:
            with self.assertRaises(SchemaErrors) as caught:
                build_model(ns, package_files)
            found = caught.exception.errors
        expected = [mark for path, text in [ns, *package_files] for mark in announced(path, text)]
        self.assertTrue(expected, "the schema announces nothing")
        got = "\n".join(str(e) for e in found)
        meets = lambda e, mark: tuple(e.location) == mark[:3] and mark[3] in e.message
        for mark in expected:
            with self.subTest(at="{}:{}:{}".format(*mark[:3]), fragment=mark[3]):
                self.assertTrue(any(meets(e, mark) for e in found), f"not found; got:\n{got}")
        for e in found:
            with self.subTest(unannounced=str(e)):
                self.assertTrue(any(meets(e, mark) for mark in expected), f"announced:\n{expected}")
        return found
