# The scan benchmark's tree: FILES files of 0-64 KiB spread over DIRS directories, plus
# three files of BIG_MB MB; and in ONE a single file of ONE_MB MB. The same for every
# run (a fixed seed for the sizes).
#
# Usage: python3 bench/scan_tree.py TREE FILES DIRS BIG_MB ONE ONE_MB
import os, random, sys
tree, files, dirs, big_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
one, one_mb = sys.argv[5], int(sys.argv[6])
rng = random.Random(1)
pool = os.urandom(1 << 20)
for d in range(dirs):
    os.makedirs(os.path.join(tree, "d%03d" % d), exist_ok=True)
for i in range(files):
    size = rng.randint(0, 65536)
    start = rng.randint(0, len(pool) - size)
    with open(os.path.join(tree, "d%03d" % (i % dirs), "f%06d.bin" % i), "wb") as f:
        f.write(pool[start:start + size])
chunk = os.urandom(1 << 20)
for b in range(3):
    with open(os.path.join(tree, "big%d.bin" % b), "wb") as f:
        for _ in range(big_mb):
            f.write(chunk)
with open(os.path.join(one, "one.bin"), "wb") as f:
    for _ in range(one_mb):
        f.write(os.urandom(1 << 20))
