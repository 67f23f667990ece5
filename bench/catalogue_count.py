#!/usr/bin/env python3
"""For each query of QUERIES (one a line), counts the files of PATHS (full paths, one a
line) whose name holds it, without regard to case (Unicode simple case folding): the
catalogue benchmark's independent count. A mask ("*", "?") is counted only in the
simple forms "*TEXT", "TEXT*" and "*TEXT*"; any other counts "-". Prints one count a
line, in the order of the queries.

Usage: catalogue_count.py PATHS QUERIES"""
import sys


def fold(text):
    out = []
    for c in text:
        f = c.casefold()
        if len(f) != 1:
            f = c.lower() if len(c.lower()) == 1 else c
        out.append(f)
    return "".join(out)


def count(names, query):
    core = query.strip("*")
    if "?" in query or "*" in core:
        return "-"
    starts, ends = query.startswith("*"), query.endswith("*")
    if starts == ends:  # plain text, or "*TEXT*"
        return sum(core in name for name in names)
    if starts:
        return sum(name.endswith(core) for name in names)
    return sum(name.startswith(core) for name in names)


def main():
    with open(sys.argv[1], encoding="utf-8", errors="surrogateescape") as lines:
        names = [fold(line.rstrip("\n").rsplit("/", 1)[-1]) for line in lines]
    with open(sys.argv[2], encoding="utf-8", errors="surrogateescape") as queries:
        for query in queries:
            print(count(names, fold(query.rstrip("\n"))))


main()
