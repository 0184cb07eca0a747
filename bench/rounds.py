#!/usr/bin/env python3
"""Merges the hyperfine exports of alternation rounds (every command run
once a round, in the same order) into one export on standard output: each
command's times from every round and their median, for bench/report.py.

  rounds.py ROUND.json...
"""
import json
import statistics
import sys


def main(paths):
    rounds = [json.load(open(path))["results"] for path in paths]
    merged = []
    for i, first in enumerate(rounds[0]):
        times = [r[i]["times"][0] for r in rounds]
        if any(r[i]["command"] != first["command"] for r in rounds):
            sys.exit("rounds: the rounds ran different commands")
        merged.append({"command": first["command"], "times": times, "median": statistics.median(times)})
    json.dump({"results": merged}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1:])
