"""The storage scans "scanLargeFiles", "scanDuplicates" and "analyzeDisk" through the program:
reply keys and integer widths, progress events, the link rule on a real Linux folder symlink, and
cancellation."""

import hashlib
import os
import time

import pytest

from tidvale_client import Int64, method_codec, NATIVE_CHANNEL

import support
from support import EVENT_KEYS, FIXED_MTIME, ITEM_KEYS

GROUP_KEYS = {"size", "hash", "files", "wasted"}
GROUP_FILE_KEYS = {"path", "name", "size", "modified"}
NODE_KEYS = {"name", "path", "size", "files", "isDir", "children"}
OTHER = "\u2026"
PARTIAL = 65536


def check_events(events, task, final_count, final_bytes):
    assert events, f"no {task} progress events"
    for event in events:
        assert set(event) == EVENT_KEYS and event["task"] == task
        assert type(event["count"]) is Int64 and type(event["bytes"]) is Int64
    assert events[-1] == {"task": task, "path": "", "count": final_count, "bytes": final_bytes}


def write(path, data: bytes, mtime=FIXED_MTIME):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    os.utime(path, (mtime, mtime))


def node(name, path, size, files, is_dir, children=()):
    return {"name": name, "path": path, "size": size, "files": files, "isDir": is_dir,
            "children": list(children)}


def test_large_files_reply(program, prefix_files):
    layout = {"Videos/Movie.MKV": 3000, "Videos/clip.mp4": 2999, "notes.txt": 10,
              "node_modules/pkg/huge.bin": 9000, "empty.bin": 0}
    host, win, _ = prefix_files.tree("C:\\", layout)
    result = program.call("scanLargeFiles", {"root": win, "minSize": 3000})
    reply = result.reply
    assert set(reply) == {"items", "scanned", "cancelled"}
    assert reply["scanned"] == 4 and type(reply["scanned"]) is Int64
    assert reply["cancelled"] is False
    assert reply["items"] == [{"path": win + "\\Videos\\Movie.MKV", "name": "Movie.MKV",
                               "size": 3000, "isDir": False, "modified": FIXED_MTIME,
                               "ext": "mkv"}]
    item = reply["items"][0]
    assert set(item) == ITEM_KEYS
    assert type(item["size"]) is Int64 and type(item["modified"]) is Int64
    check_events(result.events, "large", 4, 3000 + 2999 + 10)

    # An int64 threshold reads the same; 0 keeps every visited file, empty ones too.
    every = program.call("scanLargeFiles", {"root": win, "minSize": Int64(0)}).reply
    assert [i["size"] for i in every["items"]] == [3000, 2999, 10, 0]


def test_duplicates_reply_with_a_hard_link_and_a_near_copy(program, prefix_files):
    host, win = prefix_files.folder("C:\\")
    same = bytes(range(256)) * 400  # 102,400 bytes: past the partial digest
    near = same[:-1] + b"!"  # the same first 64 KiB, another tail
    files = {"a/copy.bin": same, "b/copy.bin": same, "c/near.bin": near, "d/small.bin": b"x" * 10}
    for rel, data in files.items():
        write(host / rel, data)
        prefix_files.created.append(host / rel)
    # A second name of a/copy.bin adds no copy: deleting it would free nothing.
    os.link(host / "a/copy.bin", host / "e-link.bin")
    prefix_files.created.append(host / "e-link.bin")

    result = program.call("scanDuplicates", {"root": win, "minSize": 100})
    reply = result.reply
    assert set(reply) == {"groups", "scanned", "wasted", "cancelled"}
    assert reply["scanned"] == 5 and reply["cancelled"] is False
    assert len(reply["groups"]) == 1
    group = reply["groups"][0]
    assert set(group) == GROUP_KEYS
    assert group["hash"] == hashlib.sha256(same).hexdigest()
    assert group["size"] == len(same) and group["wasted"] == len(same)
    # Whichever name of the linked file the walk met first stands for it, once.
    names = [f["path"] for f in group["files"]]
    assert names == sorted(names) and len(names) == 2
    assert win + "\\b\\copy.bin" in names
    assert {win + "\\a\\copy.bin", win + "\\e-link.bin"} & set(names)
    for f in group["files"]:
        assert set(f) == GROUP_FILE_KEYS
        assert f["name"] == f["path"].rsplit("\\", 1)[1] and f["modified"] == FIXED_MTIME
        assert type(f["size"]) is Int64 and type(f["modified"]) is Int64
    for key in ("size", "wasted"):
        assert type(group[key]) is Int64
    assert reply["wasted"] == len(same) and type(reply["wasted"]) is Int64
    check_events(result.events, "dupes", 5, len(same))

    nothing = program.call("scanDuplicates", {"root": win + "\\c", "minSize": 0}).reply
    assert nothing == {"groups": [], "scanned": 1, "wasted": 0, "cancelled": False}


def test_disk_tree_depth_one_and_the_other_node(program, prefix_files):
    host, win, _ = prefix_files.tree("C:\\", {"a.txt": 10, "sub/b.txt": 20})
    result = program.call("analyzeDisk", {"path": win + "\\", "depth": 1})
    expected = node(win + "\\", win + "\\", 30, 2, True, [
        node("sub", win + "\\sub", 20, 1, True),
        node("a.txt", win + "\\a.txt", 10, 1, False),
    ])
    assert result.reply == {**expected, "cancelled": False, "scanned": 2}
    for key in ("size", "files", "scanned"):
        assert type(result.reply[key]) is Int64
    check_events(result.events, "disk", 2, 30)

    many_host, many_win, _ = prefix_files.tree(
        "C:\\", {f"f{i:02d}": 100 + i for i in range(45)})
    tree = program.call("analyzeDisk", {"path": many_win, "depth": Int64(1)}).reply
    children = tree["children"]
    assert len(children) == 41 and children[0]["size"] == 144
    assert children[-1] == {"name": OTHER, "path": "", "size": 100 + 101 + 102 + 103 + 104,
                            "files": 0, "isDir": False, "children": [], "isOther": True}
    assert all(set(c) == NODE_KEYS for c in children[:-1])


def test_default_root_is_the_home_folder(program, home_dir):
    reply = program.call("analyzeDisk", {"depth": 0}).reply
    assert reply["path"] == home_dir and reply["name"] == home_dir and reply["children"] == []


def test_no_walk_enters_a_linux_folder_symlink(program, prefix_files):
    """Wine lists a Linux folder symlink as a reparse point with tag 0: a link for every walk.
    The canary's file must count nowhere, though an identical file sits beside the link."""
    canary_host, canary_win, _ = prefix_files.tree("C:\\", {"canary.bin": 5000})
    host, win = prefix_files.folder("C:\\")
    write(host / "twin.bin", b"Z" * 5000)  # the canary's content, as the tree helper writes it
    prefix_files.created.append(host / "twin.bin")
    os.symlink(canary_host, host / "link")
    prefix_files.created.append(host / "link")

    assert program.call("sizeOf", {"path": win}).reply == {"size": 5000}
    disk = program.call("analyzeDisk", {"path": win, "depth": 3}).reply
    assert (disk["size"], disk["scanned"]) == (5000, 1)
    assert [c["name"] for c in disk["children"]] == ["twin.bin"]
    large = program.call("scanLargeFiles", {"root": win, "minSize": 0}).reply
    assert [i["name"] for i in large["items"]] == ["twin.bin"] and large["scanned"] == 1
    dupes = program.call("scanDuplicates", {"root": win, "minSize": 0}).reply
    assert dupes["groups"] == [] and dupes["scanned"] == 1
    assert (canary_host / "canary.bin").stat().st_size == 5000


CANCEL_FILES = 30000
CANCEL_CASES = [
    ("analyzeDisk", lambda win: {"path": win, "depth": 2}),
    ("scanLargeFiles", lambda win: {"root": win, "minSize": 0}),
    ("scanDuplicates", lambda win: {"root": win, "minSize": 0}),
]


@pytest.fixture(scope="module")
def many_files():
    files = support.PrefixFiles()
    try:
        host, win = files.folder("C:\\")
        for part in range(10):
            folder = host / f"part{part}"
            folder.mkdir()
            files.created.append(folder)
            files.many(folder, [f"f{i:05d}.bin" for i in range(CANCEL_FILES // 10)], 1)
        yield win
    finally:
        left = files.cleanup()
        assert not left, f"could not remove test files: {left}"


@pytest.mark.parametrize("method,args", CANCEL_CASES, ids=[c[0] for c in CANCEL_CASES])
def test_cancel_mid_walk_returns_a_partial_reply(program, many_files, method, args):
    for _ in range(3):
        time.sleep(0.25)  # out of the throttle window of earlier events
        start = program.message_count()
        scan = program.call_async(method, args(many_files))
        program.wait_event(lambda e: isinstance(e, dict) and e.get("path"), start)
        (cancel,) = program.send_lines([(NATIVE_CHANNEL, method_codec.encode_method_call("cancel"))])
        program.wait_reply(cancel)
        reply = program.wait_reply(scan, timeout=300)
        assert reply["cancelled"] is True
        if reply["scanned"] < CANCEL_FILES:
            break  # else the walk ended before the cancel arrived: try again
    else:
        pytest.fail(f"{method} always finished before the cancel arrived")
    assert reply["scanned"] > 0
    if method == "scanLargeFiles":
        assert len(reply["items"]) == min(400, reply["scanned"])
    if method == "analyzeDisk":
        assert reply["files"] == reply["scanned"]
