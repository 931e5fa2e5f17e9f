"""The check every path passes before the run command removes it: it must name something inside
the user's profile folder of the build's own prefix, as Windows sees it (C:\\users\\NAME\\...),
and lie there on the Linux side too, reached without any link. A folder must also be whole:
nothing inside it may be a symbolic link or a mount point.

Under Wine, a Linux symbolic link to a file lists as a plain file with its target's id, and
removing it through a Windows handle removes the target: no Windows code can tell the two apart,
so only this check, made on the Linux side, can keep such a link out of what is removed.

Under Wine, drive Z: is the Linux root, so a path that is not plainly inside the prefix's
profile is never handed to a deleting method, whatever the program itself would do with it.
"""

from __future__ import annotations

import os
import re
import stat
from pathlib import Path

from . import paths

_HOME = re.compile(r"^[cC]:\\users\\[^\\/:*?\"<>|]+$", re.IGNORECASE)
_BAD_CHARS = set('/:*?"<>|\0')


def is_profile_home(home: object) -> bool:
    """Whether home is a profile folder as Windows names it in the prefix: C:\\users\\NAME."""
    return isinstance(home, str) and bool(_HOME.match(home))


def refusal(path: object, home: str, root: Path | None = None) -> str | None:
    """Why path may not be removed, or None when it is inside the profile folder home."""
    if not is_profile_home(home):
        return f"the profile folder {home!r} is not C:\\users\\NAME"
    if not isinstance(path, str):
        return "not a text path"
    head = home + "\\"
    if len(path) <= len(head) or path[:len(head)].lower() != head.lower():
        return "not inside the profile folder"
    rest = path[len(head):]
    if any(c in _BAD_CHARS for c in rest):
        return "holds a character that is no part of a plain name"
    parts = rest.split("\\")
    if any(p in ("", ".", "..") or p != p.rstrip(" .") for p in parts):
        return "holds an empty, dot or dot-dot component, or one ending in a dot or space"
    return _host_refusal(paths.host_path(home, root), parts)


def _host_refusal(profile: Path, parts: list[str]) -> str | None:
    """The Linux side: every component below the profile exists as itself (no link), and the
    whole lies under the prefix's drive_c."""
    try:
        if stat.S_ISLNK(os.lstat(profile).st_mode):
            return "the profile folder is a link"
        current = profile
        for part in parts:
            current = current / part
            if stat.S_ISLNK(os.lstat(current).st_mode):
                return f"{current} is a link"
        real = os.path.realpath(current)
        if not real.startswith(os.path.realpath(profile) + os.sep):
            return "does not resolve inside the profile folder"
        return unseen_inside(current)
    except FileNotFoundError:
        return "does not exist"
    except OSError as e:
        return f"cannot be checked: {e}"


def unseen_inside(folder: Path) -> str | None:
    """Why the folder cannot be seen whole from Windows (it holds a symbolic link or a mount
    point), or None when it holds neither (or is no folder)."""
    if not folder.is_dir() or folder.is_symlink():
        return None
    device = os.lstat(folder).st_dev
    for here, folders, files in os.walk(folder, onerror=_raise):
        for name in folders + files:
            path = os.path.join(here, name)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                return f"holds a link: {path}"
            if info.st_dev != device or (stat.S_ISDIR(info.st_mode) and os.path.ismount(path)):
                return f"holds a mount point: {path}"
    return None


def _raise(error: OSError) -> None:
    raise error


def split_cleanable(items: list[str], home: str, root: Path | None = None
                    ) -> tuple[list[str], list[tuple[str, str]]]:
    """The items that may be removed, and the others with the reason each was held back."""
    allowed, held = [], []
    for item in items:
        reason = refusal(item, home, root)
        if reason is None:
            allowed.append(item)
        else:
            held.append((item, reason))
    return allowed, held
