"""Removal reaches what a path names, never more: other names of protected folders, folders that
hold a whole drive, links in the middle of a path, text the shell reads differently, and the
Startup folder's exact names."""

import os

import pytest

import support
from tidvale_client import paths

PREFIX = paths.wine_root() / "prefix"


@pytest.fixture
def aliases():
    """A second drive letter for C: and the administrative share \\\\localhost\\c$, made as Wine
    reads them (links under dosdevices, looked up when a path is opened)."""
    dosdevices = PREFIX / "dosdevices"
    letter = dosdevices / "y:"
    share_folder = dosdevices / "unc" / "localhost"
    letter.symlink_to(paths.drive_c())
    share_folder.mkdir(parents=True, exist_ok=True)
    (share_folder / "c$").symlink_to(paths.drive_c())
    yield
    letter.unlink()
    (share_folder / "c$").unlink()
    share_folder.rmdir()
    share_folder.parent.rmdir()


def z_path(host):
    """The Windows path of a Linux path through Wine's Z: drive (the Linux root)."""
    return "Z:" + str(host.resolve()).replace("/", "\\")


def alias_forms(windows_path):
    rest = windows_path[2:]
    return ["Y:" + rest, z_path(paths.drive_c()) + rest, "\\\\localhost\\c$" + rest,
            "\\\\?\\UNC\\localhost\\c$" + rest, "y:" + rest.upper()]


@pytest.mark.parametrize("to_trash", [False, True])
def test_other_names_of_protected_folders_are_refused(program, prefix_files, home_dir, aliases,
                                                      to_trash):
    canaries = [prefix_files.tree(folder, {"keep.bin": 5})[0]
                for folder in ("C:\\ProgramData", home_dir, "C:\\windows")]
    protected = ["C:\\ProgramData", home_dir, "C:\\windows", "C:\\users",
                 "C:\\ProgramData\\Microsoft", home_dir + "\\AppData\\LocalLow",
                 "C:\\Program Files\\Common Files"]
    for folder in protected:
        assert paths.host_path(folder).is_dir(), folder
    targets = [alias for folder in protected for alias in alias_forms(folder)]
    # The folders that hold drive C: under Wine's Z: drive, which no text check can tell.
    targets += ["Y:\\", "\\\\localhost\\c$", "\\\\localhost\\c$\\",
                z_path(paths.drive_c()), z_path(PREFIX)]

    reply = program.call("deleteItems", {"paths": targets, "toTrash": to_trash}).reply

    assert reply["failed"] == targets
    assert reply["freed"] == 0 and reply["inTrash"] == []
    for canary in canaries:
        assert (canary / "keep.bin").stat().st_size == 5


def test_what_lies_inside_a_protected_folder_goes_under_any_of_its_names(program, prefix_files,
                                                                          aliases):
    # A second letter, the share and its extended form. (Through Wine's Z: the walk down is refused
    # before it reaches drive_c: refused, never removed, as the test above checks.)
    made = []
    for form in (0, 2, 3):
        host, win = prefix_files.folder("C:\\ProgramData")
        prefix_files.file(host / "f.bin", 10)
        made.append((host, alias_forms(win)[form]))
    reply = program.call("deleteItems", {"paths": [alias for _, alias in made]}).reply
    assert reply["failed"] == [] and reply["freed"] == 30
    assert not any(host.exists() for host, _ in made)


def test_a_link_in_the_middle_of_a_path_is_never_followed(program, prefix_files):
    canary, canary_win, _ = prefix_files.tree("C:\\", {"victim.txt": 9})
    holder, holder_win = prefix_files.folder("C:\\")
    os.symlink(canary, holder / "lnk")
    os.symlink(paths.drive_c(), holder / "top")
    targets = [holder_win + "\\lnk\\victim.txt", holder_win + "\\top\\ProgramData",
               holder_win + "\\top" + canary_win[2:] + "\\victim.txt"]

    for to_trash in (False, True):
        reply = program.call("deleteItems", {"paths": targets, "toTrash": to_trash}).reply
        assert reply["failed"] == targets and reply["freed"] == 0
        assert (canary / "victim.txt").stat().st_size == 9
        assert paths.host_path("C:\\ProgramData").is_dir()


def test_the_shell_never_reads_wildcards_or_trims_names(program, prefix_files, home_dir):
    # A name one letter short of the profile's, with a '?': the shell would take the profile.
    user = home_dir.rsplit("\\", 1)[1]
    root, win, _ = prefix_files.tree("C:\\", {"abc/keep.bin": 3, "abc./dot.bin": 4, "x/y.bin": 1})
    wildcards = [win + "\\ab?", win + "\\*", "C:\\users\\" + user[:-1] + "?", "C:\\*",
                 win + "\\abc\\keep.bin:stream", win + "\\abc::$INDEX_ALLOCATION"]
    reply = program.call("deleteItems", {"paths": wildcards + [win + "\\abc."],
                                         "toTrash": True}).reply
    assert reply["failed"] == wildcards
    # "abc." went as itself (permanently: the shell would have read "abc"); "abc" stays.
    assert reply["freed"] == 4 and reply["inTrash"] == []
    assert sorted(p.name for p in root.iterdir()) == ["abc", "x"]
    assert (root / "abc" / "keep.bin").exists() and paths.host_path(home_dir).is_dir()


def test_a_long_path_with_to_trash_goes_and_the_program_stays_up(program, prefix_files):
    root, win = prefix_files.folder("C:\\")
    deep = root
    for _ in range(9):
        deep = deep / ("d" * 110)
    prefix_files.file(deep / "f.bin", 12)
    long_win = win + "\\" + "\\".join(["d" * 110] * 9)
    assert len(long_win) > 1000

    reply = program.call("deleteItems", {"paths": [long_win + "\\f.bin"], "toTrash": True}).reply

    # Too long for the shell: removed permanently, as itself.
    assert reply == {"freed": 12, "failed": [], "inTrash": [], "inTrashBytes": 0}
    assert not (deep / "f.bin").exists()
    assert program.call("deleteItems", {"paths": [long_win]}).reply["failed"] == []
    assert not deep.exists()


def test_remove_startup_item_takes_the_exact_name(program, home_dir):
    startup = home_dir + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
    folder = paths.host_path(startup)
    name = support.unique_name("startup")
    dotted, plain = folder / (name + "."), folder / name
    folder.mkdir(parents=True, exist_ok=True)
    try:
        dotted.write_bytes(b"a")
        plain.write_bytes(b"b")
        reply = program.call("removeStartupItem",
                             {"id": startup + "\\" + name + ".", "kind": "loginItem"}).reply
        assert reply == {"ok": True, "error": ""}
        assert not dotted.exists() and plain.read_bytes() == b"b"
        outside = program.call("removeStartupItem", {
            "id": startup + "\\..\\" + name, "kind": "loginItem"}).reply
        assert outside == {"ok": False, "error": "bad id"}
    finally:
        for f in (dotted, plain):
            if f.exists():
                f.unlink()


def test_a_drive_relative_scan_reports_paths_that_name_the_listed_files(program):
    reply = program.call("analyzeDisk", {"path": "C:", "depth": 1}, timeout=300).reply
    assert reply["name"] == "C:" and reply["path"] == "C:"
    named = [child for child in reply["children"] if child["name"] != "…"]
    assert named
    for child in named:
        assert child["path"].startswith("C:\\")
        assert paths.host_path(child["path"]).exists(), child["path"]
