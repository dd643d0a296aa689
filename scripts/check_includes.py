#!/usr/bin/env python3
"""Checks the include graph of the sources under src/.

A component is a header and its source file: the same path without the
extension. The check fails (exit 1) and lists what it found when
  - two or more components include each other, directly or through others;
  - a component of a lower core layer includes one of a higher layer;
  - src/core includes anything outside src/core, src/render anything outside
    src/core and src/render, src/gui anything outside src/core, src/render and
    src/gui.

Usage: check_includes.py [SRC_DIR]   (default: the src/ folder beside scripts/)
"""

import os
import re
import sys

# Core layers, lowest first; folders on one line share a level.
CORE_LAYERS = [
    ["base"],
    ["platform", "settings"],
    ["document"],
    ["indicators"],
    ["hydraulics"],
    ["network"],
    ["entry"],
    ["output"],
    ["reference"],
    ["session"],
]
CORE_LEVEL = {folder: level for level, folders in enumerate(CORE_LAYERS) for folder in folders}

# Which top folders of src/ a top folder may include from.
MAY_INCLUDE = {
    "core": {"core"},
    "render": {"core", "render"},
    "gui": {"core", "render", "gui"},
}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def source_files(src):
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(root, name)


def resolve(src, including_file, name):
    """The file under src an include names, or None for a header from elsewhere."""
    for base in (os.path.dirname(including_file), os.path.join(src, "core"), src):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate) and candidate.startswith(src + os.sep):
            return candidate
    return None


def component(src, path):
    return os.path.splitext(os.path.relpath(path, src))[0].replace(os.sep, "/")


def strongly_connected(graph):
    """Tarjan's algorithm, iterative; returns the components with two or more nodes."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                members = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    members.append(member)
                    if member == node:
                        break
                if len(members) > 1:
                    found.append(sorted(members))
    return found


def check(src):
    src = os.path.normpath(os.path.abspath(src))
    graph = {}
    edges = {}  # (from component, to component) -> the include lines that make the edge
    problems = []

    for path in source_files(src):
        comp = component(src, path)
        graph.setdefault(comp, set())
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(src, path, match.group(1))
                if target is None:
                    continue
                where = f"{os.path.relpath(path, src)}:{number}: #include {match.group(1)}"
                other = component(src, target)
                if other != comp:
                    graph[comp].add(other)
                    edges.setdefault((comp, other), []).append(where)

                top, other_top = comp.split("/")[0], other.split("/")[0]
                allowed = MAY_INCLUDE.get(top)
                if allowed is not None and other_top not in allowed:
                    problems.append(f"{where}: src/{top} may not include src/{other_top}")
                    continue
                if top == "core" and other_top == "core":
                    folder, other_folder = comp.split("/")[1], other.split("/")[1]
                    if "/" not in comp[len("core/"):]:
                        continue  # a file directly under src/core is reported below
                    if folder not in CORE_LEVEL:
                        continue
                    if other_folder not in CORE_LEVEL:
                        problems.append(f"{where}: core/{other_folder} is in no layer")
                    elif CORE_LEVEL[other_folder] > CORE_LEVEL[folder]:
                        problems.append(f"{where}: core/{folder} is below core/{other_folder}")

    for comp in sorted(graph):
        parts = comp.split("/")
        if parts[0] == "core" and (len(parts) < 3 or parts[1] not in CORE_LEVEL):
            problems.append(f"{comp}: not in a core layer folder ({', '.join(sorted(CORE_LEVEL))})")

    for members in strongly_connected(graph):
        lines = [f"components include each other: {', '.join(members)}"]
        for a in members:
            for b in members:
                for where in edges.get((a, b), []):
                    lines.append(f"    {where}")
        problems.append("\n".join(lines))
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    if not os.path.isdir(src):
        print(f"no such folder: {src}", file=sys.stderr)
        return 2
    problems = check(src)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include problem(s)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
