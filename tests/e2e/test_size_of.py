"""Measuring a path with "sizeOf"."""

import pytest

from tidvale_client import Int64

LAYOUT = {
    "top.bin": 10,
    "a/one.bin": 20,
    "a/b/c/deep.bin": 4097,
    "empty/": 0,
    "zero.bin": 0,
    "d/\u00e9t\u00e9 \u65e5\u672c.bin": 333,  # non-ASCII names cross the UTF-8/UTF-16 edge
}


def test_size_of_a_prepared_folder_its_parts_and_missing_paths(program, prefix_files):
    _, win, total = prefix_files.tree("C:\\", LAYOUT)
    cases = [
        ({"path": win}, total),
        ({"path": win + "\\"}, total),
        ({"path": win + "\\a"}, 20 + 4097),
        ({"path": win + "\\top.bin"}, 10),
        ({"path": win + "\\empty"}, 0),
        ({"path": win + "\\zero.bin"}, 0),
        ({"path": win + "\\d"}, 333),
        ({"path": win + "\\d\\\u00e9t\u00e9 \u65e5\u672c.bin"}, 333),
        ({"path": win.lower() + "\\A\\ONE.BIN"}, 20),  # Windows paths ignore case
        ({"path": win + "\\no-such-thing"}, 0),
    ]
    for args, size in cases:
        reply = program.call("sizeOf", args).reply
        assert reply == {"size": size}, args
        assert type(reply["size"]) is Int64, "sizes travel as 64-bit integers"


@pytest.mark.parametrize("args", [None, {}, {"path": 5}, {"path": None}, ["C:\\"], "C:\\"],
                         ids=["null", "no path", "int path", "null path", "list", "string"])
def test_size_of_without_a_usable_path_is_zero(program, args):
    assert program.call("sizeOf", args).reply == {"size": 0}


def test_size_of_sends_no_progress_events(program, prefix_files):
    _, win, _ = prefix_files.tree("C:\\", {f"f{i}.bin": 1 for i in range(200)})
    result = program.call("sizeOf", {"path": win})
    assert result.reply == {"size": 200}
    assert result.events == []
