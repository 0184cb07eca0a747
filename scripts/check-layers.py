#!/usr/bin/env python3
"""Fails when a source folder includes a folder above it.

The folders form layers, lowest first; a file may include its own folder and
the folders below it. Tests (*_test.cc) may also include the test support in
testing/.
"""
import pathlib
import re
import sys

LAYERS = [["base", "backend"], ["printers"], ["render"], ["net"], ["host"], ["code128"], ["barcode_form", "qr"],
          ["printing"], ["app"], ["desktop"], ["testing"], ["tests", "fuzz", "bench"]]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')

root = pathlib.Path(__file__).resolve().parent.parent
faults = []
for folder, rank in RANK.items():
    for path in sorted((root / folder).glob("*")):
        if path.suffix not in (".cc", ".h", ".c"):
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in RANK:
                continue
            target = match.group(1)
            if target == folder or RANK[target] < rank:
                continue
            if target == "testing" and path.name.endswith("_test.cc"):
                continue
            faults.append(f"{path.relative_to(root)}:{number}: {folder}/ includes {target}/")
for fault in faults:
    print(fault)
if faults:
    sys.exit(1)
print("layers: every include points down")
