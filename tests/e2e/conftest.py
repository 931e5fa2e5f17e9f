"""Shared fixtures: the build under test, program instances, and isolated files in the prefix.

The build is TIDVALE_BUILD_ROOT (default <repo>/build); the program is its
windows/app/Tidvale.exe, run under Wine in the build's own prefix. One program instance is shared
by tests that cannot disturb each other; start-up, exit and listener tests get their own.
"""

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from tidvale_client import TidvaleProcess, paths  # noqa: E402

pytest.register_assert_rewrite("support")
import support  # noqa: E402


def _require_build() -> Path:
    exe = paths.exe_path()
    if not exe.is_file():
        pytest.fail(f"{exe} is not built: build the windows preset under TIDVALE_BUILD_ROOT "
                    f"({paths.build_root()}) first", pytrace=False)
    return exe


@pytest.fixture(scope="session")
def program():
    """One running program, listening on the event channel, shared by the session."""
    _require_build()
    prog = TidvaleProcess()
    assert prog.listen() is None
    yield prog
    code = prog.close()
    assert code == 0, f"shared program exited with {code}; stderr:\n{prog.stderr_text()[-3000:]}"


@pytest.fixture
def start_program():
    """Starts fresh program instances for one test; each is closed (killed on a hang) after."""
    _require_build()
    started = []

    def start(**kwargs):
        prog = TidvaleProcess(**kwargs)
        started.append(prog)
        return prog

    yield start
    for prog in started:
        prog.close()


@pytest.fixture
def prefix_files():
    """Files made inside the prefix for one test, all removed after it; a leftover fails it."""
    files = support.PrefixFiles()
    yield files
    left = files.cleanup()
    assert not left, f"could not remove test files: {left}"


@pytest.fixture(scope="session")
def home_dir(program):
    home = program.call("homeDir").reply
    assert isinstance(home, str) and home, f"homeDir answered {home!r}"
    return home


@pytest.fixture(scope="session")
def temp_dir():
    """The TEMP folder of programs in the prefix."""
    temp = support.windows_env("TEMP")
    assert paths.host_path(temp).is_dir(), f"TEMP {temp!r} is not a folder of the prefix"
    return temp
