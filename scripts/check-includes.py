#!/usr/bin/env python3
"""Checks the include graph of the program's sources: no cycle between files, and no include of
a header from a folder that the including folder's library does not use (directly or through
the libraries it uses). The build already refuses such an include, since a library sees only
the headers of the libraries it links; this says which file and why, and finds cycles inside a
folder, which the build does not.

    scripts/check-includes.py [ROOT]

Prints each fault and exits 1, or exits 0 when there is none."""

import re
import sys
from pathlib import Path

root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
folders = [p.parent for p in sorted(root.glob("platform/*/CMakeLists.txt"))]
folders += [p.parent for p in sorted(root.glob("Sources/Sayvane/*/CMakeLists.txt"))]
top = root / "Sources/Sayvane"

# The library each folder makes, and the libraries it names after DEPENDS.
library_of = {}
uses = {}
for folder in folders:
    text = (folder / "CMakeLists.txt").read_text()
    name = re.search(r"sayvane_library\(\s*(\w+)", text).group(1)
    library_of[folder] = name
    depends = re.search(r"DEPENDS(.*?)(?:PRIVATE|\))", text, re.S)
    uses[name] = set(re.findall(r"sayvane_\w+", depends.group(1) if depends else ""))
library_of[top] = "sayvane_app"
uses["sayvane_app"] = set(library_of.values()) - {"sayvane_app"}

def reachable(library):
    seen, stack = set(), [library]
    while stack:
        for used in uses.get(stack.pop(), ()):
            if used not in seen:
                seen.add(used)
                stack.append(used)
    return seen

# Every header and source by its bare name, with its folder.
files = {}
for folder in list(folders) + [top]:
    for path in folder.glob("*.[ch]*"):
        if path.suffix in (".h", ".cpp"):
            files[path.name] = path
header_folder = {name: path.parent for name, path in files.items() if name.endswith(".h")}

faults = []
graph = {}
for name, path in files.items():
    graph[name] = []
    mine = library_of[path.parent]
    allowed = reachable(mine) | {mine}
    for included in re.findall(r'^#include "([^"]+)"', path.read_text(), re.M):
        if included not in header_folder:
            continue  # generated (moc) or from outside the program
        graph[name].append(included)
        theirs = library_of[header_folder[included]]
        if theirs not in allowed:
            faults.append(f"{path.relative_to(root)} includes {included} of {theirs}, "
                          f"which {mine} does not use")

# A source and its header are one node: a cycle goes through headers.
def node(name):
    stem = name.rsplit(".", 1)[0]
    return stem + ".h" if stem + ".h" in header_folder else name

edges = {}
for name, included in graph.items():
    edges.setdefault(node(name), set()).update(node(i) for i in included if node(i) != node(name))

# Tarjan's strongly connected components, without recursion.
index, low, on_stack, stack, components, counter = {}, {}, set(), [], [], [0]
for start in edges:
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter[0]; counter[0] += 1
    stack.append(start); on_stack.add(start)
    while work:
        current, successors = work[-1]
        for successor in successors:
            if successor not in index:
                index[successor] = low[successor] = counter[0]; counter[0] += 1
                stack.append(successor); on_stack.add(successor)
                work.append((successor, iter(sorted(edges.get(successor, ())))))
                break
            if successor in on_stack:
                low[current] = min(low[current], index[successor])
        else:
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[current])
            if low[current] == index[current]:
                component = []
                while True:
                    member = stack.pop(); on_stack.discard(member)
                    component.append(member)
                    if member == current:
                        break
                if len(component) > 1:
                    components.append(sorted(component))
for component in components:
    faults.append("include cycle: " + " -> ".join(component))

for fault in faults:
    print(fault)
print(f"{len(files)} files in {len(folders) + 1} libraries: "
      f"{'no cycle and no upward include' if not faults else f'{len(faults)} faults'}")
sys.exit(1 if faults else 0)
