#!/usr/bin/env python3
"""Prints a hyperfine JSON export as a table: median, peak memory and the
ratio of the first command (Kalvenor) to each of the others.

  report.py RESULTS.json [NAME=KB ...] [vs=I,J,...]

NAME=KB gives a command's peak memory (kilobytes of resident set, from
/usr/bin/time -f %M), matched by the command's position: 1=..., 2=...
vs=I,J prints instead every command's ratio to the commands at positions
I, J, ... (the peers a target is set against).
"""
import json
import sys


def main(argv):
    results = json.load(open(argv[1]))["results"]
    args = dict(arg.split("=", 1) for arg in argv[2:])
    peers = [int(i) for i in args.pop("vs").split(",")] if "vs" in args else []
    memory = args
    first = results[0]["median"]
    if peers:
        heads = "".join(f" {'/ ' + results[p - 1]['command'].split()[0]:>12}" for p in peers)
    else:
        heads = f" {'Kalvenor / this':>16}"
    print(f"{'command':<44} {'median ms':>10} {'peak MB':>8}{heads}")
    for i, r in enumerate(results, start=1):
        kb = memory.get(str(i))
        mb = f"{int(kb) / 1024:.1f}" if kb else "-"
        if peers:
            ratios = "".join(f" {r['median'] / results[p - 1]['median']:>12.2f}" for p in peers)
        else:
            ratio = "" if i == 1 else f"{first / r['median']:.2f}"
            ratios = f" {ratio:>16}"
        name = r["command"]
        if len(name) > 44:
            name = name[:41] + "..."
        print(f"{name:<44} {r['median'] * 1000:>10.1f} {mb:>8}{ratios}")


if __name__ == "__main__":
    main(sys.argv)
