"""Plants the sample profile (sample_plan) into the build's own Wine prefix, after removing the
one planted before.

Everything goes below the user's profile folder of the prefix, labelled by a marker file at the
profile's root. A record in the build folder (outside the prefix, so that it is no part of the
figures) lists the topmost files and folders each run made; the next run removes those and any
file of the plan still there. A path is removed only when it lies inside the profile on the
Linux side, reached without any link. The registry part goes through Wine's reg.exe, run in the
same prefix.
"""

from __future__ import annotations

import json
import os
import random
import shutil
import stat
import subprocess
import time
import urllib.parse
from dataclasses import dataclass
from pathlib import Path

from . import paths, profile_guard, sample_plan
from .sample_plan import SampleFile

WRITE_CHUNK = 1 * sample_plan.MiB
PREFIX_BYTES = 64 * sample_plan.KiB  # what the duplicate finder compares first
SPARSE_HEAD = 4 * sample_plan.KiB
WINE_TIMEOUT = 120


@dataclass
class Planted:
    files: list[SampleFile]
    home: str
    temp: str  # TEMP relative to the profile
    profile: Path  # the profile folder on the Linux side
    removed: int  # paths of the earlier sample removed first
    trash_removed: int  # sample items that Wine's shell had left in the prefix's trash

    @property
    def total(self) -> int:
        return sum(f.size for f in self.files)


def profile_relative(windows: str, home: str) -> str:
    head = home + "\\"
    if not windows.lower().startswith(head.lower()):
        raise ValueError(f"{windows!r} is not inside the profile {home!r}")
    return windows[len(head):].rstrip("\\")


def _inside(profile: Path, rel: str) -> Path | None:
    """The Linux path of rel below profile when it is plainly there (no link on the way, no
    dot-dot), else None. Names are matched ignoring case, as Windows does, so that a folder the
    prefix spells differently (Wine's StartUp) is the one used."""
    parts = rel.split("\\")
    if not rel or any(p in ("", ".", "..") or "/" in p for p in parts):
        return None
    current = profile
    for i, part in enumerate(parts):
        if not (current / part).exists() and current.is_dir():
            part = next((e.name for e in current.iterdir() if e.name.lower() == part.lower()),
                        part)
        current = current / part
        try:
            if stat.S_ISLNK(os.lstat(current).st_mode):
                return None
        except FileNotFoundError:
            return current.joinpath(*parts[i + 1:])  # nothing below can be a link
    return current


def _remove(host: Path) -> bool:
    if not host.exists() and not host.is_symlink():
        return False
    if host.is_dir() and not host.is_symlink():
        shutil.rmtree(host)
    else:
        host.unlink()
    return True


def record_path(root: Path | None) -> Path:
    return (root or paths.build_root()) / "tour" / "sample-made.json"


def _labelled(rel: str) -> bool:
    """Whether a profile-relative path carries the sample's label in one of its names."""
    labels = (sample_plan.TAG, sample_plan.APP_NAME.split()[0].lower())
    return any(label in part.lower() for part in rel.split("\\") for label in labels)


def remove_previous(profile: Path, record: Path, files: list[SampleFile]) -> int:
    """Removes what the record of an earlier run lists, and the plan's files wherever they are
    still found (a record lost with the build's tour folder); returns how many paths went.

    The record is read, not trusted: an entry is removed whole only when it lies inside the
    profile, carries the sample's label and holds no link or mount point. Other recorded
    folders (a browser's folder the sample had to make) go only once the plan's files are out
    of them and nothing but empty folders remains."""
    made = []
    if record.is_file():
        try:
            made = json.loads(record.read_text("utf-8")).get("made", [])
        except (ValueError, AttributeError):
            made = []
    made = [m for m in made if isinstance(m, str)]
    removed = 0
    for rel in made:  # files and folders the sample made, labelled
        host = _inside(profile, rel)
        if host is not None and _labelled(rel) and profile_guard.unseen_inside(host) is None \
                and _remove(host):
            removed += 1
    for rel in [f.rel for f in files] + [sample_plan.MARKER]:  # files only
        host = _inside(profile, rel)
        if host is not None and (host.is_file() or host.is_symlink()):
            host.unlink()
            removed += 1
        if host is not None:
            removed += _remove_empty_labelled_folders(profile, host.parent)
    for rel in made:  # the others, when only empty folders remain of them
        host = _inside(profile, rel)
        if host is not None and not _labelled(rel) and _remove_empty_folders(host):
            removed += 1
    record.unlink(missing_ok=True)
    return removed


def _remove_empty_folders(folder: Path) -> bool:
    """Removes folder when it holds nothing but empty folders (no file, no link); returns
    whether it went."""
    if not folder.is_dir() or folder.is_symlink():
        return False
    for here, folders, files in os.walk(folder):
        if files or any(os.path.islink(os.path.join(here, name)) for name in folders):
            return False
    for here, _, _ in sorted(os.walk(folder), key=lambda walked: -len(walked[0])):
        os.rmdir(here)
    return True


def _remove_empty_labelled_folders(profile: Path, folder: Path) -> int:
    """Removes folder and its parents while they are empty and inside a folder whose name
    carries the sample's label (the tag or the sample application's name)."""
    parts = folder.relative_to(profile).parts
    labelled = [_labelled(part) for part in parts]
    removed = 0
    for depth in range(len(parts), 0, -1):
        here = profile.joinpath(*parts[:depth])
        if not here.exists() and not here.is_symlink():
            continue  # cleaned away already, with what it held
        if not any(labelled[:depth]) or here.is_symlink() or not here.is_dir() \
                or any(here.iterdir()):
            break
        here.rmdir()
        removed += 1
    return removed


def tidy_trash(root: Path, profile: Path, junk_items: list[str]) -> int:
    """Removes from the prefix's trash folder (the XDG trash inside the build's Wine home) the
    sample's junk items that an earlier run's cleaning left there: Wine's shell neither counts
    nor empties folders in its trash. Only entries whose recorded origin is one of the sample's
    junk items are touched."""
    trash = paths.prefix_trash(root)
    real_profile = Path(os.path.realpath(profile))
    origins = {str(real_profile.joinpath(*rel.split("\\"))) for rel in junk_items}
    removed = 0
    for info in sorted((trash / "info").glob("*.trashinfo")):
        name = info.name[: -len(".trashinfo")]
        if name in ("", ".", "..") or "/" in name or "\\" in name:
            continue  # not a name Wine's shell gives an item of its trash
        origin = None
        for line in info.read_text("utf-8", "replace").splitlines():
            if line.startswith("Path="):
                # Wine records the path through the prefix's dosdevices\c: link.
                origin = os.path.realpath(urllib.parse.unquote(line[len("Path="):]))
        if origin not in origins:
            continue
        item = trash / "files" / name
        if profile_guard.unseen_inside(item) is not None:
            continue
        if item.is_symlink() or not item.exists():
            item.unlink(missing_ok=True)
        elif item.is_dir():
            shutil.rmtree(item)
        else:
            item.unlink()
        info.unlink()
        removed += 1
    return removed


def _bytes(key: str, size: int) -> bytes:
    return random.Random(f"{sample_plan.SEED}:{key}").randbytes(size)


def _write(host: Path, f: SampleFile) -> None:
    key = f.content or f.rel
    with open(host, "wb") as out:
        if f.sparse:
            out.write(_bytes(key, min(SPARSE_HEAD, f.size)))
            out.truncate(f.size)
            return
        head = 0
        if f.shared_prefix:
            head = min(PREFIX_BYTES, f.size)
            out.write(_bytes(f.shared_prefix, head))
        rng = random.Random(f"{sample_plan.SEED}:{key}")
        left = f.size - head
        while left > 0:
            n = min(WRITE_CHUNK, left)
            out.write(rng.randbytes(n))
            left -= n


def _topmost_new(profile: Path, rel: str) -> str | None:
    """rel's highest ancestor (or rel itself) below the profile that does not exist yet, as a
    path relative to the profile."""
    host = _inside(profile, rel)
    if host is None or host.exists():
        return None
    parts = host.relative_to(profile).parts
    for i in range(1, len(parts) + 1):
        if not profile.joinpath(*parts[:i]).exists():
            return "\\".join(parts[:i])
    return None


def plant_files(profile: Path, files: list[SampleFile], now: float) -> list[str]:
    """Writes the files (hard links last) with their ages; returns the topmost paths made."""
    made: list[str] = []
    for f in sorted(files, key=lambda f: bool(f.link_of)):
        host = _inside(profile, f.rel)
        if host is None:
            raise ValueError(f"sample path {f.rel!r} leaves the profile")
        top = _topmost_new(profile, f.rel)
        if top is not None and not any(top == m or top.startswith(m + "\\") for m in made):
            made.append(top)
        host.parent.mkdir(parents=True, exist_ok=True)
        if f.link_of:
            host.unlink(missing_ok=True)
            os.link(_inside(profile, f.link_of), host)
        else:
            _write(host, f)
        stamp = int(now - f.age_days * 86400)
        os.utime(host, (stamp, stamp))
    # Folders that stand for one item (an old extract folder in TEMP) carry their files' age.
    for f in files:
        if f.is_junk and f.item != f.rel:
            stamp = int(now - f.age_days * 86400)
            os.utime(_inside(profile, f.item), (stamp, stamp))
    return made


def import_registry(root: Path | None, home: str, write: bool = True) -> None:
    """Imports the sample's .reg file with the prefix's reg.exe (the file is kept in the build
    folder, outside the prefix, and only read from there)."""
    reg_file = (root or paths.build_root()) / "tour" / "sample.reg"
    reg_file.parent.mkdir(parents=True, exist_ok=True)
    reg_file.write_text(sample_plan.registry_file(home, write), encoding="utf-16")
    windows_name = "Z:" + str(reg_file.resolve()).replace("/", "\\")
    done = subprocess.run(
        paths.wine_command("reg.exe", "import", windows_name, root=root),
        stdin=subprocess.DEVNULL, capture_output=True, timeout=WINE_TIMEOUT)
    if done.returncode != 0:
        raise RuntimeError("reg import of the sample failed: "
                           + done.stderr.decode("utf-8", "replace")[-500:])


def _profile(home: str, root: Path | None) -> Path:
    if not profile_guard.is_profile_home(home):
        raise ValueError(f"the profile folder {home!r} is not C:\\users\\NAME")
    profile = paths.host_path(home, root)
    if not profile.is_dir() or profile.is_symlink():
        raise ValueError(f"{profile} is not the prefix's profile folder")
    return profile


def _clear(home: str, root: Path | None) -> tuple[Path, str, list[SampleFile], int, int]:
    """Removes the earlier sample's files, its leftovers in the trash folder and its record."""
    profile = _profile(home, root)
    temp = profile_relative(paths.windows_env("TEMP", root, WINE_TIMEOUT), home)
    files = sample_plan.sample_files(temp)
    removed = remove_previous(profile, record_path(root), files)
    trash_removed = tidy_trash(root, profile, list(sample_plan.junk_items(files)))
    return profile, temp, files, removed, trash_removed


def plant(home: str, root: Path | None = None, now: float | None = None) -> Planted:
    """Removes the earlier sample and plants a fresh one below the profile folder home."""
    profile, temp, files, removed, trash_removed = _clear(home, root)
    made = plant_files(profile, files, time.time() if now is None else now)
    (profile / sample_plan.MARKER).write_bytes(sample_plan.MARKER_TEXT.encode("utf-8"))
    made.append(sample_plan.MARKER)
    record = record_path(root)
    record.parent.mkdir(parents=True, exist_ok=True)
    record.write_text(json.dumps({"made": made}, indent=1) + "\n", "utf-8")
    import_registry(root, home)
    return Planted(files, home, temp, profile, removed, trash_removed)


def unplant(home: str, root: Path | None = None) -> int:
    """Removes the sample (files, registry entries, its items in the trash folder); returns how
    many paths went."""
    _, _, _, removed, trash_removed = _clear(home, root)
    import_registry(root, home, write=False)
    return removed + trash_removed
