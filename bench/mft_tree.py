"""Writes the table benchmark's 1,000,000-file tree: 50 x 10 x 10 x 10 leaf folders of 20 files
each (55,550 folders), the walk benchmark's tree ten times over. Files are sparse (lengths up to
4 KiB, no data written): a scan reads only their metadata. The same tree goes on the native file
system, for the raw walk, and on the NTFS volume the table engine reads.
Usage: python3 bench/mft_tree.py ROOT"""

import itertools
import os
import sys

# Each level of folders: name prefix, count, digits.
LEVELS = (("d", 50, 2), ("e", 10, 1), ("f", 10, 1), ("g", 10, 1))
FILES_PER_FOLDER = 20

root = sys.argv[1]
os.makedirs(root, exist_ok=True)
n = 0
made = set()
for indices in itertools.product(*(range(count) for _, count, _ in LEVELS)):
    folder = root
    for (prefix, _, digits), index in zip(LEVELS, indices):
        folder = os.path.join(folder, f"{prefix}{index:0{digits}d}")
        if folder not in made:  # each folder once, without asking the file system
            os.mkdir(folder)
            made.add(folder)
    for i in range(FILES_PER_FOLDER):
        fd = os.open(os.path.join(folder, f"file{i:02d}.dat"), os.O_WRONLY | os.O_CREAT | os.O_EXCL,
                     0o644)
        os.ftruncate(fd, (n * 37) % 4096)
        os.close(fd)
        n += 1
