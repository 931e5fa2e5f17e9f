"""The run command itself, twice: the sample goes only into the build's prefix, the junk scan
finds exactly the sample's junk, the hard-linked pair is no duplicate group, cleaning leaves every
other sample file in place, the second run shows the same figures, and the treemaps are sound."""

from __future__ import annotations

import json
import os
import subprocess
import sys
from collections import defaultdict
from pathlib import Path

import pytest

from tidvale_client import paths, sample_plan, sample_profile

from treemap_check import check_treemap

RUN = paths.REPO / "scripts" / "run.sh"
RUN_TIMEOUT = 900


def snapshot(top: Path, skip: Path) -> dict[str, tuple]:
    """Every entry below top except the folder skip: type, size and modification time. Reads
    only."""
    seen = {}
    for folder, dirs, files in os.walk(top):
        here = Path(folder)
        dirs[:] = [d for d in dirs if here / d != skip]
        for name in dirs + files:
            st = os.lstat(here / name)
            seen[str((here / name).relative_to(top))] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return seen


def outside_build() -> dict[str, dict]:
    """The repository tree outside the build folder, the build folder's siblings, and the real
    user's trash: what the run command must leave alone."""
    root = paths.build_root()
    views = {"repository": snapshot(paths.REPO, root)}
    if paths.REPO not in root.parents:
        # Beside a build folder elsewhere other builds may be busy: only names are compared.
        views["siblings"] = sorted(e.name for e in root.parent.iterdir() if e != root)
    trash = Path(os.path.expanduser("~")) / ".local" / "share" / "Trash"
    if trash.is_dir() and root not in trash.parents:
        views["user trash"] = snapshot(trash, root)
    return views


def run_tour() -> tuple[str, dict]:
    done = subprocess.run([str(RUN)], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=RUN_TIMEOUT, env=dict(os.environ,
                                                        TIDVALE_BUILD_ROOT=str(paths.build_root())))
    out = done.stdout.decode("utf-8", "replace")
    assert done.returncode == 0, f"run.sh failed:\n{out[-3000:]}\n" \
        + done.stderr.decode("utf-8", "replace")[-3000:]
    figures = json.loads((paths.build_root() / "tour" / "figures.json").read_text("utf-8"))
    return out, figures


def profile_state(profile: Path, files: list) -> dict[str, tuple[int, int] | None]:
    state = {}
    for f in files:
        host = profile.joinpath(*f.rel.split("\\"))
        st = os.lstat(host) if host.exists() else None
        state[f.rel] = (st.st_size, st.st_ino) if st else None
    return state


@pytest.fixture(scope="module")
def two_runs():
    before = outside_build()
    assert before["repository"], "the repository snapshot is empty: it would prove nothing"
    first_out, first = run_tour()
    home = first_out.split("planted in ", 1)[1].split(" ", 1)[0]
    profile = paths.host_path(home)
    # TEMP, relative to the profile, as the first run's junk scan reported it.
    temp_rel = next(p for p in first["junk"]["items"]
                    if "tidvale-sample-setup-old.tmp" in p).rsplit("\\", 1)[0][len(home) + 1:]
    files = sample_plan.sample_files(temp_rel)
    after_first = profile_state(profile, files)
    second_out, second = run_tour()
    after = outside_build()
    yield {"before": before, "after": after, "first": first, "second": second, "home": home,
           "files": files, "after_first": after_first, "out": second_out, "profile": profile}
    # The prefix is shared with the other end-to-end tests: take the sample away again.
    assert sample_profile.unplant(home) > 0
    assert not any(profile.joinpath(*f.rel.split("\\")).exists() for f in files)
    assert not (profile / sample_plan.MARKER).exists()


def test_the_sample_goes_only_into_the_prefix(two_runs):
    assert two_runs["after"] == two_runs["before"], "the run changed something outside the build"
    profile = two_runs["profile"]
    assert paths.wine_root() / "prefix" / "drive_c" in profile.parents
    assert (profile / sample_plan.MARKER).is_file(), "the sample's marker is missing"


def test_the_junk_scan_finds_exactly_the_planted_junk(two_runs):
    home = two_runs["home"]
    expected = {f"{home}\\{item}": size
                for item, (_, size) in sample_plan.junk_items(two_runs["files"]).items()}
    found = {p: s for p, s in two_runs["first"]["junk"]["items"].items()
             if p.lower().startswith(home.lower() + "\\")}
    assert found == expected
    categories = defaultdict(int)
    for _, (category, size) in sample_plan.junk_items(two_runs["files"]).items():
        categories[category] += size
    for category, size in categories.items():
        assert two_runs["first"]["junk"]["categories"][category] >= size, category
    out = two_runs["out"]
    assert "[2/7] Junk" in out and "total" in out


def test_duplicates_are_the_copies_and_never_the_hard_linked_pair(two_runs):
    by_content = defaultdict(list)
    for f in two_runs["files"]:
        if f.role == "duplicate":
            by_content[f.content].append((f"{two_runs['home']}\\{f.rel}", f.size))
    expected = sorted([sorted(p for p, _ in group), group[0][1], (len(group) - 1) * group[0][1]]
                      for group in by_content.values())
    groups = two_runs["first"]["duplicates"]["groups"]
    assert groups == expected
    linked = {f"{two_runs['home']}\\{f.rel}" for f in two_runs["files"] if f.role == "hard-link"}
    assert len(linked) == 2 and not any(linked & set(g[0]) for g in groups)


def test_cleaning_removes_the_junk_and_leaves_every_other_sample_file(two_runs):
    state = two_runs["after_first"]
    for f in two_runs["files"]:
        if f.is_junk:
            assert state[f.rel] is None, f"junk left after cleaning: {f.rel}"
        else:
            assert state[f.rel] is not None and state[f.rel][0] == f.size, \
                f"sample file {f.rel} gone or changed by the cleaning"
    linked = [state[f.rel][1] for f in two_runs["files"] if f.role == "hard-link"]
    assert linked[0] == linked[1], "the hard-linked pair is no longer one file"
    clean = two_runs["first"]["clean"]
    assert not clean.get("failed"), clean
    assert clean["freed"] + clean["inTrashBytes"] == two_runs["first"]["junk"]["total"] \
        - two_runs["first"]["junk"]["categories"]["trash"] - sum(
            s for p, s in two_runs["first"]["junk"]["items"].items() if p in clean["held"])


def test_applications_leftovers_and_startup_items_of_the_sample(two_runs):
    apps = two_runs["first"]["apps"]
    assert [sample_plan.APP_NAME, sum(f.size for f in two_runs["files"]
                                      if f.role == "application")] in apps["apps"]
    leftovers = apps["leftovers"][sample_plan.APP_NAME]
    assert sorted(weak for _, _, weak in leftovers) == [False, False, True]
    assert sum(size for _, size, _ in leftovers) == sum(
        f.size for f in two_runs["files"] if f.role == "leftover")
    startup = dict(map(tuple, two_runs["first"]["startup"]))
    run_key = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|"
    assert startup[run_key + "Pixelgrove Sync"] is True
    assert startup[run_key + sample_plan.DISABLED_RUN_VALUE] is False
    tray = f"{two_runs['home']}\\{sample_plan.STARTUP_FOLDER}\\Pixelgrove Tray.lnk"
    assert startup[tray] is True


def test_the_second_run_shows_the_same_figures(two_runs):
    first, second = two_runs["first"], two_runs["second"]
    assert first["junk"]["total"] > 0 and first["largest"] and first["disk"]["size"] > 0
    assert second == first


def test_the_treemaps_of_the_tour_and_of_the_client_are_sound(two_runs, tmp_path):
    svg = Path(two_runs["second"]["treemap"])
    counts = check_treemap(svg.read_text("utf-8"))
    assert two_runs["home"] in counts["legend"] and counts["labels"] >= 5
    direct = paths.build_root() / "tour" / "client-treemap.svg"
    args = json.dumps({"path": two_runs["home"] + "\\Documents", "depth": 2})
    done = subprocess.run([sys.executable, "-B", str(paths.REPO / "tools" / "tidvale-call"),
                           "--treemap", str(direct), "analyzeDisk", args],
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    assert done.returncode == 0, done.stderr.decode("utf-8", "replace")
    reply = json.loads(done.stdout)
    counts = check_treemap(direct.read_text("utf-8"))
    assert counts["nodes"] > 3 and reply["name"] in counts["legend"]


def test_no_sample_tours_the_prefix_as_it_is(two_runs):
    record = paths.build_root() / "tour" / "sample-made.json"
    made_before = record.read_bytes()
    state_before = profile_state(two_runs["profile"], two_runs["files"])
    done = subprocess.run([str(RUN), "--no-sample"], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=RUN_TIMEOUT)
    out = done.stdout.decode("utf-8", "replace")
    assert done.returncode == 0 and "not planted" in out and "[7/7] Startup items" in out, out
    assert "[clean]" not in out and "removes nothing" in out, out
    assert record.read_bytes() == made_before
    assert profile_state(two_runs["profile"], two_runs["files"]) == state_before
    figures = json.loads((paths.build_root() / "tour" / "figures.json").read_text("utf-8"))
    assert figures["largest"] == two_runs["second"]["largest"]
    assert not [p for p in figures["junk"]["items"] if "tidvale-sample" in p], \
        "the sample's junk is back although nothing was planted"
