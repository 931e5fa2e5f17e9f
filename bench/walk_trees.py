"""Writes the walk benchmark's other trees, of sparse files (a walk reads only their metadata):
  chain ROOT: a chain of 500 folders, one inside the other, each holding 200 files (100,000
              files); no two folders can be listed at once. (Under Wine 8 a chain of 2,000 stalls
              the raw walk itself for minutes in the Wine server, so the chain stops at 500.)
  flat ROOT:  one folder holding 100,000 files.
Folders are made relative to their parent's descriptor, so the chain's length is no limit here.
Usage: python3 bench/walk_trees.py chain|flat ROOT"""

import os
import sys

CHAIN_DEPTH = 500
CHAIN_FILES = 200
FLAT_FILES = 100_000


def write_files(folder_fd, count, first):
    for i in range(count):
        fd = os.open(f"f{i:05d}", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=folder_fd)
        os.ftruncate(fd, ((first + i) * 37) % 4096)
        os.close(fd)


def main():
    kind, root = sys.argv[1], sys.argv[2]
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    if kind == "flat":
        write_files(fd, FLAT_FILES, 0)
    elif kind == "chain":
        for level in range(CHAIN_DEPTH):
            write_files(fd, CHAIN_FILES, level * CHAIN_FILES)
            if level + 1 < CHAIN_DEPTH:
                os.mkdir("d", dir_fd=fd)
                inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
                os.close(fd)
                fd = inner
    else:
        sys.exit(f"walk_trees.py: unknown kind {kind}")
    os.close(fd)


main()
