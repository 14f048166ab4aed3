"""Writes the schema's per-package counts (data objects and faults, enumerations, managed types) as C++ initialisers,
for the registration test: python3 tests/types/schema_counts.py <output>."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2]))

from generator import load_schema  # noqa: E402


def main() -> None:
    model, _ = load_schema(Path(__file__).resolve().parents[2] / "schema")
    rows = []
    for pkg in model.packages:
        kinds = [model.types[n].kind for n in pkg.types]
        data = sum(k in ("data", "fault") for k in kinds)
        enums = sum(k == "enum" for k in kinds)
        managed = sum(k == "managed" for k in kinds)
        rows.append(f'{{"{pkg.name}", {data}, {enums}, {managed}}},\n')
    text = "".join(rows)
    out = Path(sys.argv[1])
    if not out.exists() or out.read_text() != text:
        out.write_text(text)


if __name__ == "__main__":
    main()
