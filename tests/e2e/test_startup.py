"""Start-up, the engine's line protocol, and exit."""

import json

from tidvale_client import NOT_IMPLEMENTED

PLUGIN_ORDER = ["ScreenRetrieverWindowsPluginCApi", "UrlLauncherWindows", "WindowManagerPlugin"]


def test_plugins_register_in_order_before_ready_and_quit_exits_0(start_program):
    prog = start_program()
    assert prog.registrars == PLUGIN_ORDER
    ops = [line["op"] for line in prog.lines]
    assert ops[: len(PLUGIN_ORDER) + 1] == ["registrar"] * len(PLUGIN_ORDER) + ["ready"]
    assert prog.call("cancel").reply is True
    assert prog.quit() == 0
    assert prog.bad_lines == [] and prog.errors == []


def test_end_of_input_exits_0(start_program):
    prog = start_program()
    prog.close_stdin()
    assert prog.wait_exit() == 0
    assert prog.registrars == PLUGIN_ORDER


MALFORMED_LINES = [
    "not json at all",
    "{",
    "[]",
    '"op"',
    '{"op":"fly"}',
    '{"channel":"tidvale/native","id":1,"data":""}',
    '{"op":"send","id":1,"data":""}',
    '{"op":"send","channel":"tidvale/native","data":""}',
    '{"op":"send","channel":"tidvale/native","id":"987654321","data":""}',
    '{"op":"send","channel":"tidvale/native","id":987654321,"data":"***"}',
    '{"op":"send","channel":7,"id":987654321,"data":""}',
    '{"op":"send","channel":"tidvale/native","id":987654321,"data":5}',
    '{"op":"send","channel":"tidvale/native","id":987654321,"data":"BwZjYW5jZWwA"',
    "\u00ff\u00fe garbage \u2603",
]


def test_malformed_input_lines_get_an_error_each_and_the_program_keeps_answering(program):
    errors_before = len(program.errors)
    for line in MALFORMED_LINES:
        program.send_line(line)
    # The call below is read after every malformed line, so their errors are already out.
    assert program.call("cancel").reply is True
    new_errors = program.errors[errors_before:]
    assert len(new_errors) == len(MALFORMED_LINES), new_errors
    assert all(isinstance(m, str) and m for m in new_errors)
    assert program.bad_lines == []
    # None of them was taken as a request: no reply carries an id of theirs.
    assert 987654321 not in program.replies and "987654321" not in program.replies


def test_empty_input_line_does_not_stop_the_program(program):
    program.send_line("")
    assert program.call("nothingByThisName").reply is NOT_IMPLEMENTED
    assert program.proc.poll() is None


def test_output_lines_are_single_json_objects(program):
    # Everything read so far parsed as one object per line with a known op.
    assert program.bad_lines == []
    assert {line["op"] for line in program.lines} <= {"registrar", "ready", "reply", "message",
                                                       "error"}
    assert json.loads(json.dumps(program.lines)) == program.lines
