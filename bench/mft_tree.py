"""Writes the table benchmark's 1,000,000-file tree: 50 x 10 x 10 x 10 leaf folders of 20 files
each (55,550 folders), the walk benchmark's tree ten times over. Files are sparse (lengths up to
4 KiB, no data written): a scan reads only their metadata. The same tree goes on the native file
system, for the raw walk, and on the NTFS volume the table engine reads.
Usage: python3 bench/mft_tree.py ROOT"""

import os
import sys

FILES_PER_FOLDER = 20

root = sys.argv[1]
os.makedirs(root, exist_ok=True)
n = 0
for a in range(50):
    top = os.path.join(root, f"d{a:02d}")
    os.mkdir(top)
    for b in range(10):
        middle = os.path.join(top, f"e{b}")
        os.mkdir(middle)
        for c in range(10):
            lower = os.path.join(middle, f"f{c}")
            os.mkdir(lower)
            for d in range(10):
                folder = os.path.join(lower, f"g{d}")
                os.mkdir(folder)
                for i in range(FILES_PER_FOLDER):
                    fd = os.open(os.path.join(folder, f"file{i:02d}.dat"),
                                 os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
                    os.ftruncate(fd, (n * 37) % 4096)
                    os.close(fd)
                    n += 1
