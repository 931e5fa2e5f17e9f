"""Readable views of the storage scans: the largest files, duplicate groups with the bytes they
waste, and the disk usage tree."""

from __future__ import annotations

from typing import Any

from .display import human_bytes

TREE_BRANCH, TREE_LAST, TREE_PIPE, TREE_SPACE = "├─ ", "└─ ", "│  ", "   "
GROUPS_SHOWN = 20


def _require(reply: Any, keys: set[str], what: str) -> dict:
    if not isinstance(reply, dict) or not keys <= set(reply):
        raise ValueError(f"not a {what} reply: {reply!r}")
    return reply


def _files(n: int) -> str:
    return f"{n} file" if n == 1 else f"{n} files"


def _cancelled(reply: dict) -> list[str]:
    return ["(cancelled: the figures are partial)"] if reply.get("cancelled") else []


def large_files_summary(reply: Any) -> str:
    """One line per file, largest first: size, then path."""
    reply = _require(reply, {"items", "scanned"}, "large-file scan")
    items = reply["items"]
    sizes = [human_bytes(i.get("size", 0)) for i in items]
    width = max((len(s) for s in sizes), default=0)
    lines = [f"{size:>{width}}  {item.get('path', '?')}" for size, item in zip(sizes, items)]
    lines.append(f"{len(items)} large {_files(len(items)).split(' ', 1)[1]} among "
                 f"{reply['scanned']} scanned")
    return "\n".join(lines + _cancelled(reply))


def duplicates_summary(reply: Any) -> str:
    """Each group (most waste first): its size, copies and waste, then its files indented."""
    reply = _require(reply, {"groups", "scanned", "wasted"}, "duplicate scan")
    groups = reply["groups"]
    lines = []
    for group in groups[:GROUPS_SHOWN]:
        files = group.get("files", [])
        lines.append(f"{len(files)} copies of {human_bytes(group.get('size', 0))}, "
                     f"{human_bytes(group.get('wasted', 0))} wasted  "
                     f"sha256 {str(group.get('hash', ''))[:12]}…")
        lines.extend(f"    {f.get('path', '?')}" for f in files)
    if len(groups) > GROUPS_SHOWN:
        lines.append(f"… and {len(groups) - GROUPS_SHOWN} more groups")
    lines.append(f"{len(groups)} groups, {human_bytes(reply['wasted'])} wasted, "
                 f"{_files(reply['scanned'])} scanned")
    return "\n".join(lines + _cancelled(reply))


def disk_summary(reply: Any) -> str:
    """The size tree: each node's size, file count and name, children indented below it."""
    reply = _require(reply, {"name", "size", "files", "children"}, "disk analysis")
    lines = [f"{reply['name']}  {human_bytes(reply['size'])}, {_files(reply['files'])}"]

    def walk(children: list, indent: str) -> None:
        for i, child in enumerate(children):
            last = i == len(children) - 1
            files = "" if child.get("isOther") else f", {_files(child.get('files', 0))}"
            slash = "\\" if child.get("isDir") else ""
            lines.append(f"{indent}{TREE_LAST if last else TREE_BRANCH}{child.get('name', '?')}"
                         f"{slash}  {human_bytes(child.get('size', 0))}{files}")
            walk(child.get("children", []), indent + (TREE_SPACE if last else TREE_PIPE))

    walk(reply["children"], "")
    return "\n".join(lines + _cancelled(reply))
