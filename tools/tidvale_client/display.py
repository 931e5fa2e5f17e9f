"""Text shown to a person: byte counts, shortened paths, the progress line, scan summaries,
and reply values turned into JSON."""

from __future__ import annotations

import array
import base64
import math
from typing import Any

from . import method_codec

BYTE_UNITS = ("B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB")
ELLIPSIS = "…"


def human_bytes(n: int) -> str:
    """1024-based: "0 B", "999 B", "1.0 KiB", "12.5 MiB"; negative counts keep their sign."""
    sign = "-" if n < 0 else ""
    value = float(abs(n))
    unit = 0
    while value >= 1024 and unit < len(BYTE_UNITS) - 1:
        value /= 1024
        unit += 1
    if unit == 0:
        return f"{sign}{int(value)} B"
    text = f"{value:.1f}"
    if float(text) >= 1024 and unit < len(BYTE_UNITS) - 1:  # 1023.96 KiB rounds up a unit
        value /= 1024
        unit += 1
        text = f"{value:.1f}"
    return f"{sign}{text} {BYTE_UNITS[unit]}"


def shorten_path(path: str, width: int) -> str:
    """Fits a path into width characters by replacing its middle with an ellipsis, keeping the
    start (drive, first folder) and as much of the end (the file name) as fits."""
    if width <= 0:
        return ""
    if len(path) <= width:
        return path
    if width <= len(ELLIPSIS):
        return path[-width:]
    keep = width - len(ELLIPSIS)
    head = min(keep // 3, len(path))
    tail = keep - head
    return path[:head] + ELLIPSIS + path[len(path) - tail:]


def progress_line(event: Any, width: int) -> str:
    """One progress event as a single line of at most width characters."""
    if not isinstance(event, dict):
        return shorten_path(f"event: {event!r}", width)
    task = str(event.get("task", "?"))
    count = event.get("count", 0)
    size = event.get("bytes", 0)
    head = f"{task}: {count} items, {human_bytes(int(size) if isinstance(size, int) else 0)}"
    path = str(event.get("path", ""))
    if not path or len(head) + 2 >= width:
        return head[:width]
    return head + "  " + shorten_path(path, width - len(head) - 2)


def junk_summary(reply: Any) -> str:
    """A readable summary of a "scanJunk" reply: one line per category, then the total."""
    if not isinstance(reply, dict) or not isinstance(reply.get("categories"), list):
        raise ValueError(f"not a junk scan reply: {reply!r}")
    rows = []
    for cat in reply["categories"]:
        items = cat.get("items", [])
        rows.append((str(cat.get("id", "?")), human_bytes(cat.get("size", 0)), len(items)))
    total = reply.get("total", 0)
    count = reply.get("count", 0)
    name_w = max([len(r[0]) for r in rows] + [len("total")])
    size_w = max([len(r[1]) for r in rows] + [len(human_bytes(total))])
    lines = [f"{name:<{name_w}}  {size:>{size_w}}  {n} {_items(n)}" for name, size, n in rows]
    lines.append(f"{'total':<{name_w}}  {human_bytes(total):>{size_w}}  {count} {_items(count)}")
    if reply.get("cancelled"):
        lines.append("(cancelled: the figures are partial)")
    return "\n".join(lines)


def _items(n: int) -> str:
    return "item" if n == 1 else "items"


def to_json(value: Any) -> Any:
    """A reply value as JSON-compatible data: bytes as base64 text, typed lists as lists, map
    keys as text, non-finite doubles as text."""
    if isinstance(value, (bytes, bytearray)):
        return base64.b64encode(bytes(value)).decode("ascii")
    if isinstance(value, array.array):
        return [to_json(x) for x in value]
    if isinstance(value, (list, tuple)):
        return [to_json(x) for x in value]
    if isinstance(value, dict):
        return {(k if isinstance(k, str) else _key_text(k)): to_json(v) for k, v in value.items()}
    if isinstance(value, float) and not math.isfinite(value):
        return repr(value)
    if isinstance(value, method_codec.MethodError):
        return {"error": {"code": value.code, "message": value.message,
                          "details": to_json(value.details)}}
    if isinstance(value, int) and not isinstance(value, bool):
        return int(value)
    return value


def _key_text(key: Any) -> str:
    import json

    return json.dumps(to_json(key))
