"""Readable views of the system methods: the machine summary ("systemInfo"), the memory report
with its largest processes ("memoryInfo") and the optimiser's result ("optimizeMemory")."""

from __future__ import annotations

from typing import Any

from .display import human_bytes

LABEL_WIDTH = 11  # the width of the run command's overview labels, colon included


def _require(reply: Any, keys: set[str], what: str) -> dict:
    if not isinstance(reply, dict) or not keys <= set(reply):
        raise ValueError(f"not a {what} reply: {reply!r}")
    return reply


def _row(label: str, text: str) -> str:
    return f"{label + ':':<{LABEL_WIDTH}} {text}"


def _used_of_total(used: int, total: int) -> str:
    share = f" ({100 * used / total:.0f}%)" if total > 0 else ""
    return f"{human_bytes(used)} used of {human_bytes(total)}{share}"


def disk_line(disk: dict) -> str:
    """One disk: its name, used and total space, and what kind of drive it is."""
    notes = [n for n, on in (("system", disk.get("isSystem")),
                             ("removable", disk.get("isRemovable"))) if on]
    kind = f" [{', '.join(notes)}]" if notes else ""
    space = _used_of_total(disk.get("used", 0), disk.get("total", 0))
    return f"{disk.get('name', '?')}  {space}{kind}"


def overview_lines(reply: Any) -> list[str]:
    """The system summary as the run command opens with it: edition and version, processor and
    cores, memory in use, and each disk with its used and total space."""
    r = _require(reply, {"os", "osVersion", "cpu", "cores", "memTotal", "memUsed", "disks"},
                 "systemInfo")
    cores = r["cores"]
    lines = [
        _row("windows", f"{r['os']} (version {r['osVersion']}, {r.get('arch', '?')})"),
        _row("processor", f"{r['cpu'] or 'unknown'}, {cores} {'core' if cores == 1 else 'cores'}"),
        _row("memory", _used_of_total(r["memUsed"], r["memTotal"])),
    ]
    lines += [_row("disk", disk_line(d)) for d in r["disks"]] or [_row("disks", "none readable")]
    return lines


def system_summary(reply: Any) -> str:
    """"systemInfo": the overview plus names, uptime and home folder."""
    r = _require(reply, {"host", "user", "uptime", "home"}, "systemInfo")
    hours, rest = divmod(int(r["uptime"]), 3600)
    lines = overview_lines(r) + [
        _row("computer", r["host"] or "unknown"),
        _row("user", r["user"] or "unknown"),
        _row("uptime", f"{hours} h {rest // 60:02d} min"),
        _row("home", r["home"] or "unknown"),
    ]
    return "\n".join(lines)


def memory_summary(reply: Any) -> str:
    """"memoryInfo": the memory figures, then the largest processes with their working sets."""
    r = _require(reply, {"total", "used", "free", "cached", "pressure", "topProcesses"},
                 "memoryInfo")
    lines = [
        _row("memory", _used_of_total(r["used"], r["total"])),
        _row("free", human_bytes(r["free"])),
        _row("cached", human_bytes(r["cached"])),
        _row("pressure", f"{r['pressure']}%"),
    ]
    processes = r["topProcesses"]
    if not processes:
        return "\n".join(lines + ["no process could be measured"])
    sizes = [human_bytes(p.get("mem", 0)) for p in processes]
    pid_w = max(len("pid"), *(len(str(p.get("pid", ""))) for p in processes))
    name_w = max(len("process"), *(len(str(p.get("name", ""))) for p in processes))
    size_w = max(len("working set"), *(len(s) for s in sizes))
    lines.append("")
    lines.append(f"{'pid':>{pid_w}}  {'process':<{name_w}}  {'working set':>{size_w}}")
    for p, size in zip(processes, sizes):
        pid, name = p.get("pid", ""), p.get("name", "")
        lines.append(f"{pid:>{pid_w}}  {name:<{name_w}}  {size:>{size_w}}")
    return "\n".join(lines)


def optimizer_summary(reply: Any) -> str:
    """"optimizeMemory": memory in use before and after, what was freed, processes trimmed."""
    r = _require(reply, {"before", "after", "freed", "trimmed"}, "optimizeMemory")
    lines = [
        _row("before", f"{human_bytes(r['before'])} used"),
        _row("after", f"{human_bytes(r['after'])} used"),
        _row("freed", human_bytes(r["freed"])),
        _row("trimmed", f"{r['trimmed']} {'process' if r['trimmed'] == 1 else 'processes'}"),
    ]
    if r.get("error"):
        lines.append(_row("error", r["error"]))
    return "\n".join(lines)
