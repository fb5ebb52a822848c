#!/usr/bin/env python3
"""Checks that every #include "folder/..." in src/ follows the layer graph.

The layers and what each may include (besides itself) are below; docs/architecture.md
draws the same graph. A layer that is not listed, or an include of a layer above, fails
the check with the file and line. Header cycles between two files are reported too: they
make a layer impossible to split later and hide which file owns a concept.

Usage: tools/check_layers.py [SRC_FOLDER]   (default: src beside this script's folder)
Exit status 0 when the graph holds, 1 with one line per offending include otherwise.
"""
import os
import re
import sys

CORE = ["base", "model", "scoring", "surface", "transmembrane", "chart", "document"]

# Layer -> the layers it may include. Qt is allowed only in views, app, chart/qt and the
# PNG module of the command line; that rule is checked apart (QT_ALLOWED).
ALLOWED = {
    "base": set(),
    "model": {"base"},
    "scoring": {"model", "base"},
    "surface": {"model", "base"},
    "transmembrane": {"model", "base"},
    "chart": {"scoring", "model", "base"},
    "document": {"chart", "transmembrane", "surface", "scoring", "model", "base"},
    "views": {"document", "chart", "transmembrane", "surface", "scoring", "model", "base"},
    "app": {"views", "document", "chart", "transmembrane", "surface", "scoring", "model", "base"},
    "cli": set(CORE),
    "python": set(CORE),
}

# Files that may include Qt headers: the desktop layers and the chart's Qt surface with the
# command line's PNG module built on it.
QT_ALLOWED = ("views/", "app/", "chart/qt/", "cli/png_module.cpp")

INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^">]+)[">]')


def layer_of(relative):
    return relative.split("/", 1)[0]


def check(src):
    problems = []
    graph = {}
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            layer = layer_of(relative)
            if layer not in ALLOWED:
                problems.append(f"{relative}: folder '{layer}' is not a known layer")
                continue
            with open(path, encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    bracket, target = match.groups()
                    if bracket == "<":
                        if target.startswith("Q") and not relative.startswith(QT_ALLOWED):
                            problems.append(f"{relative}:{number}: includes Qt <{target}> outside the desktop layers")
                        continue
                    if "/" not in target:
                        continue
                    graph.setdefault(relative, set()).add(target)
                    used = layer_of(target)
                    if used == layer:
                        continue
                    if used not in ALLOWED[layer]:
                        problems.append(f"{relative}:{number}: {layer} includes {target} ({used} is not below {layer})")
    # A file pair that includes each other's headers (x.cpp -> y.h and y.cpp -> x.h counts).
    def stem(path):
        return path.rsplit(".", 1)[0]
    uses = {}
    for source, targets in graph.items():
        uses.setdefault(stem(source), set()).update(stem(t) for t in targets)
    for a in sorted(uses):
        for b in sorted(uses[a]):
            if a < b and a in uses.get(b, set()):
                problems.append(f"{a} and {b} include each other's headers")
    return problems


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    problems = check(src)
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layer graph (see docs/architecture.md)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
