#!/usr/bin/env python3
"""Runs a command and samples what it reads: /proc/PID/io's rchar every 0.25 s.

Prints the bytes read in each 10 s window (sliding by 1 s) against the rate asked, the
worst window's distance from it, and the CPU time of the process against its wall time.
The worst is given twice: over every window of the process, and over the windows of its
reading alone (from its first MiB to its last byte), without the time the process takes
to start (its list, its history) and to end.

Usage: scrub_rate.py RATE_BYTES_PER_S COMMAND...
"""
import os
import subprocess
import sys
import time


def main():
    rate = float(sys.argv[1])
    start = time.monotonic()
    child = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL)
    samples = []  # (seconds since start, bytes read so far)
    cpu = 0.0
    while child.poll() is None:
        try:
            with open(f"/proc/{child.pid}/io") as io:
                fields = dict(line.split(": ") for line in io.read().splitlines())
            with open(f"/proc/{child.pid}/stat") as stat:
                parts = stat.read().rsplit(")", 1)[1].split()
            cpu = (int(parts[11]) + int(parts[12])) / os.sysconf("SC_CLK_TCK")
            samples.append((time.monotonic() - start, int(fields["rchar"])))
        except (FileNotFoundError, ProcessLookupError, KeyError, IndexError):
            pass
        time.sleep(0.25)
    wall = time.monotonic() - start
    worst, windows = worst_window(samples, rate, True)
    total = samples[-1][1] if samples else 0
    first = next((i for i, (_, b) in enumerate(samples) if b >= samples[0][1] + 1048576), 0)
    last = next((i for i in range(len(samples) - 1, 0, -1)
                 if samples[i][1] != samples[i - 1][1]), len(samples) - 1)
    reading, reading_windows = worst_window(samples[max(first - 1, 0):last + 1], rate, False)
    print(f"exit {child.returncode}; {total / 1048576:.0f} MiB in {wall:.1f} s; {windows} windows "
          f"of 10 s, the worst {worst * 100:.1f} % off {rate / 1048576:.0f} MiB/s "
          f"({reading_windows} while reading: the worst {reading * 100:.1f} %); "
          f"CPU {cpu:.2f} s = {cpu / wall * 100:.1f} % of the wall time")


def worst_window(samples, rate, show):
    worst = 0.0
    windows = 0
    for t0, b0 in samples:
        ends = [(t, b) for t, b in samples if t >= t0 + 10]
        if not ends:
            break
        t1, b1 = ends[0]
        got = (b1 - b0) / (t1 - t0)
        worst = max(worst, abs(got - rate) / rate)
        windows += 1
        if show and windows % 4 == 1:
            print(f"  {t0:6.1f} s - {t1:6.1f} s: {got / 1048576:7.2f} MiB/s")
    return worst, windows


if __name__ == "__main__":
    main()
