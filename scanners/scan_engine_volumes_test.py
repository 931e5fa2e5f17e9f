#!/usr/bin/env python3
"""Both scan engines on a real NTFS volume under Wine, reply against reply, with The Sleuth Kit
as a second, independent oracle of what the volume holds.

mkntfs makes a volume image and ntfs-3g (FUSE, as root) fills it with the fixtures below through
ordinary file operations (reparse points through its system.ntfs_reparse_data attribute). It is
then mounted read-only and named by one drive letter both ways in a Wine prefix of its own:
dosdevices/n: is the mount folder, which the walk lists; dosdevices/n:: is the image, which the
table engine reads raw as \\\\.\\N:. scan_engine_compare runs every scan method on several roots
with each engine and fails on any reply that differs. Then `fls` lists the image on its own and
every name and file length must match what the table engine lists.

Then the table is damaged, one way at a time, in copies of the image (scan_engine_volume_damage:
runs on each other's clusters, absurd counts, folders in a cycle or in two places, names twice in
a folder, records flagged as what they are not). The table engine must refuse each copy with the
reason given there, so that the walk answers. Last, a second volume is filled until full, every
other file deleted and small files made, so that its table grows into the holes in so many runs
that its attribute list moves to clusters of its own (as on large, long-used volumes): the table
engine must read it, not walk it, and give the walk's replies.

A machine without FUSE, ntfs-3g or The Sleuth Kit fails here with a message; it never skips.
The image is kept in the build folder and made again only when this script changes. The volume
is unmounted on every way out.
  scan_engine_volumes_test.py --build WINDOWS_BUILD --wine-root WINE_ROOT --repo REPO
"""

import argparse
import difflib
import hashlib
import os
import shutil
import struct
import subprocess
import sys
from pathlib import Path

from scan_engine_volume_damage import DAMAGES, damaged_copy

# Small, so that the table outgrows the zone kept for it and lands between files' clusters.
IMAGE_BYTES = 80 << 20
# Small enough to fill in seconds.
FRAGMENTED_BYTES = 40 << 20
DRIVE = "n:"
# A letter whose folder is a folder inside the volume (as a substituted drive is) while its device
# is the whole volume: the table engine must refuse it rather than scan the volume's root.
ALIAS = "o:"


def fail(message: str) -> None:
    print(f"scan_engine_volumes: {message}", file=sys.stderr)
    sys.exit(1)


def require_tools() -> None:
    if os.geteuid() != 0:
        fail("needs root, to mount NTFS images through FUSE")
    if not os.path.exists("/dev/fuse"):
        fail("/dev/fuse is missing: FUSE is needed to mount NTFS images (ntfs-3g)")
    for tool in ("mkntfs", "ntfs-3g", "fls", "istat"):
        if not shutil.which(tool):
            fail(f"{tool} is missing: run scripts/setup.sh (packages ntfs-3g, sleuthkit, fuse3)")


def run(*command: str, **kwargs) -> subprocess.CompletedProcess:
    return subprocess.run(command, check=True, **kwargs)


def is_mounted(folder: Path) -> bool:
    return subprocess.run(["mountpoint", "-q", str(folder)]).returncode == 0


def unmount(folder: Path) -> None:
    if is_mounted(folder):
        subprocess.run(["umount", str(folder)], check=False)
    if is_mounted(folder):
        subprocess.run(["umount", "-l", str(folder)], check=False)


def reparse_data(tag: int, target: str, relative_flags=None) -> bytes:
    """A reparse data buffer: substitute and print names, with flags for symbolic links."""
    name = target.encode("utf-16-le")
    names = name + b"\0\0" + name + b"\0\0"
    header = struct.pack("<HHHH", 0, len(name), len(name) + 2, len(name))
    if relative_flags is not None:
        header += struct.pack("<I", relative_flags)
    body = header + names
    return struct.pack("<IHH", tag, len(body), 0) + body


def fill(root: Path) -> None:
    """The fixtures. No name starts with a dot: Wine shows such files as hidden, Windows not."""
    write = lambda path, size, byte=b"x": path.write_bytes(byte * size)  # noqa: E731
    # Deep and wide trees.
    deep = root / "deep"
    for level in range(40):
        deep = deep / f"level{level:02d}"
    deep.mkdir(parents=True)
    write(deep / "bottom.txt", 4321)
    for i in range(30):
        folder = root / "wide" / f"folder{i:02d}"
        folder.mkdir(parents=True)
        for j in range(30):
            write(folder / f"file{j:02d}.dat", 100 + i * 37 + j)
    # A folder of 10,000 entries: its index lives in index allocation blocks.
    many = root / "many"
    many.mkdir()
    for i in range(10000):
        write(many / f"entry{i:05d}.txt", i % 700)
    # Hard links: across folders and within one; one file with so many names that its record
    # spills into extension records through an attribute list.
    links = root / "links"
    (links / "a").mkdir(parents=True)
    (links / "b").mkdir()
    write(links / "a" / "original.bin", 3 << 20, b"L")
    os.link(links / "a" / "original.bin", links / "b" / "second name.bin")
    os.link(links / "a" / "original.bin", links / "a" / "third name.bin")
    spill = links / "spill"
    spill.mkdir()
    write(spill / "name000.txt", 777)
    for i in range(1, 150):
        os.link(spill / "name000.txt", spill / f"name{i:03d} with a longer name.txt")
    # Names outside the BMP, names differing only in case, empty and resident files.
    names = root / "names"
    names.mkdir()
    write(names / "emoji \U0001F600 file.txt", 21)
    write(names / "\U00010348 gothic", 22)
    write(names / "Case.txt", 5)
    write(names / "case.txt", 6)
    write(names / "CASE.TXT", 7)
    (names / "Folder").mkdir()
    (names / "folder").mkdir()
    write(names / "Folder" / "in upper.txt", 8)
    write(names / "folder" / "in lower.txt", 9)
    # Equal lengths whose order differs between NTFS's collation and plain code units: the
    # large-file reply keeps the walk's order for ties.
    write(names / "a tie.txt", 33, b"t")
    write(names / "B tie.txt", 33, b"t")
    write(names / "empty", 0)
    write(names / "resident tiny", 3)
    write(names / "duplicate one.bin", 2 << 20, b"D")
    write(names / "duplicate two.bin", 2 << 20, b"D")
    write(names / "same start.bin", 2 << 20, b"D")
    with open(names / "same start.bin", "r+b") as f:
        f.seek((2 << 20) - 1)
        f.write(b"E")
    # Sparse files and alternate data streams.
    streams = root / "streams"
    streams.mkdir()
    with open(streams / "sparse huge.bin", "wb") as f:
        f.truncate(3 << 30)
    with open(streams / "sparse small.bin", "wb") as f:
        f.seek(5 << 20)
        f.write(b"end")
    write(streams / "with stream.txt", 12)
    os.setxattr(streams / "with stream.txt", "user.Zone.Identifier", b"z" * 5000)
    write(streams / "only stream", 0)
    os.setxattr(streams / "only stream", "user.extra", b"s" * 300)
    # Junctions and symbolic links to folders (never entered nor counted by either engine).
    reparse = root / "reparse"
    reparse.mkdir()
    write(reparse / "plain.txt", 10)
    (reparse / "junction").mkdir()
    os.setxattr(reparse / "junction", "system.ntfs_reparse_data",
                reparse_data(0xA0000003, "\\??\\C:\\windows"))
    (reparse / "folder link").mkdir()
    os.setxattr(reparse / "folder link", "system.ntfs_reparse_data",
                reparse_data(0xA000000C, "..\\names", 1))
    # Files deleted after creation, and a table fragmented by many creations and deletions with
    # data allocated in between.
    churn = root / "churn"
    churn.mkdir()
    for round_ in range(6):
        folder = churn / f"round{round_}"
        folder.mkdir()
        for i in range(1500):
            write(folder / f"f{i:04d}", 1 + (round_ * 1500 + i) % 600)
        write(churn / f"filler{round_}.bin", 4 << 20, b"F")
        for i in range(0, 1500, 2):
            (folder / f"f{i:04d}").unlink()
    write(root / "deleted soon.txt", 50)
    (root / "deleted soon.txt").unlink()


def fill_fragmented(root: Path) -> None:
    """A few ordinary entries, then the volume filled with one-cluster files, every other one
    deleted, and small files made: the table grows one hole at a time."""
    (root / "plain" / "inner").mkdir(parents=True)
    (root / "plain" / "inner" / "file.txt").write_bytes(b"p" * 5000)
    (root / "plain" / "big.bin").write_bytes(b"b" * (2 << 20))
    fill = root / "fill"
    fill.mkdir()
    count = 0
    try:
        while True:
            (fill / f"{count:06d}").write_bytes(b"x" * 4000)
            count += 1
    except OSError:
        pass  # the volume is full
    for i in range(0, count, 2):
        (fill / f"{i:06d}").unlink()
    small = root / "small"
    small.mkdir()
    try:
        for i in range(6000):
            (small / f"s{i:06d}").write_bytes(b"y" * (i % 50))
    except OSError:
        pass


def table_list_in_clusters(image: Path) -> bool:
    text = run("istat", str(image), "0", capture_output=True, text=True).stdout
    return any(line.startswith("Type: $ATTRIBUTE_LIST") and "Non-Resident" in line
               for line in text.splitlines())


def table_runs(image: Path) -> int:
    """How many runs the table's own data has, as The Sleuth Kit reads record 0."""
    text = run("istat", str(image), "0", capture_output=True, text=True).stdout
    lines = text.splitlines()
    for index, line in enumerate(lines):
        if line.startswith("Type: $DATA (128-"):
            clusters = []
            for follow in lines[index + 1:]:
                if not follow.strip() or follow.startswith("Type:"):
                    break
                clusters += [int(c) for c in follow.split()]
            return 1 + sum(1 for a, b in zip(clusters, clusters[1:]) if b != a + 1)
    return 0


def make_image(image: Path, mount: Path, size: int, filler) -> None:
    stamp = image.with_suffix(".sha256")
    digest = hashlib.sha256(Path(__file__).read_bytes()).hexdigest()
    if image.exists() and stamp.exists() and stamp.read_text() == digest:
        return
    print(f"scan_engine_volumes: making the NTFS volume {image.name}", file=sys.stderr)
    image.unlink(missing_ok=True)
    with open(image, "wb") as f:
        f.truncate(size)
    run("mkntfs", "-F", "-Q", "-q", "-L", "fixtures", str(image), stderr=subprocess.DEVNULL)
    run("ntfs-3g", "-o", "streams_interface=xattr", str(image), str(mount))
    try:
        filler(mount)
    finally:
        unmount(mount)
    stamp.write_text(digest)


def istat_length(image: Path, address: str):
    """The unnamed data stream's length as istat reads the record (fls gives 0 for a file with
    no cluster allocated at all); None when istat cannot tell (it refuses a sparse run longer
    than the volume, which NTFS allows)."""
    result = subprocess.run(["istat", str(image), address.split("-")[0]], capture_output=True,
                            text=True)
    for line in result.stdout.splitlines():
        if line.startswith("Type: $DATA (128-") and "Name: N/A" in line:
            return int(line.split("size:")[1].split()[0])
    return None


def fls_listing(image: Path) -> dict:
    """path -> ("d" | "f", length) of every name in use outside the metadata, from fls."""
    out = run("fls", "-r", "-p", "-l", str(image), capture_output=True).stdout.decode("utf-8")
    listing = {}
    for line in out.splitlines():
        kind_field, _, rest = line.partition(" ")
        if "*" in rest.split("\t")[0]:
            continue  # deleted
        fields = rest.split("\t")
        address, name, size = fields[0], fields[1], int(fields[6])
        if not address.endswith(":") or name.startswith("$") or ":" in name.split("/")[-1]:
            continue  # metadata files, $OrphanFiles, named streams
        kind = kind_field.split("/")[-1]
        if kind != "d" and size == 0:
            size = istat_length(image, address.rstrip(":"))
        listing[name] = ("d", 0) if kind == "d" else ("f", size)
    return listing


def mft_listing(path: Path) -> dict:
    listing = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        name, kind, size = line.split("\t")
        name = name[len("N:\\"):].replace("\\", "/")
        listing[name] = ("d", 0) if kind in ("d", "l") and int(size) == 0 else (kind, int(size))
    return listing


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--wine-root", required=True, type=Path)
    parser.add_argument("--repo", required=True, type=Path)
    args = parser.parse_args()
    args.build, args.wine_root = args.build.resolve(), args.wine_root.resolve()
    require_tools()

    work = args.build / "ntfs-volumes"
    mount = work / "mount"
    out = work / "replies"
    image = work / "fixtures.img"
    mount.mkdir(parents=True, exist_ok=True)
    unmount(mount)  # left over by a run that was killed
    make_image(image, mount, IMAGE_BYTES, fill)
    runs = table_runs(image)
    if runs < 2:
        fail(f"the fixture volume's table is in {runs} run(s); the fixtures must fragment it")
    fragmented = work / "fragmented.img"
    make_image(fragmented, mount, FRAGMENTED_BYTES, fill_fragmented)
    if not table_list_in_clusters(fragmented):
        fail("the fragmented volume's table has no attribute list in clusters of its own")

    wine_run = args.repo / "scripts" / "wine-run"
    run(str(args.repo / "scripts" / "wine-prefix.sh"), str(args.wine_root),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    dosdevices = args.wine_root / "prefix" / "dosdevices"
    env = dict(os.environ, WINEPREFIX=str(args.wine_root / "prefix"))

    def link_drives(links) -> None:
        for link, target in links:
            (dosdevices / link).unlink(missing_ok=True)
            (dosdevices / link).symlink_to(target)
        # Wine reads its drives when its server starts.
        subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    shutil.rmtree(out, ignore_errors=True)
    out.mkdir()
    windows_out = "Z:" + str(out.resolve()).replace("/", "\\")

    def compare(*roots: str) -> subprocess.CompletedProcess:
        return subprocess.run(
            [str(wine_run), "--root", str(args.wine_root),
             str(args.build / "scanners" / "scan_engine_compare.exe"), windows_out, *roots],
            capture_output=True, text=True)

    def same_replies(*roots: str) -> bool:
        result = compare(*roots)
        print(result.stdout, end="")
        print(result.stderr, end="", file=sys.stderr)
        for walked in sorted(out.glob("*.walk.txt")):
            read = walked.with_name(walked.name.replace(".walk.", ".mft."))
            a, b = walked.read_text().splitlines(), read.read_text().splitlines()
            if a != b:
                print("".join(difflib.unified_diff([l + "\n" for l in a], [l + "\n" for l in b],
                                                   str(walked.name), str(read.name), n=2))[:4000])
        return result.returncode == 0

    run("ntfs-3g", "-o", "ro", str(image), str(mount))
    try:
        link_drives(((DRIVE, mount), (DRIVE + ":", image), (ALIAS, mount / "names"),
                     (ALIAS + ":", image)))
        # The duplicate scans hash every file of a shared length, twice: on the smaller roots only.
        failed = not same_replies("N:\\", "--no-duplicates", "N:\\names", "N:\\links",
                                  "N:\\streams", "N:\\reparse", "N:\\wide", "N:\\churn\\round5")

        expected = fls_listing(image)
        listed = mft_listing(out / "mft-listing.txt")
        missing = sorted(set(expected) - set(listed))[:20]
        extra = sorted(set(listed) - set(expected))[:20]
        unknown = sorted(p for p in expected if expected[p][1] is None)
        wrong = sorted(p for p in set(expected) & set(listed)
                       if expected[p] != listed[p] and expected[p][1] is not None)[:20]
        if missing or extra or wrong:
            failed = True
            print(f"against fls: missing {missing}, extra {extra}, "
                  f"different {[(p, expected[p], listed[p]) for p in wrong]}")
        else:
            print(f"against fls: the same {len(expected)} names and lengths "
                  f"(lengths The Sleuth Kit cannot read: {unknown})")
        print(f"table runs: {runs}")

        alias = compare("O:\\", "--no-duplicates")
        if "the root is not where the volume's table puts it" not in alias.stderr:
            failed = True
            print(f"a drive naming a folder of the volume was not refused:\n{alias.stderr}")
        else:
            print("a drive naming a folder of the volume: refused, walked instead")

        # The walk lists the mounted volume; the table engine reads a damaged copy of it.
        damaged = work / "damaged.img"
        for name, damage, reason in DAMAGES:
            damaged_copy(image, damaged, damage)
            link_drives(((DRIVE + ":", damaged),))
            refusal = compare("N:\\names", "--no-duplicates")
            if f"by walking: {reason}" not in refusal.stderr:
                failed = True
                print(f"damaged, {name}: not refused with \"{reason}\":\n{refusal.stdout}"
                      f"{refusal.stderr}")
            else:
                print(f"damaged, {name}: refused ({reason}), walked instead")
        damaged.unlink(missing_ok=True)
    finally:
        unmount(mount)

    # A table whose attribute list lies in clusters of its own is read, not walked.
    run("ntfs-3g", "-o", "ro", str(fragmented), str(mount))
    try:
        link_drives(((DRIVE, mount), (DRIVE + ":", fragmented)))
        if same_replies("N:\\", "--no-duplicates", "N:\\plain"):
            print(f"attribute list in clusters, table in {table_runs(fragmented)} runs: "
                  "read by the table, the same replies")
        else:
            failed = True
    finally:
        unmount(mount)
        for link in (DRIVE, DRIVE + ":", ALIAS, ALIAS + ":"):
            (dosdevices / link).unlink(missing_ok=True)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
