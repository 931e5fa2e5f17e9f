"""Readable views of the software replies: installed applications and startup items."""

from __future__ import annotations

from typing import Any

from .display import human_bytes


def _rows_table(header: tuple[str, ...], rows: list[tuple[str, ...]], right: set[int]) -> list[str]:
    widths = [max([len(header[i])] + [len(r[i]) for r in rows]) for i in range(len(header))]

    def line(cells: tuple[str, ...]) -> str:
        parts = [c.rjust(widths[i]) if i in right else c.ljust(widths[i])
                 for i, c in enumerate(cells)]
        return "  ".join(parts).rstrip()

    return [line(header)] + [line(r) for r in rows]


def apps_summary(reply: Any) -> str:
    """A "listApps" reply: one line per application (name, version, publisher, size, icon),
    in reply order (largest first), then the count and total size."""
    if not isinstance(reply, dict) or not isinstance(reply.get("apps"), list):
        raise ValueError(f"not an application list: {reply!r}")
    apps = reply["apps"]
    rows = [(str(a.get("name", "?")), str(a.get("version", "")), str(a.get("publisher", "")),
             human_bytes(int(a.get("size", 0))), "yes" if a.get("icon") else "no") for a in apps]
    lines = _rows_table(("name", "version", "publisher", "size", "icon"), rows, right={3})
    total = sum(int(a.get("size", 0)) for a in apps)
    lines.append(f"{len(apps)} application{'' if len(apps) == 1 else 's'}, {human_bytes(total)}")
    return "\n".join(lines)


def startup_summary(reply: Any) -> str:
    """A "listStartupItems" reply: one line per item (on/off, kind, name, command), in reply
    order, then how many are enabled."""
    if not isinstance(reply, dict) or not isinstance(reply.get("items"), list):
        raise ValueError(f"not a startup item list: {reply!r}")
    items = reply["items"]
    rows = [("on" if i.get("enabled") else "off", str(i.get("kind", "?")), str(i.get("name", "?")),
             str(i.get("path", ""))) for i in items]
    lines = _rows_table(("enabled", "kind", "name", "command"), rows, right=set())
    enabled = sum(1 for i in items if i.get("enabled"))
    lines.append(f"{len(items)} startup item{'' if len(items) == 1 else 's'}, {enabled} enabled")
    return "\n".join(lines)
