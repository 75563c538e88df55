#!/usr/bin/env python3
"""Checks that every source of a layer includes only its own layer and the layers it sees.

Usage: check_layers.py SRC_DIR [--acyclic=LAYER,LAYER] [--below=LAYER=BELOW,BELOW ...]
                       LAYER=SEES,SEES ... [PROGRAM_DIR:SEES,SEES ...]

The build refuses a back-edge where a layer compiles the offending header; this also covers headers
that no source of their own layer includes, and includes that climb out with "..". Every quoted include
names its folder from src/ (uic's generated ui_*.h headers excepted), so an include of a folder that is
no layer, or of one the layer may not see, is a fault; a program's main file may also include what the
program links beside the layers. The desktop program (gui) is checked the same way
against the layers behind its wall. A folder outside src/ given as PROGRAM_DIR:SEES (the test server)
may include its own files by bare name and, of the layers, only those it sees.

In a layer named by --acyclic no two files include each other, however far round: a header and its
source count as one file, so a circle is a pair (or more) of them that each need the other.

Each layer declared directly below another (--below) is used by it: some file of the upper layer
includes a header of that layer, or of a layer it sees only through that one. An edge nothing uses
would let a later include slip across it unasked.

The session and the order layer tell what happened through typed events only: no source of theirs
posts a named notification on the notification centre (observing the network watcher's is allowed).
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
GENERATED = re.compile(r"^ui_\w+\.h$")
# A program's own file (main.cpp, screens_main.cpp) may include what the program links beside the
# layers, such as the test server the screenshot tool starts; the layers it includes are still checked.
PROGRAM = re.compile(r"^(\w+_)?main\.cpp$")
# Layers that post no named notification, and what such a post on the centre looks like.
EVENTS_ONLY = ("session", "orders")
POST = re.compile(r"(\.|->)\s*(post|postOnMainQueue)\s*\(|NotificationCenter::defaultCenter\(\)\s*\.\s*post")


def include_circles(src, layer):
    """The circles among the files of one layer, each a sorted list of units (path without suffix)."""
    root = src / layer
    edges = {}
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".inc"):
            continue
        unit = path.relative_to(src).with_suffix("").as_posix()
        for line in path.read_text(errors="replace").splitlines():
            m = INCLUDE.match(line)
            if m and m.group(1).startswith(layer + "/") and (src / m.group(1)).exists():
                target = pathlib.PurePosixPath(m.group(1)).with_suffix("").as_posix()
                if target != unit:
                    edges.setdefault(unit, set()).add(target)
    # Tarjan's strongly connected components; a component of more than one unit is a circle.
    index, low, stack, on_stack, circles = {}, {}, [], set(), []

    def visit(unit):
        index[unit] = low[unit] = len(index)
        stack.append(unit)
        on_stack.add(unit)
        for target in sorted(edges.get(unit, ())):
            if target not in index:
                visit(target)
                low[unit] = min(low[unit], low[target])
            elif target in on_stack:
                low[unit] = min(low[unit], index[target])
        if low[unit] == index[unit]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == unit:
                    break
            if len(component) > 1:
                circles.append(sorted(component))

    for unit in sorted(edges):
        if unit not in index:
            visit(unit)
    return circles


def main(argv):
    src = pathlib.Path(argv[1])
    sees = {}
    programs = {}
    acyclic = []
    declared = {}
    for arg in argv[2:]:
        if arg.startswith("--below="):
            layer, _, lower = arg.partition("=")[2].partition("=")
            declared[layer] = [b for b in lower.split(",") if b]
            continue
        if arg.startswith("--acyclic="):
            acyclic += [a for a in arg.partition("=")[2].split(",") if a]
            continue
        if ":" in arg:
            folder, _, below = arg.partition(":")
            programs[folder] = {b for b in below.split(",") if b}
            continue
        layer, _, below = arg.partition("=")
        sees[layer] = {layer} | {b for b in below.split(",") if b}
    faults = []
    included = {}
    roots = [(layer, src / layer, allowed) for layer, allowed in sees.items()]
    roots += [(pathlib.Path(folder).name, pathlib.Path(folder), allowed) for folder, allowed in programs.items()]
    for layer, root, allowed in roots:
        own = root if layer not in sees else None
        for path in sorted(root.rglob("*")):
            if path.suffix not in (".h", ".cpp", ".inc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1)
                top = target.split("/")[0]
                included.setdefault(layer, set()).add(top)
                where = f"{path.relative_to(root.parent)}:{number}"
                if own is not None and "/" not in target and (path.parent / target).exists():
                    continue
                if top == ".." or "/../" in target:
                    faults.append(f'{where}: "{target}" climbs out of its layer')
                elif top in allowed or GENERATED.match(target):
                    continue
                elif top in sees:
                    faults.append(f'{where}: {layer} includes "{target}" of {top}, a layer it may not see')
                elif not PROGRAM.match(path.name):
                    faults.append(f'{where}: {layer} includes "{target}", which no layer it sees holds')
    for layer, lower in declared.items():
        for b in lower:
            others = set().union(*(sees.get(o, {o}) for o in lower if o != b))
            only_through = sees.get(b, {b}) - others
            if not (included.get(layer, set()) & (only_through | {b})):
                faults.append(f"{layer}: declared on {b}, but nothing of {layer} includes what it "
                              f"sees through {b}; declare only the layers it uses")
    for layer in EVENTS_ONLY:
        for path in sorted((src / layer).rglob("*")) if (src / layer).is_dir() else []:
            if path.suffix not in (".h", ".cpp", ".inc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                if POST.search(line) and ("center" in line.lower() or "Notification" in line):
                    faults.append(f"{path.relative_to(src.parent)}:{number}: {layer} posts a named "
                                  "notification; tell it through a typed event")
    for layer in acyclic:
        for circle in include_circles(src, layer):
            faults.append(f"{layer}: include circle among {', '.join(circle)}; make one depend on the other only")
    for fault in faults:
        print(fault)
    print(f"{len(sees)} layers, {len(programs)} programs, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
