"""Command line: `python3 -m generator check`, `json`, for the back end `emit` and `outputs`, and `wsdl`
(the service description)."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from .errors import SchemaErrors
from .jsonout import to_json
from .model import DATA, ENUM, FAULT, KINDS, MANAGED, Model
from .validator import load_schema

DEFAULT_SCHEMA = Path(__file__).resolve().parent.parent / "schema"


def _report(errors: SchemaErrors | None, warnings) -> None:
    for w in warnings:
        print(f"{w.location}: warning: {w.message}", file=sys.stderr)
    if errors is not None:
        for e in errors.errors:
            print(f"{e.location}: error: {e.message}", file=sys.stderr)
        print(f"{len(errors.errors)} error(s), {len(warnings)} warning(s)", file=sys.stderr)


def package_totals(model: Model) -> list[dict]:
    """Per package: types by kind, enumeration values, properties of data objects and faults,
    methods, managed-type properties, parameters, types with own properties."""
    rows = []
    for pkg in model.packages:
        row = {k: 0 for k in KINDS}
        row.update(values=0, properties=0, methods=0, managed_properties=0, params=0, with_properties=0)
        for name in pkg.types:
            t = model.types[name]
            row[t.kind] += 1
            row["values"] += len(t.values)
            if t.kind == MANAGED:
                row["managed_properties"] += len(t.properties)
                row["methods"] += len(t.methods)
                row["params"] += sum(len(m.params) for m in t.methods)
            else:
                row["properties"] += len(t.properties)
            if t.properties:
                row["with_properties"] += 1
        rows.append(row)
    return rows


def format_check(model: Model) -> str:
    rows = package_totals(model)
    width = max(len(p.name) for p in model.packages) if model.packages else 7
    head = (f"{'#':>3}  {'package':<{width}}  {'data':>9}  {'fault':>9}  {'enum':>9}  {'managed':>9}  "
            f"{'values':>6}  {'props':>6}  {'methods':>7}  {'mprops':>6}  {'params':>6}")
    lines = ["types: declared/expected by the registration table", head]
    totals = {k: 0 for k in rows[0]} if rows else {}
    expected_totals = {k: 0 for k in KINDS}

    def pair(have: int, want: int) -> str:
        return f"{have}/{want}"

    for pkg, row in zip(model.packages, rows):
        for k in row:
            totals[k] += row[k]
        for k in KINDS:
            expected_totals[k] += pkg.expected[k]
        lines.append(f"{pkg.order:>3}  {pkg.name:<{width}}  {pair(row[DATA], pkg.expected[DATA]):>9}  "
                     f"{pair(row[FAULT], pkg.expected[FAULT]):>9}  {pair(row[ENUM], pkg.expected[ENUM]):>9}  "
                     f"{pair(row[MANAGED], pkg.expected[MANAGED]):>9}  {row['values']:>6}  "
                     f"{row['properties']:>6}  {row['methods']:>7}  {row['managed_properties']:>6}  "
                     f"{row['params']:>6}")
    if rows:
        lines.append(f"{'':>3}  {'all':<{width}}  {pair(totals[DATA], expected_totals[DATA]):>9}  "
                     f"{pair(totals[FAULT], expected_totals[FAULT]):>9}  "
                     f"{pair(totals[ENUM], expected_totals[ENUM]):>9}  "
                     f"{pair(totals[MANAGED], expected_totals[MANAGED]):>9}  {totals['values']:>6}  "
                     f"{totals['properties']:>6}  {totals['methods']:>7}  {totals['managed_properties']:>6}  "
                     f"{totals['params']:>6}")
        types = sum(totals[k] for k in KINDS)
        inferred = sum(1 for t in model.types.values() if t.version_inferred)
        lines.append(f"types {types}/{sum(expected_totals.values())}, types with own properties "
                     f"{totals['with_properties']}, property records {totals['properties']} "
                     f"(+{totals['managed_properties']} of managed types), inferred versions {inferred}")
    ns = model.namespace
    lines.append(f"versions {len(ns.versions)}, parent pairs {len(ns.parents)}, dependencies "
                 f"{len(ns.dependencies)}, products {len(ns.products)}")
    return "\n".join(lines) + "\n"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m generator",
                                     description="Validate the Kobl schema and print it as counts or JSON.")
    parser.add_argument("--schema", default=str(DEFAULT_SCHEMA),
                        help="folder holding namespace.kobl and the package files (default: %(default)s)")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("check", help="validate the schema and print counts per package and kind")
    sub.add_parser("json", help="validate the schema and write the model as JSON to standard output")
    for name, text in (("emit", "write the generated C++ sources below --out (only files that changed)"),
                       ("outputs", "list the files `emit` writes, one path per line, below --out"),
                       ("tests", "write the conformance test sources generated from the schema below --out"),
                       ("test-outputs", "list the files `tests` writes, one path per line, below --out"),
                       ("recorders", "write Recorders.h, a recording implementation per managed type, into --out"),
                       ("wsdl", "write the service description (<namespace>.xsd and .wsdl) into --out")):
        cmd = sub.add_parser(name, help=text)
        cmd.add_argument("--out", required=True, help="output folder (the build tree's api/, or api/wsdl/)")
        if name == "recorders":
            cmd.add_argument("--type", action="append", help="only this managed type (wire name; repeatable)")
    args = parser.parse_args(argv)
    try:
        model, warnings = load_schema(args.schema)
    except SchemaErrors as errors:
        _report(errors, errors.warnings)
        return 1
    except OSError as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    _report(None, warnings)
    if args.command in ("tests", "test-outputs"):
        from .emit import write_files
        from .emit_tests import generate_tests, test_outputs
        try:
            if args.command == "test-outputs":
                out = Path(args.out)
                sys.stdout.write("".join(f"{(out / rel).as_posix()}\n" for rel in test_outputs(model)))
            else:
                files = generate_tests(model)
                written = write_files(files, args.out)
                print(f"{len(files)} generated test sources, {written} rewritten", file=sys.stderr)
        except ValueError as e:
            print(f"error: {e}", file=sys.stderr)
            return 1
        return 0
    if args.command == "recorders":
        from .emit import write_files
        from .emit_tests import generate_recorders
        try:
            written = write_files({"Recorders.h": generate_recorders(model, args.type)}, args.out)
        except ValueError as e:
            print(f"error: {e}", file=sys.stderr)
            return 1
        print(f"Recorders.h {'rewritten' if written else 'unchanged'}", file=sys.stderr)
        return 0
    if args.command == "wsdl":
        from .emit_wsdl import WsdlError, generate_wsdl
        try:
            files = generate_wsdl(model)
        except WsdlError as e:
            print(f"error: {e}", file=sys.stderr)
            return 1
        # Always rewritten (nothing compiles from them): the build's outputs stay newer than its inputs.
        out = Path(args.out)
        out.mkdir(parents=True, exist_ok=True)
        for name, text in sorted(files.items()):
            tmp = out / (name + ".tmp")
            tmp.write_bytes(text.encode("utf-8"))
            tmp.replace(out / name)
        print(f"{', '.join(sorted(files))} written to {out.as_posix()}", file=sys.stderr)
        return 0
    if args.command in ("emit", "outputs"):
        from .emit import EmitError, generate, output_list, write_files
        try:
            if args.command == "outputs":
                out = Path(args.out)
                sys.stdout.write("".join(f"{(out / rel).as_posix()}\n" for rel in output_list(model)))
            else:
                files = generate(model)
                written = write_files(files, args.out)
                print(f"{len(files)} generated files, {written} rewritten", file=sys.stderr)
        except (EmitError, ValueError) as e:
            print(f"error: {e}", file=sys.stderr)
            return 1
        return 0
    if args.command == "check":
        sys.stdout.write(format_check(model))
        if warnings:
            print(f"{len(warnings)} warning(s)", file=sys.stderr)
    else:
        sys.stdout.write(to_json(model))
    return 0


if __name__ == "__main__":
    sys.exit(main())
