"""Where the repository, the build and the isolated Wine prefix are."""

from __future__ import annotations

import os
import re
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WINE_RUN = REPO / "scripts" / "wine-run"
EXE_NAME = "Tidvale.exe"


def build_root() -> Path:
    """TIDVALE_BUILD_ROOT, or <repo>/build."""
    return Path(os.environ.get("TIDVALE_BUILD_ROOT") or REPO / "build").resolve()


def app_dir(root: Path | None = None) -> Path:
    return (root or build_root()) / "windows" / "app"


def exe_path(root: Path | None = None) -> Path:
    return app_dir(root) / EXE_NAME


def wine_root(root: Path | None = None) -> Path:
    return (root or build_root()) / "wine"


def drive_c(root: Path | None = None) -> Path:
    return wine_root(root) / "prefix" / "drive_c"


def prefix_trash(root: Path | None = None) -> Path:
    """The XDG trash of the prefix's own home, where Wine's shell puts what goes to the bin."""
    return wine_root(root) / "home" / ".local" / "share" / "Trash"


def wine_command(*args: str, root: Path | None = None) -> list[str]:
    """A command line that runs args[0] (a program or a path) in the build's prefix."""
    return [str(WINE_RUN), "--root", str(wine_root(root)), *args]


def windows_env(name: str, root: Path | None = None, timeout: float = 120) -> str:
    """An environment variable as programs in the prefix see it (asked of Wine's cmd)."""
    done = subprocess.run(wine_command("cmd.exe", "/c", f"echo %{name}%", root=root),
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                          check=True)
    return done.stdout.decode("utf-8", "replace").strip()


_DRIVE_C = re.compile(r"^[cC]:[\\/]?")


def host_path(windows_path: str, root: Path | None = None) -> Path:
    """The Linux path of a C:\\ path inside the prefix (Wine keeps the case of names on disk)."""
    if not _DRIVE_C.match(windows_path):
        raise ValueError(f"not a C: path: {windows_path!r}")
    rest = _DRIVE_C.sub("", windows_path).replace("\\", "/")
    return drive_c(root) / rest if rest else drive_c(root)


def windows_path(host: Path, root: Path | None = None) -> str:
    """The C:\\ path of a Linux path inside the prefix's drive_c."""
    rel = Path(host).resolve().relative_to(drive_c(root).resolve())
    return "C:\\" + "\\".join(rel.parts)
