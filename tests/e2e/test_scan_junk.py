"""The junk scan: reply shape, what it finds in prepared folders, progress events and
cancellation."""

import os

import pytest

from tidvale_client import Int64, method_codec, paths

import support
from support import CATALOGUE, EVENT_KEYS, check_reply_shape


def check_events(result, program, start):
    """Progress events of one scan: well formed, growing, ending with the forced final event."""
    events = result.events
    assert events, "the scan sent no progress event (is the listener attached?)"
    raw = [m.data for m in program.messages[start:] if m.channel == "tidvale/events"]
    for event, data in zip(events, raw):
        assert set(event) == EVENT_KEYS and event["task"] == "junk"
        assert type(event["count"]) is Int64 and type(event["bytes"]) is Int64
        assert method_codec.encode_success(event) == data  # keys in order, exact types
    counts = [(e["count"], e["bytes"]) for e in events]
    assert counts == sorted(counts)
    final = events[-1]
    assert final["path"] == "" and final["count"] == result.reply["count"]
    assert final["bytes"] == result.reply["total"]
    item_paths = {i["path"] for c in result.reply["categories"] for i in c["items"]}
    assert {e["path"] for e in events[:-1]} <= item_paths


def items_by_path(reply, category):
    cat = next(c for c in reply["categories"] if c["id"] == category)
    return {item["path"]: item for item in cat["items"]}


@pytest.fixture
def junk(prefix_files, home_dir, temp_dir):
    """Prepared junk in several catalogue places; returns what the scan should report."""
    local = support.windows_env("LOCALAPPDATA")
    program_data = support.windows_env("ProgramData")
    f = prefix_files
    expect = {}
    host, win, total = f.tree(temp_dir, {"a/1.bin": 1000, "a/b/2.bin": 2345, "empty/": 0})
    os.utime(host, (support.FIXED_MTIME, support.FIXED_MTIME))
    expect["temp dir"] = (win, host.name, total, True, support.FIXED_MTIME)
    name = support.unique_name() + ".tmp"
    f.file(paths.host_path(temp_dir) / name, 777)
    expect["temp file"] = (temp_dir + "\\" + name, name, 777, False, support.FIXED_MTIME)
    expect["temp empty folder"] = f.folder(temp_dir)[1]
    inet = local + "\\Microsoft\\Windows\\INetCache"
    f.tree(inet, {"x.bin": 5000})
    expect["userCache"] = (inet, "~" + inet[len(home_dir):])
    crash, crash_win, _ = f.tree(local + "\\CrashDumps", {"app.dmp": 4321})
    expect["crash"] = (crash_win, 4321)
    queue = program_data + "\\Microsoft\\Windows\\WER\\ReportQueue"
    _, queue_win, _ = f.tree(queue, {"report.wer": 1234})
    expect["queue"] = (queue_win, 1234)
    explorer = paths.host_path(local + "\\Microsoft\\Windows\\Explorer")
    stem = support.unique_name()
    for fname, size in ((f"thumbcache_{stem}.db", 100), (f"IconCache_{stem}.db", 200),
                        (f"iconcache{stem}.db", 300)):
        f.make_parents(explorer)
        f.file(explorer / fname, size)
    expect["thumbs"] = {local + f"\\Microsoft\\Windows\\Explorer\\thumbcache_{stem}.db": 100,
                        local + f"\\Microsoft\\Windows\\Explorer\\IconCache_{stem}.db": 200}
    expect["not thumb"] = local + f"\\Microsoft\\Windows\\Explorer\\iconcache{stem}.db"
    old = paths.host_path("C:\\Windows.old")
    assert not old.exists(), "the prefix already has a Windows.old folder"
    f.tree("C:\\Windows.old", {"w.bin": 999})
    expect["windowsOld"] = 999
    return expect


def test_scan_finds_prepared_junk_with_progress(program, junk):
    start = program.message_count()
    result = program.call("scanJunk", None, timeout=300)
    reply = result.reply
    check_reply_shape(reply)
    assert [c["id"] for c in reply["categories"]] == CATALOGUE
    assert reply["cancelled"] is False
    check_events(result, program, start)

    temp = items_by_path(reply, "temp")
    for key in ("temp dir", "temp file"):
        path, name, size, is_dir, modified = junk[key]
        assert temp[path] == {"path": path, "name": name, "size": size, "isDir": is_dir,
                              "modified": modified, "ext": ""}, key
    assert junk["temp empty folder"] not in temp

    inet, name = junk["userCache"]
    cache = items_by_path(reply, "userCache")[inet]
    assert cache["name"] == name and cache["isDir"] is True and cache["modified"] == 0
    assert cache["size"] >= 5000

    crash = items_by_path(reply, "crashReports")
    assert crash[junk["crash"][0]]["size"] == junk["crash"][1]
    assert crash[junk["queue"][0]]["size"] == junk["queue"][1]
    # ReportQueue is a catalogue path of its own, so the listed WER folder leaves it alone.
    logs = items_by_path(reply, "userLogs")
    assert not any(p.lower().endswith("\\reportqueue") for p in logs), list(logs)

    thumbs = items_by_path(reply, "thumbnails")
    for path, size in junk["thumbs"].items():
        assert thumbs[path]["size"] == size and thumbs[path]["isDir"] is False
        assert thumbs[path]["modified"] == support.FIXED_MTIME
        assert thumbs[path]["name"] == path.rsplit("\\", 1)[1]
    assert junk["not thumb"] not in thumbs

    old = items_by_path(reply, "windowsOld")["C:\\Windows.old"]
    assert old == {"path": "C:\\Windows.old", "name": "C:\\Windows.old", "size": junk["windowsOld"],
                   "isDir": True, "modified": 0, "ext": ""}


def test_cancel_before_a_scan_is_cleared_by_it(program):
    assert program.call("cancel").reply is True
    reply = program.call("scanJunk", None, timeout=300).reply
    check_reply_shape(reply)
    assert reply["cancelled"] is False and len(reply["categories"]) == len(CATALOGUE)


TEMP_FOLDERS = 40
FILES_PER_TEMP_FOLDER = 400


def test_cancel_during_the_temp_category_stops_there(program, prefix_files, temp_dir):
    for _ in range(TEMP_FOLDERS):
        host, _ = prefix_files.folder(temp_dir)
        prefix_files.many(host, [f"f{i}.bin" for i in range(FILES_PER_TEMP_FOLDER)], 10)
    start = program.message_count()
    rid = program.call_async("scanJunk")
    first = program.wait_event(lambda e: isinstance(e, dict) and e.get("task") == "junk", start)
    assert first["path"] != "", "the scan ended before it could be cancelled"
    assert program.call("cancel").reply is True
    reply = program.wait_reply(rid, timeout=300)
    check_reply_shape(reply)
    assert reply["cancelled"] is True
    assert [c["id"] for c in reply["categories"]] == ["temp"]
    ours = [p for p in items_by_path(reply, "temp") if "tidvale-e2e-" in p]
    assert len(ours) < TEMP_FOLDERS, "the temp category was not cut short"
