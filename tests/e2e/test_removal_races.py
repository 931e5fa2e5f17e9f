"""Races against "deleteItems" through the real program: a Windows program in the same prefix
(tests/e2e/attacker) swaps folders by renaming, again and again, while the program resolves,
measures and removes. Whatever it does, what leaves its place is what the path named when the
program measured it: the canary, a folder that is never asked for, leaves only when the swap had
put it at the path before the call resolved it; the reply then credits exactly its bytes, and
the original stays. (Without the pinned way, the shell reads the path after a swap back and
sends the original to the bin while the canary was measured.)

Wine's server keeps share modes between Windows programs, so the folders the program pins on
the way cannot be renamed while it holds them; a rename made on the Linux side would bypass
that, and no Windows program can make one."""

import subprocess
import time

import pytest

from tidvale_client import paths

ROUNDS = 20
ORIGINAL_FILES, ORIGINAL_FILE_BYTES = 200, 10
CANARY_BYTES = 7
ATTACKER = paths.build_root() / "windows" / "tests" / "e2e" / "attacker" / "swap_attacker.exe"


def windows(host):
    return paths.windows_path(host)


class Attacker:
    """One run of the swap attacker over pairs of folders, until stopped."""

    def __init__(self, work, pairs):
        self.stop = work / "stop"
        ready = work / "stop.ready"
        self.stop.unlink(missing_ok=True)
        ready.unlink(missing_ok=True)
        args = [windows(self.stop), "60"] + [windows(p) for pair in pairs for p in pair]
        self.process = subprocess.Popen(paths.wine_command(str(ATTACKER), *args),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        deadline = time.monotonic() + 60
        while not ready.exists():
            assert self.process.poll() is None and time.monotonic() < deadline, "no attacker"
            time.sleep(0.01)
        ready.unlink()

    def finish(self):
        """Stops the attacker once it has put everything back; returns its count of swaps."""
        self.stop.write_bytes(b"")
        out, _ = self.process.communicate(timeout=60)
        self.stop.unlink()
        assert self.process.returncode == 0, out
        return int(out.split("swaps=")[1].split()[0])


def plant(folder, name, files, size):
    target = folder / name
    target.mkdir(parents=True)
    for i in range(files):
        (target / f"f{i:03d}.bin").write_bytes(b"o" * size)


def intact(folder, files, size):
    return folder.is_dir() and sum(1 for f in folder.iterdir()
                                   if f.is_file() and f.stat().st_size == size) == files


@pytest.fixture
def work(prefix_files):
    host, _ = prefix_files.folder("C:\\")
    trash = paths.prefix_trash() / "files"
    before = set(trash.iterdir()) if trash.is_dir() else set()
    yield host
    # What the rounds sent to the prefix's trash goes with the test.
    for item in (set(trash.iterdir()) if trash.is_dir() else set()) - before:
        info = trash.parent / "info" / (item.name + ".trashinfo")
        subprocess.run(["rm", "-rf", "--one-file-system", str(item)], check=True)
        info.unlink(missing_ok=True)


# (name, the folder that is swapped, relative to the round's folder, to_trash)
SCENARIOS = [
    ("a folder on the way, swapped before the shell reads the path", "way", True),
    ("a folder on the way, flipping during a permanent removal", "way", False),
    ("the target itself, flipping during a permanent removal", "way/target", False),
]


@pytest.mark.parametrize("name,swapped,to_trash", SCENARIOS, ids=[s[0] for s in SCENARIOS])
def test_a_swapping_program_never_gets_a_canary_removed(program, work, name, swapped, to_trash):
    swaps = 0
    for round_number in range(ROUNDS):
        here = work / f"r{round_number}"
        plant(here / "way", "target", ORIGINAL_FILES, ORIGINAL_FILE_BYTES)
        # The canary stands where the swapped folder would lead the path.
        canary = here / ("canary-" + swapped.replace("/", "-"))
        canary_target = canary / "target" if swapped == "way" else canary
        plant(canary_target.parent, canary_target.name, 1, CANARY_BYTES)
        attacker = Attacker(work, [(here / swapped, canary)])
        reply = program.call("deleteItems", {"paths": [windows(here / "way" / "target")],
                                             "toTrash": to_trash}).reply
        swaps += attacker.finish()

        credited = reply["freed"] + reply["inTrashBytes"]
        # The original may stay where the attacker had put it aside, when what took its place
        # was removed meanwhile (as what the path named).
        aside = (here / swapped).with_name((here / swapped).name + ".away")
        original = any(intact(folder, ORIGINAL_FILES, ORIGINAL_FILE_BYTES)
                       for folder in (here / "way" / "target",
                                      aside / "target" if swapped == "way" else aside))
        if not intact(canary_target, 1, CANARY_BYTES):
            # Only when the path named the canary at the call, and measured as such.
            assert credited == CANARY_BYTES and original, (round_number, reply)
        else:
            assert credited <= ORIGINAL_FILES * ORIGINAL_FILE_BYTES, (round_number, reply)
    assert swaps > 0, "the attacker never swapped: the rounds proved nothing"
