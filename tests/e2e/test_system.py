"""The system methods through the real program: reply keys and codec widths, and figures checked
against what the host reports itself (Wine takes memory, processors, uptime and disk space from
Linux); the run command's overview opening with the system summary."""

import argparse
import io
import os
import time

from tidvale_client import Int32, Int64, cli, paths

import support

PAGE_BYTES = 4096  # Wine counts physical pages from 1: it reports one page less than Linux
UPTIME_SLACK_SECONDS = 5


def host_figure(file: str, field: int, prefix: str = "") -> float:
    with open(file) as f:
        line = next(ln for ln in f if ln.startswith(prefix))
    return float(line.split()[field])


def check_widths(reply: dict, int32: str, int64: str) -> None:
    for key in int32.split():
        assert type(reply[key]) is Int32, key
    for key in int64.split():
        assert type(reply[key]) is Int64, key


def test_system_info_against_the_host(program, home_dir):
    reply = program.call("systemInfo").reply
    assert set(reply) == {"os", "osVersion", "host", "user", "cpu", "arch", "cores", "memTotal",
                          "memUsed", "uptime", "disks", "home"}
    check_widths(reply, "cores", "memTotal memUsed uptime")
    build = int(reply["osVersion"].split(".")[2])
    assert reply["os"] == ("Windows 11" if build >= 22000 else "Windows 10")
    assert reply["arch"] == "x86_64" and reply["cores"] == os.cpu_count()
    host_memory = host_figure("/proc/meminfo", 1, "MemTotal:") * 1024
    assert abs(reply["memTotal"] - host_memory) <= PAGE_BYTES
    assert 0 < reply["memUsed"] < reply["memTotal"]
    assert abs(reply["uptime"] - host_figure("/proc/uptime", 0)) <= UPTIME_SLACK_SECONDS
    assert reply["home"] == home_dir and reply["host"] == program.call("deviceName").reply
    assert reply["user"] == support.windows_env("USERNAME")
    for disk in reply["disks"]:
        assert set(disk) == {"name", "path", "total", "free", "used", "isSystem", "isRemovable"}
        check_widths(disk, "", "total free used")
        assert disk["used"] == disk["total"] - disk["free"]
    assert [d["path"] for d in reply["disks"]] == sorted(d["path"] for d in reply["disks"])
    system = [d for d in reply["disks"] if d["isSystem"]]
    assert [(d["path"], d["name"], d["isRemovable"]) for d in system] == \
        [("C:\\", "Local Disk (C:)", False)]  # the prefix's drive has no label
    stats = os.statvfs(paths.drive_c())
    assert system[0]["total"] == stats.f_blocks * stats.f_frsize


def check_memory_report(report: dict) -> None:
    assert set(report) == {"total", "used", "free", "cached", "wired", "compressed", "pressure",
                           "topProcesses"}
    check_widths(report, "pressure", "total used free cached wired compressed")
    assert report["used"] + report["free"] == report["total"]
    assert report["wired"] == report["compressed"] == 0 and 0 <= report["pressure"] <= 100
    top = report["topProcesses"]
    assert 0 < len(top) <= 12
    for process in top:
        assert set(process) == {"pid", "name", "mem"}
        check_widths(process, "pid", "mem")
    assert [p["mem"] for p in top] == sorted((p["mem"] for p in top), reverse=True)


def test_memory_info_lists_the_program_among_the_processes(program):
    report = program.call("memoryInfo").reply
    check_memory_report(report)
    assert abs(report["total"] - host_figure("/proc/meminfo", 1, "MemTotal:") * 1024) <= PAGE_BYTES
    names = [p["name"] for p in report["topProcesses"]]
    if len(names) < 12:  # every readable process is listed
        assert paths.EXE_NAME in names


def test_optimize_memory_waits_and_reports_both_figures(program):
    started = time.monotonic()
    reply = program.call("optimizeMemory").reply
    assert time.monotonic() - started >= 0.8
    assert set(reply) == {"ok", "error", "before", "after", "freed", "trimmed"}
    check_widths(reply, "trimmed", "before after freed")
    assert reply["ok"] is True and reply["error"] == ""
    assert reply["freed"] == max(0, reply["before"] - reply["after"])
    assert reply["trimmed"] >= 2  # the prefix's services and the program itself
    check_memory_report(program.call("memoryInfo").reply)  # whole after the new privileges


def test_run_overview_opens_with_the_system_summary(program, capsys):
    code = cli.run_overview(program, argparse.Namespace(timeout=600.0),
                            cli.ProgressDisplay(io.StringIO()))
    out = capsys.readouterr().out.splitlines()
    assert code == cli.EXIT_OK
    summary = program.call("systemInfo").reply
    assert [ln.split(":")[0] for ln in out[:4]] == ["windows", "processor", "memory", "disk"]
    assert summary["osVersion"] in out[0] and summary["cpu"] in out[1]
    disks = [ln for ln in out if ln.startswith("disk:")]
    assert len(disks) == len(summary["disks"])
    assert all(d["name"] in ln for d, ln in zip(summary["disks"], disks))
    assert out[-1].split()[0] == "total", "the junk scan's summary closes the overview"
