#!/usr/bin/env python3
"""Fails when a folder of src/ or tools/ includes a folder that is not below it.

The layers, bottom up, are listed in LAYERS; a folder may include its own files and the folders
of lower layers only. Folders on one line are peers and must not include each other. A new folder
fails the check until it is given a layer here (and in README's layout table)."""
import os
import re
import sys

LAYERS = [
    ["base", "bootprog"],
    ["firmware"],
    ["disk", "settings"],
    ["hardware"],
    ["erase"],
    ["stamp"],
    ["report"],
    ["job"],
    ["winpe"],
    ["app", "tools/tvde_cli"],
    ["tools/gui_shot"],
]

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
level = {folder: i for i, row in enumerate(LAYERS) for folder in row}
include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
problems = []

for top in ("src", "tools"):
    for directory, _, files in os.walk(os.path.join(root, top)):
        rel_dir = os.path.relpath(directory, root).split(os.sep)
        if len(rel_dir) < 2:
            continue
        folder = rel_dir[1] if top == "src" else "tools/" + rel_dir[1]
        for name in files:
            if not name.endswith((".h", ".cpp", ".c")):
                continue
            path = os.path.join(*rel_dir, name)
            if folder not in level:
                problems.append(f"{path}: folder {folder} has no layer in scripts/check-layers.py")
                break
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = include.match(line)
                    if not match or not os.path.isdir(os.path.join(root, "src", match.group(1))):
                        continue
                    target = match.group(1)
                    if target != folder and level.get(target, len(LAYERS)) >= level[folder]:
                        problems.append(f"{path}:{number}: {folder} includes {target}, "
                                        "which is not below it")

for problem in problems:
    print(problem)
print(f"layers: {'violated' if problems else 'clean'} "
      f"({' < '.join('/'.join(row) for row in LAYERS)})")
sys.exit(1 if problems else 0)
