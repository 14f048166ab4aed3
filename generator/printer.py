"""A strict text printer for generated code.

Templates name their holes `$name$` (`$$` is a literal dollar sign). Every hole must be given a value and
every value given must fill a hole: a misspelt or forgotten variable is an error, never silent output.
Values are single lines; indentation belongs to the printer (`indent()`), not to the values.
"""

from __future__ import annotations

import re
import textwrap
from contextlib import contextmanager

_HOLE = re.compile(r"\$([A-Za-z_][A-Za-z0-9_]*)?\$")
# A raw string literal (left as it is); string and character literals, and the start of a trailing
# comment: no line is broken inside them.
_RAW = re.compile(r'(^|[^A-Za-z0-9_])(u8|u|U|L)?R"[^ ()\\]*\(')
_QUOTED = re.compile(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'|//')

# Lines of generated code stay within the width of the project's format (.clang-format ColumnLimit).
WIDTH = 110


class TemplateError(ValueError):
    pass


def substitute(template: str, variables: dict[str, object]) -> str:
    used: set[str] = set()

    def fill(match: re.Match) -> str:
        name = match.group(1)
        if name is None:
            return "$"
        if name not in variables:
            raise TemplateError(f"template hole ${name}$ has no value")
        value = str(variables[name])
        if "\n" in value:
            raise TemplateError(f"value of ${name}$ spans several lines")
        used.add(name)
        return value

    text = _HOLE.sub(fill, template)
    unused = sorted(set(variables) - used)
    if unused:
        raise TemplateError("unused template variable(s): " + ", ".join(unused))
    return text


class Printer:
    def __init__(self, indent_unit: str = "   "):
        self._unit = indent_unit
        self._level = 0
        self._lines: list[str] = []

    def print(self, template: str = "", **variables: object) -> None:
        """Print a template (dedented; one leading line break dropped) at the current indentation."""
        if template.startswith("\n"):
            template = template[1:]
        text = substitute(textwrap.dedent(template), variables)
        if text.endswith("\n"):
            text = text[:-1]
        prefix = self._unit * self._level
        for line in text.split("\n"):
            self._lines.append(prefix + line if line.strip() else "")

    def blank(self) -> None:
        if self._lines and self._lines[-1] != "":
            self._lines.append("")

    @contextmanager
    def indent(self, levels: int = 1):
        self._level += levels
        try:
            yield self
        finally:
            self._level -= levels

    def text(self) -> str:
        lines = list(self._lines)
        while lines and lines[-1] == "":
            lines.pop()
        out: list[str] = []
        for line in lines:
            out.extend(wrap(line) if len(line) > WIDTH else (line,))
        return "\n".join(out) + "\n" if out else ""


def _breaks(code: str) -> tuple[list[int], list[int], int]:
    """Where a code line may break: after a comma (the space that follows it dropped), or at a space;
    never inside a literal, never after the start of a trailing comment. Also the end of the code part."""
    quoted: list[tuple[int, int]] = []
    end = len(code)
    for m in _QUOTED.finditer(code):
        if m.group() == "//":
            end = m.start()
            break
        quoted.append(m.span())
    commas, spaces = [], []
    q = 0
    for i in range(end):
        while q < len(quoted) and quoted[q][1] <= i:
            q += 1
        if q < len(quoted) and quoted[q][0] <= i:
            continue
        if code[i] == " " and i > 0:
            (commas if code[i - 1] == "," else spaces).append(i)
    return commas, spaces, end


def wrap(line: str, width: int = WIDTH) -> list[str]:
    """Breaks one long line of generated C++ into lines of at most `width` where it can: comment lines at
    spaces (each piece a comment of the same indentation), code after commas, else at spaces, continuation
    lines indented four more than the first. Preprocessor lines, raw strings and a piece with no place to
    break inside stay long."""
    body = line.lstrip(" ")
    indent = line[: len(line) - len(body)]
    if body.startswith("#") or _RAW.search(body):
        return [line]
    if body.startswith("//"):
        lead = indent + "// "
        words = body[2:].strip().split(" ")
        out, cur = [], lead + words[0]
        for w in words[1:]:
            if len(cur) + 1 + len(w) > width and cur != lead:
                out.append(cur)
                cur = lead + w
            else:
                cur += " " + w
        return out + [cur]
    commas, spaces, _ = _breaks(line)
    cont = indent + "    "
    out, start, offset = [], 0, 0  # offset: the current output line's column of line[start]
    while len(line) - start + offset > width:
        limit = start + width - offset
        fit = [b for b in commas if start < b <= limit] or [b for b in spaces if start < b <= limit]
        if fit:
            b = fit[-1]
        else:  # a piece longer than the width: break at the first place after it
            later = [b for b in commas if b > start] or [b for b in spaces if b > start]
            if not later:
                break
            b = later[0]
        piece = line[start:b].rstrip()
        out.append(cont + piece if out else piece)
        start, offset = b + 1, len(cont)
    rest = line[start:]
    out.append(cont + rest if out else rest)
    return out
