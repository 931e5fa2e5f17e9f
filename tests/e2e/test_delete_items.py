"""Removing files and emptying the Recycle Bin: "deleteItems" and "emptyTrash"."""

import os

import pytest

from tidvale_client import Int64

import support

KEYS = {"freed", "failed", "inTrash", "inTrashBytes"}


def check_shape(reply):
    assert set(reply) == KEYS
    assert type(reply["freed"]) is Int64 and type(reply["inTrashBytes"]) is Int64
    assert all(isinstance(p, str) for p in reply["failed"] + reply["inTrash"])


# Wine opens the target of a Linux folder link even when asked for the link itself: a removal
# through that handle would empty a target given directly, or take an empty target whole.
@pytest.mark.parametrize("given_directly, target_files", [(True, {"keep.bin": 7}), (False, {})])
def test_a_folder_link_never_costs_its_target(program, prefix_files, given_directly, target_files):
    target, _, _ = prefix_files.tree("C:\\", target_files)
    holder, holder_win = prefix_files.folder("C:\\")
    os.symlink(target, holder / "link")
    path = holder_win + "\\link" if given_directly else holder_win

    reply = program.call("deleteItems", {"paths": [path]}).reply

    check_shape(reply)
    assert target.is_dir()
    assert sorted(p.name for p in target.iterdir()) == sorted(target_files)
    assert reply["failed"] == ([path] if (holder / "link").is_symlink() else [])


def test_deletes_a_tree_without_entering_a_link_and_reports_progress(program, prefix_files):
    canary, _, _ = prefix_files.tree("C:\\", {"keep.bin": 77})
    root, win, total = prefix_files.tree("C:\\", {
        "a.bin": 1000, "sub/b.bin": 20, "sub/deeper/c.bin": 3, "abc./dot.bin": 5,
        "sp /space.bin": 6})
    # Wine lists a Linux folder symlink as a link of tag 0; removal must never enter it.
    os.symlink(canary, root / "sub" / "to-canary")
    alone_dir, alone_dir_win = prefix_files.folder("C:\\")
    alone = prefix_files.file(alone_dir / "alone.bin", 11)
    alone_win = alone_dir_win + "\\alone.bin"

    result = program.call("deleteItems", {"paths": [win, alone_win, "recycle:x"]})

    check_shape(result.reply)
    assert (canary / "keep.bin").stat().st_size == 77
    assert not alone.exists()
    assert result.reply["failed"][-1] == "recycle:x"  # not the pseudo-path: a relative path
    assert result.reply["inTrash"] == [] and result.reply["inTrashBytes"] == 0
    if result.reply["failed"] == ["recycle:x"]:
        assert not root.exists()
        assert result.reply["freed"] == total + 11
    else:  # the link itself could not go: its folder stays, everything else is credited
        assert result.reply["failed"] == [win, "recycle:x"]
        assert sorted(p.name for p in root.rglob("*")) == ["sub", "to-canary"]
    final = result.events[-1]
    assert final == {"task": "delete", "path": "", "count": 3, "bytes": result.reply["freed"]}
    assert all(e["task"] == "delete" for e in result.events)


def test_a_path_holding_nul_names_nothing(program, prefix_files):
    root, win, total = prefix_files.tree("C:\\", {"keep/f.bin": 5})
    cut = win + "\\keep\x00zzz"
    assert program.call("sizeOf", {"path": cut}, timeout=30).reply == {"size": 0}
    reply = program.call("deleteItems", {"paths": [cut]}, timeout=30).reply
    assert reply["failed"] == [cut] and reply["freed"] == 0
    assert (root / "keep" / "f.bin").exists()


def test_names_ending_in_a_dot_or_space_are_measured_and_removed_exactly(program, prefix_files):
    root, win, _ = prefix_files.tree("C:\\", {"abc./f1": 1000, "abc/f2": 7, "sp /f3": 50, "x.": 3})
    assert program.call("sizeOf", {"path": win}).reply == {"size": 1060}
    for name, size in (("abc.", 1000), ("sp ", 50), ("x.", 3)):
        assert program.call("sizeOf", {"path": win + "\\" + name}).reply == {"size": size}
    reply = program.call("deleteItems", {"paths": [win + "\\abc.", win + "\\x."]}).reply
    assert reply["freed"] == 1003 and reply["failed"] == []
    assert sorted(p.name for p in root.iterdir()) == ["abc", "sp "]


def test_overlapping_deletions_at_once_remove_the_tree_and_nothing_else(program, prefix_files):
    canary, _, _ = prefix_files.tree("C:\\", {"keep.bin": 9})
    root, win, total = prefix_files.tree(
        "C:\\", {f"d{i}/f{j}.bin": 100 for i in range(10) for j in range(30)})
    first = program.call_async("deleteItems", {"paths": [win]})
    second = program.call_async("deleteItems", {"paths": [win + "\\d3", win]})
    replies = [program.wait_reply(first), program.wait_reply(second)]
    for reply in replies:
        check_shape(reply)
    assert not root.exists()
    assert (canary / "keep.bin").exists()
    assert replies[0]["freed"] + replies[1]["freed"] >= total


def test_to_trash_then_empty_trash(program, prefix_files):
    root, win, _ = prefix_files.tree("C:\\", {"trashed.bin": 4096})
    reply = program.call("deleteItems", {"paths": [win + "\\trashed.bin"], "toTrash": True}).reply
    check_shape(reply)
    assert not (root / "trashed.bin").exists()
    assert reply["failed"] == []
    # Wine's bin is a trash folder without index files: the item stays there unless the shell
    # removed it outright.
    in_trash = reply["inTrash"] == [win + "\\trashed.bin"] and reply["inTrashBytes"] == 4096
    assert in_trash or reply["freed"] == 4096

    emptied = program.call("emptyTrash")
    check_shape(emptied.reply)
    assert emptied.reply["failed"] == [] and emptied.reply["inTrash"] == []
    assert emptied.reply["inTrashBytes"] == 0
    if in_trash:
        assert emptied.reply["freed"] >= 4096
    assert emptied.events[-1] == {"task": "delete", "path": "", "count": 1,
                                  "bytes": emptied.reply["freed"]}
    again = program.call("emptyTrash").reply
    assert again == {"freed": 0, "failed": [], "inTrash": [], "inTrashBytes": 0}
