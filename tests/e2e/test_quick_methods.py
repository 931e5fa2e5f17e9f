"""The methods answered at once on the platform thread."""

import hashlib
import re
import subprocess

import pytest

from tidvale_client import NOT_IMPLEMENTED, paths

import support

DEVICE_ID = re.compile(r"^win-[0-9a-f]{40}$")
DIALOG_WAIT_SECONDS = 60


def test_cancel_answers_true(program):
    result = program.call("cancel")
    assert result.reply is True
    assert result.raw == bytes.fromhex("0001")


def test_home_dir_is_the_profile_folder(program):
    home = program.call("homeDir").reply
    assert re.fullmatch(r"C:\\users\\[^\\]+", home, re.IGNORECASE), home
    assert home.lower() == support.windows_env("USERPROFILE").lower()
    assert paths.host_path(home).is_dir()


def test_device_id_is_the_digest_of_the_machine_guid_and_stable(program, start_program):
    first = program.call("deviceId").reply
    assert DEVICE_ID.match(first), first
    assert program.call("deviceId").reply == first
    guid = support.machine_guid()
    source = guid if guid else support.windows_env("COMPUTERNAME")
    expected = "win-" + hashlib.sha256(b"tidvale:" + source.encode("utf-8")).hexdigest()[:40]
    assert first == expected
    other = start_program()
    assert other.call("deviceId").reply == first


def test_device_name_is_the_computer_name(program):
    name = program.call("deviceName").reply
    assert isinstance(name, str) and name
    assert name == support.windows_env("COMPUTERNAME")


SHELL_ARGS = [
    pytest.param(None, id="no arguments"),
    pytest.param({}, id="no path"),
    pytest.param({"path": 42}, id="path not a string"),
    pytest.param(["C:\\"], id="arguments not a map"),
    pytest.param({"path": "C:\\tidvale-e2e-does-not-exist\\nothing.txt"}, id="nonexistent path"),
    pytest.param({"path": "C:\\tidvale \"quoted\" name"}, id="path with quotes"),
]


@pytest.fixture
def reap_explorers():
    """Explorer windows that "revealPath" opens stay open (invisibly) under Wine; end the ones
    this test caused, so that no stray window outlives it."""
    before = support.prefix_processes("explorer.exe /select")
    yield
    support.end_processes(support.prefix_processes("explorer.exe /select") - before)


@pytest.mark.parametrize("method", ["revealPath", "openPath"])
@pytest.mark.parametrize("args", SHELL_ARGS)
def test_shell_hand_offs_answer_true(program, method, args, reap_explorers):
    result = program.call(method, args)
    assert result.reply is True
    assert result.events == []


def test_pick_folder_dismissed_answers_null(start_program):
    helper = paths.app_dir() / "dismiss_dialog.exe"
    assert helper.is_file(), f"{helper} is not built"
    prog = start_program()
    rid = prog.call_async("pickFolder")
    done = subprocess.run(
        paths.wine_command(str(helper), "0", str(DIALOG_WAIT_SECONDS)),
        stdin=subprocess.DEVNULL, capture_output=True, timeout=DIALOG_WAIT_SECONDS + 60)
    assert done.returncode == 0, f"no folder dialog was found: {done.stderr!r}"
    raw = prog.wait_reply_raw(rid)
    assert raw == bytes.fromhex("0000"), "a dismissed folder dialog must answer success(null)"
    # The platform thread is free again.
    assert prog.call("cancel").reply is True


@pytest.mark.parametrize("method", ["homeDir", "deviceId", "deviceName"])
def test_quick_methods_ignore_arguments(program, method):
    plain = program.call(method).reply
    assert program.call(method, {"path": "C:\\", "x": [1, 2]}).reply == plain
    assert plain is not NOT_IMPLEMENTED
