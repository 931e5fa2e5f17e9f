"""The system methods through the real program: "systemInfo", "memoryInfo", "optimizeMemory",
their reply shapes and codec widths, their figures against what the host itself reports (Wine
takes memory, processors, uptime and disk space from Linux), and the run command's overview."""

import argparse
import io
import os
import re
import time

import pytest

from tidvale_client import Int32, Int64, cli, paths, system_views

import support

PAGE_BYTES = 4096
SETTLE_SECONDS = 0.8  # the optimiser's wait before its second report
UPTIME_SLACK_SECONDS = 5
TOP_PROCESSES = 12
SUMMARY_KEYS = {"os", "osVersion", "host", "user", "cpu", "arch", "cores", "memTotal", "memUsed",
                "uptime", "disks", "home"}
DISK_KEYS = {"name", "path", "total", "free", "used", "isSystem", "isRemovable"}
MEMORY_KEYS = {"total", "used", "free", "cached", "wired", "compressed", "pressure",
               "topProcesses"}
OPTIMIZER_KEYS = {"ok", "error", "before", "after", "freed", "trimmed"}


def host_memory_bytes() -> int:
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                return int(line.split()[1]) * 1024
    raise AssertionError("no MemTotal in /proc/meminfo")


def host_uptime_seconds() -> float:
    with open("/proc/uptime") as f:
        return float(f.read().split()[0])


def check_types(reply: dict, int32: set[str], int64: set[str]) -> None:
    for key in int32:
        assert type(reply[key]) is Int32, f"{key} travels as {type(reply[key]).__name__}"
    for key in int64:
        assert type(reply[key]) is Int64, f"{key} travels as {type(reply[key]).__name__}"


def check_memory_report(report: dict) -> None:
    assert set(report) == MEMORY_KEYS
    check_types(report, {"pressure"}, MEMORY_KEYS - {"pressure", "topProcesses"})
    assert report["used"] + report["free"] == report["total"]
    assert report["wired"] == 0 and report["compressed"] == 0
    assert 0 <= report["pressure"] <= 100 and report["cached"] >= 0
    top = report["topProcesses"]
    assert 0 < len(top) <= TOP_PROCESSES
    for process in top:
        assert set(process) == {"pid", "name", "mem"}
        check_types(process, {"pid"}, {"mem"})
        assert isinstance(process["name"], str) and process["name"]
    mems = [p["mem"] for p in top]
    assert mems == sorted(mems, reverse=True), "processes not largest first"


def test_system_info_shape_and_widths(program):
    reply = program.call("systemInfo").reply
    assert set(reply) == SUMMARY_KEYS
    check_types(reply, {"cores"}, {"memTotal", "memUsed", "uptime"})
    for key in ("os", "osVersion", "host", "user", "cpu", "arch", "home"):
        assert isinstance(reply[key], str), key
    match = re.fullmatch(r"(\d+)\.(\d+)\.(\d+)", reply["osVersion"])
    assert match, reply["osVersion"]
    assert reply["os"] == ("Windows 11" if int(match[3]) >= 22000 else "Windows 10")
    assert reply["arch"] == "x86_64"
    letters = [d["path"][0] for d in reply["disks"]]
    assert letters == sorted(letters) and len(set(letters)) == len(letters)
    for disk in reply["disks"]:
        assert set(disk) == DISK_KEYS
        check_types(disk, set(), {"total", "free", "used"})
        assert re.fullmatch(r"[A-Z]:\\", disk["path"])
        assert disk["name"].endswith(f" ({disk['path'][:2]})")
        assert disk["used"] == disk["total"] - disk["free"]
        assert isinstance(disk["isSystem"], bool) and isinstance(disk["isRemovable"], bool)


def test_system_info_agrees_with_the_host(program, home_dir):
    reply = program.call("systemInfo").reply
    # Wine counts physical pages from 1, so it reports one page less than Linux.
    assert abs(reply["memTotal"] - host_memory_bytes()) <= PAGE_BYTES
    assert 0 < reply["memUsed"] < reply["memTotal"]
    assert reply["cores"] == os.cpu_count()
    assert abs(reply["uptime"] - host_uptime_seconds()) <= UPTIME_SLACK_SECONDS
    assert reply["home"] == home_dir
    assert reply["host"] == program.call("deviceName").reply
    assert reply["user"] == support.windows_env("USERNAME")
    system = [d for d in reply["disks"] if d["isSystem"]]
    assert [d["path"] for d in system] == ["C:\\"]
    stats = os.statvfs(paths.drive_c())
    assert system[0]["total"] == stats.f_blocks * stats.f_frsize
    assert system[0]["isRemovable"] is False
    assert system[0]["name"] == "Local Disk (C:)"  # the prefix's drive has no label


def test_memory_info_shape_figures_and_the_program_itself(program):
    report = program.call("memoryInfo").reply
    check_memory_report(report)
    assert abs(report["total"] - host_memory_bytes()) <= PAGE_BYTES
    names = [p["name"] for p in report["topProcesses"]]
    if len(names) < TOP_PROCESSES:  # every readable process is listed, the program among them
        assert paths.EXE_NAME in names


def test_optimize_memory_reports_both_figures_after_its_wait(program):
    started = time.monotonic()
    reply = program.call("optimizeMemory").reply
    elapsed = time.monotonic() - started
    assert set(reply) == OPTIMIZER_KEYS
    check_types(reply, {"trimmed"}, {"before", "after", "freed"})
    assert reply["ok"] is True and reply["error"] == ""
    assert reply["freed"] == max(0, reply["before"] - reply["after"])
    # The prefix's services and the program itself can all be trimmed.
    assert reply["trimmed"] >= 2
    assert elapsed >= SETTLE_SECONDS
    # The token's new privileges leave later reports whole.
    check_memory_report(program.call("memoryInfo").reply)


def test_views_of_the_system_replies(program):
    summary = program.call("systemInfo").reply
    lines = system_views.overview_lines(summary)
    assert [ln.split(":")[0] for ln in lines[:3]] == ["windows", "processor", "memory"]
    assert summary["os"] in lines[0] and summary["osVersion"] in lines[0]
    assert summary["cpu"] in lines[1] and f"{summary['cores']} core" in lines[1]
    disks = [ln for ln in lines if ln.startswith("disk:")]
    assert len(disks) == len(summary["disks"])
    assert all(d["name"] in ln for d, ln in zip(summary["disks"], disks))
    report = program.call("memoryInfo").reply
    memory = system_views.memory_summary(report).splitlines()
    processes = report["topProcesses"]
    header = memory.index(next(ln for ln in memory if ln.split()[:2] == ["pid", "process"]))
    assert len(memory) - header - 1 == len(processes)
    assert all(p["name"] in ln for p, ln in zip(processes, memory[header + 1:]))
    with pytest.raises(ValueError):
        system_views.memory_summary({"total": 1})


def test_run_overview_opens_with_the_system_summary(program, capsys):
    ns = argparse.Namespace(timeout=600.0)
    code = cli.run_overview(program, ns, cli.ProgressDisplay(io.StringIO()))
    out = capsys.readouterr().out.splitlines()
    assert code == cli.EXIT_OK
    assert [ln.split(":")[0] for ln in out[:4]] == ["windows", "processor", "memory", "disk"]
    assert any(ln.startswith("device id:") for ln in out)
    assert out[-1].split()[0] == "total", "the junk scan summary closes the overview"
