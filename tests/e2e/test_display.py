"""What the command-line caller shows: byte counts, shortened paths, summaries, JSON output."""

import array
import json

import pytest

from tidvale_client import cli, codec, display, method_codec


@pytest.mark.parametrize("n,text", [
    (0, "0 B"), (1023, "1023 B"), (1024, "1.0 KiB"), (1536, "1.5 KiB"),
    (1024**2 - 1, "1.0 MiB"), (5 * 1024**3 + 1024**3 // 2, "5.5 GiB"), (2**63 - 1, "8.0 EiB"),
    (-2048, "-2.0 KiB"),
])
def test_human_bytes(n, text):
    assert display.human_bytes(n) == text


@pytest.mark.parametrize("path,width", [
    ("C:\\users\\root\\AppData\\Local\\Temp\\a-very-long-file-name.tmp", 30),
    ("C:\\short", 30), ("C:\\x\\y", 3), ("abcdef", 1), ("abcdef", 0),
])
def test_shorten_path_fits_and_keeps_both_ends(path, width):
    out = display.shorten_path(path, width)
    assert len(out) <= width
    if len(path) <= width:
        assert out == path
    elif width > 1:
        assert out.startswith(path[: (width - 1) // 3]) and display.ELLIPSIS in out
        assert path.endswith(out.split(display.ELLIPSIS)[1])


def test_progress_line_shows_task_count_bytes_and_fits_the_width():
    event = {"task": "junk", "count": 12, "bytes": 3 * 1024**2,
             "path": "C:\\users\\root\\Temp\\" + "deep\\" * 20 + "file.bin"}
    line = display.progress_line(event, 60)
    assert len(line) <= 60
    assert line.startswith("junk: 12 items, 3.0 MiB  C:\\")
    assert line.endswith("file.bin")
    assert display.progress_line({"task": "junk", "count": 1, "bytes": 0, "path": ""}, 80) == \
        "junk: 1 items, 0 B"


def test_junk_summary_lists_each_category_then_the_total():
    reply = {"categories": [
        {"id": "temp", "size": 2048, "items": [{}, {}]},
        {"id": "userCache", "size": 0, "items": []},
        {"id": "trash", "size": 1024**3, "items": [{}]}],
        "total": 1024**3 + 2048, "count": 3, "cancelled": False}
    lines = display.junk_summary(reply).splitlines()
    assert [ln.split()[0] for ln in lines] == ["temp", "userCache", "trash", "total"]
    assert lines[0].split()[1:] == ["2.0", "KiB", "2", "items"]
    assert lines[2].split()[1:] == ["1.0", "GiB", "1", "item"]
    assert lines[3].split()[1:] == ["1.0", "GiB", "3", "items"]
    reply["cancelled"] = True
    assert "cancelled" in display.junk_summary(reply).splitlines()[-1]
    with pytest.raises(ValueError):
        display.junk_summary({"size": 1})


def test_reply_values_become_json():
    value = {"raw": b"\x00\xff", "ints": array.array("i", [1, 2]), 5: None,
             "nested": [codec.Int64(7), float("inf")]}
    out = json.loads(json.dumps(display.to_json(value)))
    assert out == {"raw": "AP8=", "ints": [1, 2], "5": None, "nested": [7, "inf"]}


@pytest.mark.parametrize("reply,summary,code,stdout", [
    ({"size": 3}, False, cli.EXIT_OK, {"size": 3}),
    (None, False, cli.EXIT_OK, None),
    (method_codec.MethodError("error", "bad", None), False, cli.EXIT_ERROR_REPLY,
     {"error": {"code": "error", "message": "bad", "details": None}}),
    (method_codec.NOT_IMPLEMENTED, False, cli.EXIT_NOT_IMPLEMENTED, ""),
])
def test_print_reply_outcomes(reply, summary, code, stdout, capsys):
    import sys

    assert cli.print_reply(reply, "m", summary, sys.stdout, sys.stderr) == code
    out = capsys.readouterr()
    if stdout == "":
        assert out.out == "" and "not implemented" in out.err
    else:
        assert json.loads(out.out) == stdout


@pytest.mark.parametrize("argv", [[], ["sizeOf", "--summary"], ["a", "b", "c"]])
def test_usage_errors(argv):
    with pytest.raises(SystemExit) as e:
        cli.parse_args(argv)
    assert e.value.code == cli.EXIT_USAGE
