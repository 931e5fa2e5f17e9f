"""The check before the run command removes anything, on a stand-in prefix in a temp folder (no
Wine): only plain paths inside the profile folder, reached without links, and folders that hold
no link or mount point, pass. The sample's own tidying trusts neither its record nor the trash's
names."""

import json
import os

import pytest

from tidvale_client import paths, profile_guard, sample_profile

HOME = "C:\\users\\sample"


@pytest.fixture
def prefix(tmp_path, monkeypatch):
    """A build root whose prefix has a profile with a file, a folder and links leading out."""
    monkeypatch.setenv("TIDVALE_BUILD_ROOT", str(tmp_path))
    users = tmp_path / "wine" / "prefix" / "drive_c" / "users"
    profile = users / "sample"
    (profile / "Temp" / "old").mkdir(parents=True)
    (profile / "Temp" / "x.tmp").write_bytes(b"x")
    (profile / "Temp" / "trailing.").write_bytes(b"x")
    (users / "Public" / "Documents").mkdir(parents=True)
    outside = tmp_path / "outside"
    outside.mkdir()
    (outside / "precious").write_bytes(b"p")
    os.symlink(outside, profile / "link")
    os.symlink(outside / "precious", profile / "Temp" / "file-link")
    # Folders that look plain from Windows but hold a link further down.
    (profile / "Temp" / "holds-file-link" / "deeper").mkdir(parents=True)
    os.symlink(outside / "precious", profile / "Temp" / "holds-file-link" / "deeper" / "p")
    (profile / "Temp" / "holds-folder-link").mkdir()
    os.symlink(outside, profile / "Temp" / "holds-folder-link" / "out")
    return tmp_path


# The profile's own part is compared ignoring case, as Windows does; below it, the names are
# looked up as written on the Linux side.
ALLOWED = ["C:\\users\\sample\\Temp\\x.tmp", "C:\\users\\sample\\Temp\\old",
           "c:\\USERS\\Sample\\Temp\\x.tmp"]
REFUSED = [
    ("C:\\users\\sample", "not inside"),
    ("C:\\users\\sample\\", "not inside"),
    ("C:\\users\\samplex\\Temp", "not inside"),
    ("C:\\users\\Public\\Documents", "not inside"),
    ("Z:\\work\\wt", "not inside"),
    ("recycle:", "not inside"),
    ("\\\\?\\C:\\users\\sample\\Temp\\x.tmp", "not inside"),
    ("C:\\users\\sample\\..\\Public", "dot"),
    ("C:\\users\\sample\\Temp\\old\\..\\..\\..\\Public", "dot"),
    ("C:\\users\\sample\\Temp\\.", "dot"),
    ("C:\\users\\sample\\Temp\\\\x.tmp", "empty"),
    ("C:\\users\\sample\\Temp\\", "empty"),
    ("C:\\users\\sample\\Temp\\trailing.", "ending in a dot"),
    ("C:\\users\\sample\\Temp/x.tmp", "character"),
    ("C:\\users\\sample\\Temp\\x.tmp:stream", "character"),
    ("C:\\users\\sample\\Temp\\*.tmp", "character"),
    ("C:\\users\\sample\\link", "link"),
    ("C:\\users\\sample\\link\\precious", "link"),
    ("C:\\users\\sample\\Temp\\file-link", "link"),
    ("C:\\users\\sample\\Temp\\holds-file-link", "holds a link"),
    ("C:\\users\\sample\\Temp\\holds-folder-link", "holds a link"),
    ("C:\\users\\sample\\Temp", "holds a link"),
    ("C:\\users\\sample\\Temp\\missing.tmp", "does not exist"),
]


@pytest.mark.parametrize("path", ALLOWED)
def test_plain_paths_inside_the_profile_pass(prefix, path):
    assert profile_guard.refusal(path, HOME) is None


@pytest.mark.parametrize("path,reason", REFUSED)
def test_everything_else_is_held_back_with_its_reason(prefix, path, reason):
    why = profile_guard.refusal(path, HOME)
    assert why is not None and reason in why, f"{path!r}: {why!r}"


@pytest.mark.parametrize("home", ["Z:\\root", "C:\\users", "C:\\users\\a\\b", "C:\\users\\..",
                                  "", None])
def test_a_home_that_is_not_a_profile_folder_allows_nothing(prefix, home):
    for path in ALLOWED:
        assert profile_guard.refusal(path, home) is not None


def test_split_keeps_order_and_reasons(prefix):
    allowed, held = profile_guard.split_cleanable(
        ALLOWED + ["Z:\\etc\\passwd", ALLOWED[0]], HOME)
    assert allowed == ALLOWED + [ALLOWED[0]]
    assert [p for p, _ in held] == ["Z:\\etc\\passwd"]


def test_a_profile_folder_that_is_a_link_allows_nothing(tmp_path, monkeypatch):
    monkeypatch.setenv("TIDVALE_BUILD_ROOT", str(tmp_path))
    users = tmp_path / "wine" / "prefix" / "drive_c" / "users"
    (tmp_path / "real" / "Temp").mkdir(parents=True)
    (tmp_path / "real" / "Temp" / "x.tmp").write_bytes(b"x")
    users.mkdir(parents=True)
    os.symlink(tmp_path / "real", users / "sample")
    assert "profile folder is a link" in profile_guard.refusal(ALLOWED[0], HOME)


def test_tidying_acts_only_on_what_it_can_vouch_for(prefix):
    """A forged record and forged trash entries: only labelled, whole entries inside the profile
    go, and the trash folder itself, the profile and what links lead to stay."""
    profile = prefix / "wine" / "prefix" / "drive_c" / "users" / "sample"
    (profile / "AppData" / "Local" / "Vendor" / "Cache").mkdir(parents=True)
    (profile / "AppData" / "Local" / "tidvale-sample-x").mkdir()
    (profile / "AppData" / "Local" / "tidvale-sample-linked").mkdir()
    os.symlink(prefix / "outside", profile / "AppData" / "Local" / "tidvale-sample-linked" / "o")
    (profile / "Documents").mkdir()
    (profile / "Documents" / "mine.txt").write_bytes(b"m")
    record = prefix / "tour" / "sample-made.json"
    record.parent.mkdir()
    record.write_text(json.dumps({"made": [
        "AppData", "Documents", "..\\Public", "AppData\\Local\\Vendor",
        "AppData\\Local\\tidvale-sample-x", "AppData\\Local\\tidvale-sample-linked"]}))
    sample_profile.remove_previous(profile, record, [])
    assert (profile / "Documents" / "mine.txt").exists()
    assert (prefix / "wine" / "prefix" / "drive_c" / "users" / "Public" / "Documents").exists()
    assert not (profile / "AppData" / "Local" / "Vendor").exists()  # only empty folders
    assert not (profile / "AppData" / "Local" / "tidvale-sample-x").exists()
    assert (profile / "AppData" / "Local" / "tidvale-sample-linked").exists()
    assert (prefix / "outside" / "precious").exists()

    trash = paths.prefix_trash(prefix)
    (trash / "info").mkdir(parents=True)
    (trash / "files" / "kept").mkdir(parents=True)
    origin = profile / "Temp" / "x.tmp"
    for name in ("...trashinfo", "..trashinfo", "x.tmp.trashinfo"):
        (trash / "info" / name).write_text(f"[Trash Info]\nPath={origin}\n")
    (trash / "files" / "x.tmp").write_bytes(b"x")
    assert sample_profile.tidy_trash(prefix, profile, ["Temp\\x.tmp"]) == 1
    assert (trash / "files" / "kept").is_dir()
    assert not (trash / "files" / "x.tmp").exists()
