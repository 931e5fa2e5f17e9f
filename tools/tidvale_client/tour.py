"""The run command's tour: the whole cleaning loop of the program on the build's own prefix.

Seven steps, each timed and with live progress (system overview, junk, largest files, duplicate
groups, disk usage with a treemap, applications with their leftovers, startup items), then the
cleaning: the junk found inside the profile folder goes to the Recycle Bin, the bin is shown and
emptied (only after planting the sample: with --no-sample nothing is removed). The figures of every step are also written as JSON beside the treemap (build/tour), so
that runs can be compared.
"""

from __future__ import annotations

import json
import os
import time
from pathlib import Path
from typing import Any, Callable, TextIO

from . import (display, paths, profile_guard, sample_profile, software_views, storage_views,
               system_views)
from .display import human_bytes
from .process import TidvaleProcess
from .treemap_svg import write_treemap

STEPS = 7
LARGEST_SHOWN = 10
LEFTOVER_APPS = 10
DISK_DEPTH = 2
RECYCLE = "recycle:"
OVERVIEW_METHODS = (("deviceId", "device id"), ("deviceName", "computer"), ("homeDir", "home"))


def _tree_bytes(folder: Path) -> int:
    total = 0
    for here, _, names in os.walk(folder):
        total += sum(os.lstat(os.path.join(here, n)).st_size for n in names)
    return total


def tour_dir(root: Path) -> Path:
    return root / "tour"


class Tour:
    """One tour through a running program; figures collects what each step found."""

    def __init__(self, prog: TidvaleProcess, root: Path, out: TextIO, err: TextIO,
                 finish_progress: Callable[[], None], timeout: float) -> None:
        self.prog, self.root, self.out, self.err = prog, root, out, err
        self.finish_progress = finish_progress
        self.timeout = timeout
        self.figures: dict[str, Any] = {}
        self.home = ""
        self.junk_reply: dict = {"categories": []}  # the junk step's reply, cleaned afterwards

    # -----------------------------------------------------------------------------------------

    def say(self, text: str = "") -> None:
        self.out.write(text + "\n")
        self.out.flush()

    def call(self, method: str, args: Any = None) -> Any:
        reply = self.prog.call(method, args, timeout=self.timeout).reply
        self.finish_progress()
        if not isinstance(reply, (dict, str)):
            raise ValueError(f"{method} answered {reply!r}")
        return reply

    def step(self, number: int | str, title: str, body: Callable[[], list[str]]) -> None:
        label = f"[{number}/{STEPS}]" if isinstance(number, int) else f"[{number}]"
        self.err.write(f"{label} {title}…\n")
        self.err.flush()
        start = time.monotonic()
        lines = body()
        took = time.monotonic() - start
        self.say(f"\n{label} {title}  ({took:.2f} s)")
        for line in lines:
            self.say("    " + line)

    # -----------------------------------------------------------------------------------------

    def overview(self) -> list[str]:
        lines = system_views.overview_lines(self.call("systemInfo"))
        for method, label in OVERVIEW_METHODS:
            reply = self.call(method)
            lines.append(f"{label + ':':<11} {reply}")
        return lines

    def junk(self) -> list[str]:
        reply = self.call("scanJunk")
        self.junk_reply = reply
        self.figures["junk"] = {
            "total": reply["total"], "count": reply["count"],
            "categories": {c["id"]: c["size"] for c in reply["categories"]},
            "items": {i["path"]: i["size"] for c in reply["categories"] for i in c["items"]}}
        return display.junk_summary(reply).splitlines()

    def largest(self) -> list[str]:
        reply = self.call("scanLargeFiles", {"minSize": 1})
        reply = dict(reply, items=reply["items"][:LARGEST_SHOWN])
        # Files of equal size come in no set order: the figures sort them, so runs compare.
        self.figures["largest"] = sorted(([i["path"], i["size"]] for i in reply["items"]),
                                         key=lambda e: (-e[1], e[0]))
        lines = storage_views.large_files_summary(reply).splitlines()
        lines[-1] = f"the {len(reply['items'])} largest of {reply['scanned']} files scanned " \
                    "(AppData, hidden and system files are left out)"
        return lines

    def duplicates(self) -> list[str]:
        reply = self.call("scanDuplicates", {})
        self.figures["duplicates"] = {
            "wasted": reply["wasted"],
            "groups": sorted([[f["path"] for f in g["files"]], g["size"], g["wasted"]]
                             for g in reply["groups"])}
        return storage_views.duplicates_summary(reply).splitlines()

    def disk(self) -> list[str]:
        reply = self.call("analyzeDisk", {"path": self.home, "depth": DISK_DEPTH})
        nodes = []

        def collect(node: dict) -> None:
            for child in node.get("children", []):
                nodes.append([child["path"] or child["name"], child["size"], child["files"]])
                collect(child)

        collect(reply)
        self.figures["disk"] = {"size": reply["size"], "files": reply["files"],
                                "nodes": sorted(nodes)}
        svg = write_treemap(reply, tour_dir(self.root) / "profile-treemap.svg")
        self.figures["treemap"] = str(svg)
        return storage_views.disk_summary(reply).splitlines() + [f"treemap: {svg}"]

    def apps(self) -> list[str]:
        apps = self.call("listApps")["apps"]
        lines = software_views.apps_summary({"apps": apps}).splitlines()
        found = {}
        for app in apps[:LEFTOVER_APPS]:
            items = self.call("appLeftovers", {"name": app["name"],
                                               "publisher": app.get("publisher", "")})["items"]
            found[app["name"]] = [[i["path"], i["size"], i["weak"]] for i in items]
            lines.append(f"leftovers of {app['name']}: "
                         + (f"{len(items)}, {human_bytes(sum(i['size'] for i in items))}"
                            if items else "none"))
            for i in items:
                weak = "  (weak: first word only, never preselected)" if i["weak"] else ""
                lines.append(f"    {human_bytes(i['size']):>10}  {i['name']}{weak}")
        self.figures["apps"] = {"apps": sorted([a["name"], a["size"]] for a in apps),
                                "leftovers": found}
        return lines

    def startup(self) -> list[str]:
        reply = self.call("listStartupItems")
        self.figures["startup"] = sorted([i["id"], i["enabled"]] for i in reply["items"])
        return software_views.startup_summary(reply).splitlines()

    # -----------------------------------------------------------------------------------------

    def bin_bytes(self) -> int:
        """What the Recycle Bin holds by the shell's own query (the junk scan's "trash")."""
        reply = self.call("scanJunk")
        trash = next(c for c in reply["categories"] if c["id"] == "trash")
        return int(trash["size"])

    def clean(self) -> list[str]:
        found = [i["path"] for c in self.junk_reply["categories"] for i in c["items"]
                 if i["path"] != RECYCLE]
        allowed, held = profile_guard.split_cleanable(found, self.home, self.root)
        lines = [f"{len(allowed)} junk items inside {self.home} go to the Recycle Bin"]
        lines += [f"kept (not inside the profile folder): {p}  [{why}]" for p, why in held]
        record: dict[str, Any] = {"asked": sorted(allowed), "held": sorted(p for p, _ in held)}
        if allowed:
            reply = self.call("deleteItems", {"paths": allowed, "toTrash": True})
            lines.append(f"freed: {human_bytes(reply['freed'])} by the program's count (items "
                         "for which the bin did not grow, or that were purged from it)")
            lines.append(f"left in the bin: {len(reply['inTrash'])} items, "
                         f"{human_bytes(reply['inTrashBytes'])}")
            lines += [f"failed: {p}" for p in reply["failed"]]
            record.update(freed=reply["freed"], inTrash=sorted(reply["inTrash"]),
                          inTrashBytes=reply["inTrashBytes"], failed=sorted(reply["failed"]))
        before = self.bin_bytes()
        lines.append(f"the Recycle Bin holds {human_bytes(before)} (the shell's count)")
        lines += self.trash_folder_lines("before emptying")
        emptied = self.call("emptyTrash")
        after = self.bin_bytes()
        lines.append(f"emptied: {human_bytes(emptied['freed'])} freed"
                     + (", emptying failed" if emptied["failed"] else "")
                     + f"; the bin now holds {human_bytes(after)}")
        lines += self.trash_folder_lines("after emptying", explain=True)
        record.update(binBefore=before, emptied=emptied["freed"], binAfter=after)
        self.figures["clean"] = record
        return lines

    def trash_folder_lines(self, when: str, explain: bool = False) -> list[str]:
        """What the prefix's trash folder really holds, read on the Linux side: under Wine the
        shell's Recycle Bin is this XDG trash inside the build's Wine home."""
        files = paths.prefix_trash(self.root) / "files"
        entries = sorted(files.iterdir()) if files.is_dir() else []
        folders = [e for e in entries if e.is_dir() and not e.is_symlink()]
        held = sum(_tree_bytes(f) for f in folders)
        self.figures.setdefault("trashFolder", {})[when] = [len(entries), len(folders), held]
        line = f"the prefix's trash folder {when}: {len(entries)} entries"
        if not folders:
            return [line]
        line += f", {len(folders)} of them folders holding {human_bytes(held)}"
        if not explain:
            return [line]
        return [line + ":",
                "    Wine's shell neither counts nor empties folders in its trash, so the program "
                "saw no growth",
                "    of the bin for them and counted them as freed; they stay in " + str(files)]

    # -----------------------------------------------------------------------------------------

    def run(self, plant: bool) -> None:
        self.home = self.call("homeDir")
        self.say(f"Tidvale tour of the build's Wine prefix ({paths.wine_root(self.root)})")
        if plant:
            start = time.monotonic()
            planted = sample_profile.plant(self.home, self.root)
            junk = sum(f.size for f in planted.files if f.is_junk)
            self.say(f"sample: {len(planted.files)} files, {human_bytes(planted.total)} "
                     f"({human_bytes(junk)} of it junk), an application and startup items, "
                     f"planted in {self.home} ({time.monotonic() - start:.2f} s); the earlier "
                     f"sample's {planted.removed} paths removed first")
            if planted.trash_removed:
                self.say(f"sample: {planted.trash_removed} items of the earlier sample removed "
                         "from the prefix's trash folder, where Wine's shell had left them")
        else:
            self.say("sample: not planted (--no-sample): the prefix is scanned as it is")
        self.step(1, "System overview", self.overview)
        self.step(2, "Junk", self.junk)
        self.step(3, f"The {LARGEST_SHOWN} largest files in the profile", self.largest)
        self.step(4, "Duplicate files in the profile", self.duplicates)
        self.step(5, f"Disk usage of the profile, {DISK_DEPTH} levels", self.disk)
        self.step(6, "Applications and their leftovers", self.apps)
        self.step(7, "Startup items", self.startup)
        if plant:
            self.step("clean", "Cleaning the junk found in the profile", self.clean)
        else:
            self.say("\nclean: skipped (--no-sample): a scan of the prefix as it is removes nothing")
        record = tour_dir(self.root) / "figures.json"
        record.write_text(json.dumps(self.figures, indent=1, ensure_ascii=False) + "\n", "utf-8")
        self.say(f"\nfigures: {record}\ntreemap: {self.figures['treemap']}")
