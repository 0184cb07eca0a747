#!/usr/bin/env python3
"""Checks that a job's trace shows what the benchmarks claim of the sample:
on every printed copy the EAN (4095 x 1785 twips) and the Code 128
(7665 x 1275), and the QR code (1500 x 1500) once.

  check_symbols.py TRACE.jsonl NAME     (NAME heads the messages)
"""
import collections
import json
import sys

ops = [json.loads(line) for line in open(sys.argv[1])]
docs = {o["doc"] for o in ops if o["op"] == "enddoc"}
sizes = collections.Counter((o["doc"], o["w"], o["h"]) for o in ops if o["op"] == "picture")
bad = [d for d in docs if sizes[(d, 4095, 1785)] != 1 or sizes[(d, 7665, 1275)] != 1]
qr = sum(n for (d, w, h), n in sizes.items() if (w, h) == (1500, 1500))
if len(docs) < 2 or bad or qr != 1:
    sys.exit(f"{sys.argv[2]}: the sample does not draw its symbols (copies {sorted(docs)}, "
             f"without both barcodes {bad}, QR codes {qr})")
print(f"{sys.argv[2]}: {len(docs)} copies, each with EAN and Code 128; one QR code", file=sys.stderr)
