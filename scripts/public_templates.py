#!/usr/bin/env python3
"""Lists the templates the installed hand-written headers declare, one name a line ("Ormid/Array.h Array"),
or with --check FILE fails naming every template that FILE does not mention.

check-install.sh compiles FILE, a consumer that instantiates each template once, against the installed
package and links it: a template whose body calls a helper the libraries do not export fails there. The
check here keeps FILE complete as headers gain templates. Explicit specialisations (`template <>`) are
ordinary declarations and are not listed."""
import re
import sys
from pathlib import Path

IDENT = re.compile(r"[A-Za-z_]\w*")


def skip_balanced(text, i, open_ch, close_ch):
    depth = 0
    while i < len(text):
        if text[i] == open_ch:
            depth += 1
        elif text[i] == close_ch:
            depth -= 1
            if depth == 0:
                return i + 1
        i += 1
    return i


def declared_name(text, i):
    """The name declared by the declaration that starts at text[i] (after its template parameter list)."""
    rest = text[i:].lstrip()
    if rest.startswith("requires"):
        j = len(text) - len(rest) + len("requires")
        while text[j] == " ":
            j += 1
        if text[j] == "(":
            j = skip_balanced(text, j, "(", ")")
        else:
            j = text.index("\n", j)
        return declared_name(text, j)
    head = re.split(r"[({;=]", rest, maxsplit=1)[0]
    if "operator" in head:
        return "operator" + head.split("operator", 1)[1].strip()
    m = re.match(r"(?:class|struct|concept)\s+(?:\w+_API\s+)?(\w+)", head)
    if m:
        return m.group(1)
    m = re.match(r"using\s+(\w+)", head)
    if m:
        return m.group(1)
    words = IDENT.findall(head)
    return words[-1] if words else None


def templates(root):
    for header in sorted(Path(root).rglob("*.h")):
        text = re.sub(r"//[^\n]*", "", header.read_text())
        for m in re.finditer(r"\btemplate\s*<", text):
            end = skip_balanced(text, m.end() - 1, "<", ">")
            if text[m.end():end - 1].strip() == "":
                continue  # an explicit specialisation
            name = declared_name(text, end)
            if name:
                yield header.relative_to(root), name


def main(argv):
    args = argv[1:]
    consumer = None
    if "--check" in args:
        i = args.index("--check")
        consumer = Path(args[i + 1]).read_text()
        args = args[:i] + args[i + 2:]
    found = sorted({(str(h), n) for root in args for h, n in templates(root)})
    if consumer is None:
        for h, n in found:
            print(h, n)
        return 0
    missing = [(h, n) for h, n in found
               if not re.search(re.escape(n) + (r"\b" if n[-1].isalnum() else ""), consumer)]
    for h, n in missing:
        print(f"public_templates: not instantiated by the consumer: {h} {n}", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
