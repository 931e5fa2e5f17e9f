"""Writes the benchmarks' 100,000-file tree: 50 x 10 x 10 leaf folders of 20 sparse files each
(5,550 folders). A walk reads only their metadata; a removal has nothing to write back.
Usage: python3 bench/sparse_tree.py ROOT"""

import os
import sys

root = sys.argv[1]
n = 0
for a in range(50):
    for b in range(10):
        for c in range(10):
            folder = os.path.join(root, f"d{a:02d}", f"e{b}", f"f{c}")
            os.makedirs(folder)
            for i in range(20):
                with open(os.path.join(folder, f"file{i:02d}.dat"), "wb") as f:
                    f.truncate((n * 37) % 4096)
                n += 1
