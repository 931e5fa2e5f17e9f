"""Helpers of the end-to-end tests: files inside the isolated prefix, and Windows facts of it."""

from __future__ import annotations

import functools
import os
import shutil
import uuid
from pathlib import Path

from tidvale_client import Int64, paths

FIXED_MTIME = 1_600_000_000  # 2020-09-13, whole seconds so the reply's time can be compared


# The junk catalogue's categories, in reply order.
CATALOGUE = ["temp", "userCache", "userLogs", "systemCache", "trash", "developer", "browsers",
             "crashReports", "thumbnails", "windowsOld"]
ITEM_KEYS = {"path", "name", "size", "isDir", "modified", "ext"}
EVENT_KEYS = {"task", "path", "count", "bytes"}


def check_reply_shape(reply):
    """Everything a scan reply must satisfy whatever the machine holds."""
    assert set(reply) == {"categories", "total", "count", "cancelled"}
    assert isinstance(reply["cancelled"], bool)
    ids = [c["id"] for c in reply["categories"]]
    assert ids == CATALOGUE[: len(ids)]
    for cat in reply["categories"]:
        assert set(cat) == {"id", "size", "items"}
        sizes = [item["size"] for item in cat["items"]]
        assert sizes == sorted(sizes, reverse=True), f"{cat['id']} items not largest first"
        assert cat["size"] == sum(sizes) and all(s > 0 for s in sizes)
        for item in cat["items"]:
            assert set(item) == ITEM_KEYS
            assert type(item["size"]) is Int64 and type(item["modified"]) is Int64
            assert item["ext"] == "" and isinstance(item["isDir"], bool)
    assert reply["total"] == sum(c["size"] for c in reply["categories"])
    assert reply["count"] == sum(len(c["items"]) for c in reply["categories"])
    assert type(reply["total"]) is Int64 and type(reply["count"]) is Int64


def unique_name(prefix: str = "tidvale-e2e") -> str:
    return f"{prefix}-{uuid.uuid4().hex[:12]}"


@functools.lru_cache(maxsize=None)
def windows_env(name: str) -> str:
    """An environment variable as programs in the prefix see it (asked once per name)."""
    return paths.windows_env(name)


def machine_guid() -> str | None:
    """MachineGuid of the prefix's 64-bit registry view, read from Wine's own registry file."""
    text = (paths.wine_root() / "prefix" / "system.reg").read_text("utf-8", "replace")
    section = "[Software\\\\Microsoft\\\\Cryptography]"
    start = text.find(section)
    if start < 0:
        return None
    for line in text[start:].splitlines()[1:]:
        if line.startswith("["):
            break
        if line.startswith('"MachineGuid"='):
            return line.split("=", 1)[1].strip().strip('"')
    return None


class PrefixFiles:
    """Files and folders a test creates inside the prefix. Everything is recorded and removed at
    the end; cleanup reports anything it could not remove, so leftovers never hide."""

    def __init__(self) -> None:
        self.created: list[Path] = []  # in creation order; removed in reverse

    def folder(self, windows_parent: str, name: str | None = None) -> tuple[Path, str]:
        """A new folder (unique name unless given) under a Windows folder of the prefix; parents
        that do not exist yet are created and recorded too."""
        parent = paths.host_path(windows_parent)
        self.make_parents(parent)
        host = parent / (name or unique_name())
        if host.exists():
            raise FileExistsError(f"{host} already exists")
        host.mkdir()
        self.created.append(host)
        return host, windows_parent.rstrip("\\") + "\\" + host.name

    def file(self, host: Path, size: int, mtime: int | None = FIXED_MTIME) -> Path:
        """A file of size bytes (modified at mtime unless None); missing parents are made."""
        self.make_parents(host.parent)
        if host.exists():
            raise FileExistsError(f"{host} already exists")
        with open(host, "wb") as f:
            f.write(b"\x5a" * size)
        if mtime is not None:
            os.utime(host, (mtime, mtime))
        self.created.append(host)
        return host

    def many(self, folder: Path, names: list[str], size: int) -> list[Path]:
        """Many files of one size in folder, made cheaply as hard links to the first (never
        symbolic links: Wine would act on their targets)."""
        first = self.file(folder / names[0], size, mtime=None)
        out = [first]
        for name in names[1:]:
            link = folder / name
            os.link(first, link)
            self.created.append(link)
            out.append(link)
        return out

    def tree(self, windows_parent: str, layout: dict[str, int],
             mtime: int | None = FIXED_MTIME) -> tuple[Path, str, int]:
        """A unique folder holding files at the relative paths of layout ("a/b.bin": size; a
        path ending in "/" is an empty folder). Returns host path, Windows path, total bytes."""
        root, win = self.folder(windows_parent)
        for rel, size in layout.items():
            if rel.endswith("/"):
                (root / rel).mkdir(parents=True, exist_ok=True)
            else:
                (root / rel).parent.mkdir(parents=True, exist_ok=True)
                self.file(root / rel, size, mtime)
        return root, win, sum(layout.values())

    def make_parents(self, folder: Path) -> None:
        missing = []
        while not folder.exists():
            missing.append(folder)
            folder = folder.parent
        for f in reversed(missing):
            f.mkdir()
            self.created.append(f)

    def cleanup(self) -> list[Path]:
        """Removes everything created, newest first; returns what is still there."""
        for p in reversed(self.created):
            if p.is_dir() and not p.is_symlink():
                shutil.rmtree(p, ignore_errors=True)
            else:
                try:
                    p.unlink()
                except FileNotFoundError:
                    pass
        left = [p for p in self.created if p.exists()]
        self.created = []
        return left


def prefix_processes(command_part: str) -> set[int]:
    """Linux ids of Wine processes of this build's prefix whose command line holds command_part."""
    prefix = str(paths.wine_root() / "prefix")
    found = set()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ")
            cmdline = cmdline.decode("utf-8", "replace")
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if command_part in cmdline and f"WINEPREFIX={prefix}".encode() in environ:
            found.add(int(entry.name))
    return found


def end_processes(pids: set[int]) -> None:
    """Ends the given processes (ones a test caused to start), by id."""
    import signal

    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
