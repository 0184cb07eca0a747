#!/usr/bin/env python3
"""Prints a hyperfine JSON export as a table: median, peak memory and the
ratio of the first command (Kalvenor) to each of the others.

  report.py RESULTS.json [NAME=KB ...]

NAME=KB gives a command's peak memory (kilobytes of resident set, from
/usr/bin/time -f %M), matched by the command's position: 1=..., 2=...
"""
import json
import sys


def main(argv):
    results = json.load(open(argv[1]))["results"]
    memory = dict(arg.split("=", 1) for arg in argv[2:])
    first = results[0]["median"]
    print(f"{'command':<44} {'median ms':>10} {'peak MB':>8} {'Kalvenor / this':>16}")
    for i, r in enumerate(results, start=1):
        kb = memory.get(str(i))
        mb = f"{int(kb) / 1024:.1f}" if kb else "-"
        ratio = "" if i == 1 else f"{first / r['median']:.2f}"
        name = r["command"]
        if len(name) > 44:
            name = name[:41] + "..."
        print(f"{name:<44} {r['median'] * 1000:>10.1f} {mb:>8} {ratio:>16}")


if __name__ == "__main__":
    main(sys.argv)
