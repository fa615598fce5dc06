#!/usr/bin/env python3
"""Reads the product's #include "folder/..." lines and fails when a folder
includes one that is not below it, or when the folders include each other
in a cycle. Also fails on any call of an ANSI ("...A") Windows function in
the product: text crosses into Windows as UTF-16 only. The floors and what each may include are listed in README.md
(Layout); keep the two in step."""
import os
import re
import sys

# Each folder and the folders it may include, from the ground up.
FLOORS = {
    "resources": set(),
    "system": {"resources"},
    "documents": {"system", "resources"},
    "service": {"documents", "system", "resources"},
    "engine": {"documents", "system", "resources"},
    "flow": {"engine", "service", "documents", "system", "resources"},
    "wizard": {"flow", "engine", "service", "documents", "system", "resources"},
    "uninstall": {"wizard", "flow", "engine", "service", "documents", "system", "resources"},
    "app": {"uninstall", "wizard", "flow", "engine", "service", "documents", "system", "resources"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/')
# A Windows function's ANSI form: a mixed-case name ending in a lower-case
# letter or digit and then "A", called (MessageBoxA(, SHGetPathFromIDListA().
ANSI_CALL = re.compile(r'\b([A-Z][A-Za-z0-9]*[a-z0-9]A)\s*\(')


def ansi_calls(root):
    """'file:line: name' for each ANSI Windows call in the product's folders."""
    found = []
    for folder in FLOORS:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".c")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        code = line.split("//", 1)[0]
                        for match in ANSI_CALL.finditer(code):
                            found.append("%s:%d: %s" % (os.path.relpath(path, root), number, match.group(1)))
    return found


def folder_includes(root):
    """{folder: {included folder: first 'file:line' that includes it}}"""
    graph = {}
    for folder in FLOORS:
        edges = graph.setdefault(folder, {})
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".c", ".rc")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) != folder:
                            where = "%s:%d" % (os.path.relpath(path, root), number)
                            edges.setdefault(match.group(1), where)
    return graph


def find_cycle(graph):
    """A list of folders that include each other in a circle, or None."""
    done = set()

    def visit(node, path):
        if node in path:
            return path[path.index(node):] + [node]
        if node in done:
            return None
        for target in sorted(graph.get(node, {})):
            cycle = visit(target, path + [node])
            if cycle:
                return cycle
        done.add(node)
        return None

    for node in sorted(graph):
        cycle = visit(node, [])
        if cycle:
            return cycle
    return None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    graph = folder_includes(root)
    problems = []
    for folder, edges in sorted(graph.items()):
        for target, where in sorted(edges.items()):
            if target not in FLOORS:
                problems.append("%s includes unknown folder %s (%s)" % (folder, target, where))
            elif target not in FLOORS[folder]:
                problems.append("%s may not include %s (%s)" % (folder, target, where))
    problems += ["ANSI Windows call " + where for where in ansi_calls(root)]
    cycle = find_cycle(graph)
    if cycle:
        problems.append("folders include each other: " + " -> ".join(cycle))
    for folder, edges in sorted(graph.items()):
        print("%-10s -> %s" % (folder, ", ".join(sorted(edges)) or "(nothing)"))
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
