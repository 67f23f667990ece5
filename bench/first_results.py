#!/usr/bin/env python3
"""Times commands until their first results: for each line of QUERIES, runs the command
with the query as its last argument and prints the milliseconds from its start until N
lines came out on stdout (or it ended with fewer), then the milliseconds until it
ended. One fresh process per query, as a user runs it.

Usage: first_results.py N QUERIES COMMAND [ARG...]
"""
import subprocess
import sys
import time


def main():
    wanted = int(sys.argv[1])
    with open(sys.argv[2], encoding="utf-8", errors="surrogateescape") as f:
        queries = [line.rstrip("\n") for line in f]
    command = sys.argv[3:]
    for query in queries:
        start = time.perf_counter()
        child = subprocess.Popen(command + [query], stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL)
        seen = 0
        first = None
        for _ in child.stdout:
            seen += 1
            if seen == wanted:
                first = time.perf_counter()
        child.wait()
        end = time.perf_counter()
        if first is None:
            first = end
        print(f"{(first - start) * 1000:.1f} {(end - start) * 1000:.1f}")


if __name__ == "__main__":
    main()
