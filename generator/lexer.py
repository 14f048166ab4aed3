"""Tokens of the schema language.

Token kinds:
  name    identifier, or identifiers joined by dots without spaces ("vm.ConfigSpec")
  word    letters, digits and '_' starting with a digit, that is not a number ("3des");
          only enumeration values accept it
  number  decimal or 0x hexadecimal; `value` holds the integer
  string  double-quoted; `value` holds the text with \\" and \\\\ resolved
  punct   one of { } ( ) [ ] ; : , ? + - ->
  eof     end of the file
Keywords are plain names: the parser decides where a name is a keyword.
"""

from __future__ import annotations

import re

from .errors import Location, SchemaError

_TOKEN = re.compile(
    r"""
      (?P<space>(?:[ \t\r\f\v\n]+|//[^\n]*)+)
    | (?P<block_comment>/\*)
    | (?P<name>[A-Za-z_][A-Za-z0-9_]*(?:\.[A-Za-z_][A-Za-z0-9_]*)*)
    | (?P<digits>[0-9][A-Za-z0-9_]*)
    | (?P<string>")
    | (?P<punct>->|[{}()\[\];:,?+\-])
    """,
    re.VERBOSE,
)
_DECIMAL = re.compile(r"[0-9]+\Z")
_HEX = re.compile(r"0[xX][0-9A-Fa-f]+\Z")
# Longest number the lexer converts: no field holds more than 64 bits (0x and 16 hexadecimal digits,
# or 20 decimal digits).
_MAX_DIGITS = 20
_STRING_BODY = re.compile(r'[^"\\\n]*')


class Token:
    __slots__ = ("kind", "text", "value", "file", "line", "column")

    def __init__(self, kind: str, text: str, value, file: str, line: int, column: int):
        self.kind = kind
        self.text = text
        self.value = value
        self.file = file
        self.line = line
        self.column = column

    @property
    def location(self) -> Location:
        return Location(self.file, self.line, self.column)

    def describe(self) -> str:
        """The token as an error message names it."""
        if self.kind == "eof":
            return "end of file"
        if self.kind == "string":
            return f'string "{self.text}"'
        if self.kind == "number":
            return f"number {self.text}"
        return f"'{self.text}'"

    def __repr__(self) -> str:  # for debugging only
        return f"Token({self.kind}, {self.text!r}, {self.location})"


def tokenize(text: str, file: str) -> list[Token]:
    """Split `text` into tokens; raises SchemaError on the first bad character."""
    tokens: list[Token] = []
    append = tokens.append
    match = _TOKEN.match
    pos = 0
    line = 1
    line_start = 0
    end = len(text)
    while pos < end:
        m = match(text, pos)
        if m is None:
            loc = Location(file, line, pos - line_start + 1)
            ch = text[pos]
            if ch == ".":
                raise SchemaError(loc, "unexpected '.': a dotted name is written without spaces and "
                                       "each part starts with a letter or '_'")
            raise SchemaError(loc, f"unexpected character {ch!r}")
        kind = m.lastgroup
        start = pos
        pos = m.end()
        if kind == "space":
            newlines = text.count("\n", start, pos)
            if newlines:
                line += newlines
                line_start = text.rfind("\n", start, pos) + 1
            continue
        column = start - line_start + 1
        if kind == "block_comment":
            close = text.find("*/", pos)
            if close < 0:
                raise SchemaError(Location(file, line, column), "comment '/*' is never closed with '*/'")
            body = text[pos:close]
            newlines = body.count("\n")
            if newlines:
                line += newlines
                line_start = pos + body.rfind("\n") + 1
            pos = close + 2
            continue
        if kind == "name":
            append(Token("name", m.group(kind), None, file, line, column))
        elif kind == "digits":
            word = m.group(kind)
            if len(word) > _MAX_DIGITS and (_DECIMAL.match(word) or _HEX.match(word)):
                raise SchemaError(Location(file, line, column),
                                  f"number {word[:12]}… has {len(word)} digits; no field of the schema holds "
                                  f"a number of more than {_MAX_DIGITS}")
            if _DECIMAL.match(word):
                append(Token("number", word, int(word, 10), file, line, column))
            elif _HEX.match(word):
                append(Token("number", word, int(word, 16), file, line, column))
            else:
                append(Token("word", word, None, file, line, column))
        elif kind == "string":
            parts = []
            while True:
                body = _STRING_BODY.match(text, pos)
                parts.append(body.group())
                pos = body.end()
                if pos >= end or text[pos] == "\n":
                    raise SchemaError(Location(file, line, column), "string is not closed with '\"' on its line")
                ch = text[pos]
                if ch == '"':
                    pos += 1
                    break
                # backslash
                nxt = text[pos + 1] if pos + 1 < end else ""
                if nxt in ('"', "\\"):
                    parts.append(nxt)
                    pos += 2
                    continue
                raise SchemaError(Location(file, line, pos - line_start + 1),
                                  "unknown escape in string: only \\\" and \\\\ are allowed")
            value = "".join(parts)
            append(Token("string", value, value, file, line, column))
        else:
            append(Token("punct", m.group(kind), None, file, line, column))
    append(Token("eof", "", None, file, line, pos - line_start + 1))
    return tokens
