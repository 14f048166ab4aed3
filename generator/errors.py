"""Source locations and the errors of the schema front end."""

from __future__ import annotations

from typing import NamedTuple


class Location(NamedTuple):
    """A position in a schema file; line and column count from 1."""

    file: str
    line: int
    column: int

    def __str__(self) -> str:
        return f"{self.file}:{self.line}:{self.column}"


class SchemaError(Exception):
    """One problem in the schema, tied to the place where it was found."""

    def __init__(self, location: Location, message: str):
        super().__init__(f"{location}: {message}")
        self.location = location
        self.message = message


class SchemaErrors(Exception):
    """Every problem found in one run; raised when the schema cannot be used."""

    def __init__(self, errors: list[SchemaError], warnings: list[SchemaError] | None = None):
        self.errors = list(errors)
        self.warnings = list(warnings or [])
        count = len(self.errors)
        head = str(self.errors[0]) if self.errors else "no errors"
        more = f" (and {count - 1} more)" if count > 1 else ""
        super().__init__(head + more)

    def messages(self) -> list[str]:
        return [str(e) for e in self.errors]
