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
        return "\n".join(lines) + "\n" if lines else ""
