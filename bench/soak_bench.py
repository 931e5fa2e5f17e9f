#!/usr/bin/env python3
"""Soak: one Tidvale.exe kept busy with 10 to 12 calls in flight, a seeded mix of what the
interface asks for: the five scans of a small generated tree, deletions in the soak's own folders
(permanent and to the bin), system figures, cancels and emptying the bin of the build's own
prefix, with the event stream listened to throughout. The program's memory is read from Linux
(/proc) after a warm-up and after every further thousand calls; the figure is the last reading
over the one taken after the warm-up (goal: at most 1.10), also for the private (anonymous)
resident memory alone.

Deletions to the bin send only their loose file there (their folder goes permanently) unless
--folders-to-bin: Wine's shell never empties a folder from its bin, and its SHEmptyRecycleBinW
leaks memory on every call for each item it leaves there, so with folders in the bin the climb is
Wine's and grows with every folder. Tidvale's own memory is what the default mix measures.

Usage: soak_bench.py [--calls N] [--warmup N] [--in-flight N] [--seed N]
Environment: TIDVALE_BUILD_ROOT (default <repo>/build).
"""

from __future__ import annotations

import argparse
import os
import random
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))

from tidvale_client import paths  # noqa: E402
from tidvale_client.process import NATIVE_CHANNEL, TidvaleProcess  # noqa: E402
from tidvale_client import method_codec  # noqa: E402

SOAK_FOLDER = "tidvale-soak"
REPLY_TIMEOUT = 300.0
GOAL = 1.10


def plant_tree(root: Path, rng: random.Random) -> None:
    """12 folders of 12 files, a third of them copies of each other, sizes up to 64 KiB."""
    shared = [rng.randbytes(rng.randrange(1, 65536)) for _ in range(8)]
    for folder in range(12):
        for index in range(12):
            path = root / f"folder{folder:02}" / f"sub{index % 3}" / f"file{index:02}.bin"
            path.parent.mkdir(parents=True, exist_ok=True)
            body = shared[index % 8] if index % 3 == 0 else rng.randbytes(rng.randrange(1, 65536))
            path.write_bytes(body)


class Mix:
    """The calls of the soak, drawn in a fixed proportion from a seeded generator."""

    def __init__(self, soak_root: Path, rng: random.Random, only: list[str] | None = None,
                 trash_share: float = 0.3, folders_to_bin: bool = False) -> None:
        self.rng = rng
        self.trash_share = trash_share
        self.folders_to_bin = folders_to_bin
        self.soak_root = soak_root
        self.tree = paths.windows_path(soak_root / "tree")
        self.doomed = soak_root / "doomed"
        self.next_doomed = 0
        self.kinds = (["scanJunk", "scanLargeFiles", "scanDuplicates", "analyzeDisk", "sizeOf"] * 2
                      + ["deleteItems"] * 3 + ["systemInfo", "memoryInfo", "cancel", "emptyTrash"])
        if only:
            self.kinds = [kind for kind in self.kinds if kind in only]

    def _doomed_paths(self, to_bin: bool) -> list[str]:
        """A fresh folder of a few files and one loose file for one deletion; to the bin, only
        the file unless folders_to_bin (Wine's shell never empties a folder from its bin, and
        leaks on every "emptyTrash" for each one left there)."""
        self.next_doomed += 1
        loose = self.doomed / f"loose{self.next_doomed}.tmp"
        loose.parent.mkdir(parents=True, exist_ok=True)
        loose.write_bytes(b"soak")
        if to_bin and not self.folders_to_bin:
            return [paths.windows_path(loose)]
        folder = self.doomed / f"d{self.next_doomed}"
        (folder / "inner").mkdir(parents=True)
        for index in range(3):
            (folder / "inner" / f"f{index}.tmp").write_bytes(b"x" * (index * 100))
        return [paths.windows_path(folder), paths.windows_path(loose)]

    def next_call(self) -> tuple[str, object]:
        kind = self.rng.choice(self.kinds)
        if kind == "scanLargeFiles":
            return kind, {"root": self.tree, "minSize": 1000}
        if kind == "scanDuplicates":
            return kind, {"root": self.tree, "minSize": 1}
        if kind == "analyzeDisk":
            return kind, {"path": self.tree, "depth": 2}
        if kind == "sizeOf":
            return kind, {"path": self.tree}
        if kind == "deleteItems":
            to_bin = self.rng.random() < self.trash_share
            return kind, {"paths": self._doomed_paths(to_bin), "toTrash": to_bin}
        return kind, None


def program_pid(app: TidvaleProcess) -> int:
    """The Linux process that runs Tidvale.exe: in the session the client started it in."""
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            # Wine names the process after the program; the scripts around it keep their names.
            name = stat[stat.index("(") + 1:stat.rindex(")")]
            session = int(stat.rsplit(")", 1)[1].split()[3])
            if session == app.proc.pid and name == paths.EXE_NAME:
                return int(entry)
        time.sleep(0.2)
    raise RuntimeError("the program's process was not found")


def open_files_and_threads(pid: int) -> str:
    """How many file descriptors and threads the process has (a leaked handle or a stuck call
    shows there first)."""
    return (f"fds={len(os.listdir(f'/proc/{pid}/fd'))} "
            f"threads={len(os.listdir(f'/proc/{pid}/task'))}")


def memory_kib(pid: int) -> tuple[int, int]:
    """Resident and anonymous resident memory in KiB."""
    fields = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        name, _, value = line.partition(":")
        fields[name] = value.split()[0] if value.split() else "0"
    return int(fields["VmRSS"]), int(fields["RssAnon"])


class Driver:
    """Keeps `in_flight` calls outstanding and counts the replies."""

    def __init__(self, app: TidvaleProcess, mix: Mix, in_flight: int) -> None:
        self.app = app
        self.mix = mix
        self.in_flight = in_flight
        self.outstanding: dict[int, str] = {}
        self.answered = 0
        self.errors: dict[str, int] = {}

    def run(self, calls: int) -> None:
        sent = 0
        while sent < calls or self.outstanding:
            while sent < calls and len(self.outstanding) < self.in_flight:
                method, args = self.mix.next_call()
                rid = self.app.send_raw(NATIVE_CHANNEL,
                                        method_codec.encode_method_call(method, args))
                self.outstanding[rid] = method
                sent += 1
            rid, raw = self.app.take_any_reply(list(self.outstanding), REPLY_TIMEOUT)
            method = self.outstanding.pop(rid)
            reply = method_codec.decode_envelope(raw)
            if isinstance(reply, method_codec.MethodError):
                self.errors[method] = self.errors.get(method, 0) + 1
            self.answered += 1
        self.app.forget_messages()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--calls", type=int, default=10_000)
    parser.add_argument("--warmup", type=int, default=1_000)
    parser.add_argument("--in-flight", type=int, default=11)
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("--only", help="comma-separated methods: the mix narrowed to them")
    parser.add_argument("--trash-share", type=float, default=0.3,
                        help="the share of deletions that go to the Recycle Bin")
    parser.add_argument("--folders-to-bin", action="store_true",
                        help="deletions to the bin take their folder too (Wine's climb, see above)")
    options = parser.parse_args()

    rng = random.Random(options.seed)
    soak_root = paths.drive_c() / SOAK_FOLDER
    shutil.rmtree(soak_root, ignore_errors=True)
    plant_tree(soak_root / "tree", rng)
    mix = Mix(soak_root, rng, options.only.split(",") if options.only else None,
              options.trash_share, options.folders_to_bin)
    started = time.monotonic()
    with TidvaleProcess() as app:
        app.listen()
        pid = program_pid(app)
        driver = Driver(app, mix, options.in_flight)
        driver.run(options.warmup)
        first = memory_kib(pid)
        print(f"after {options.warmup} warm-up calls: rss={first[0] // 1024} MiB "
              f"anon={first[1] // 1024} MiB {open_files_and_threads(pid)}", flush=True)
        readings = [first]
        done = 0
        while done < options.calls:
            step = min(1_000, options.calls - done)
            driver.run(step)
            done += step
            readings.append(memory_kib(pid))
            print(f"after {done} more calls: rss={readings[-1][0] // 1024} MiB "
                  f"anon={readings[-1][1] // 1024} MiB {open_files_and_threads(pid)} "
                  f"({time.monotonic() - started:.0f} s)",
                  flush=True)
        exit_code = app.quit()
    shutil.rmtree(soak_root, ignore_errors=True)
    rss_ratio = readings[-1][0] / first[0]
    anon_ratio = readings[-1][1] / first[1]
    peak_ratio = max(r[0] for r in readings) / first[0]
    print(f"soak calls={options.calls} answered={driver.answered - options.warmup} "
          f"errors={sum(driver.errors.values())} {dict(sorted(driver.errors.items()))} "
          f"exit={exit_code}")
    print(f"soak rss end/start={rss_ratio:.3f} peak/start={peak_ratio:.3f} "
          f"anon end/start={anon_ratio:.3f} (goal <= {GOAL:.2f})")
    return 0 if rss_ratio <= GOAL and exit_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
