"""Installed applications, leftovers, uninstalling and startup items through the real program:
reply keys, codec types, and the changes they make to the prefix's registry and folders."""

from __future__ import annotations

import base64
import os
import subprocess

import pytest

from tidvale_client import Int64, method_codec, paths

import support

UNINSTALL = r"HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
RUN = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
APPROVED_RUN = r"HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
APP_KEYS = ["name", "path", "bundleId", "version", "size", "isApple", "publisher", "uninstall",
            "quietUninstall", "modified", "icon"]
STARTUP_KEYS = ["id", "name", "path", "kind", "enabled", "runAtLoad", "editable"]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def reg(*args: str, check: bool = True) -> subprocess.CompletedProcess:
    """reg.exe inside the prefix."""
    return subprocess.run(
        [str(paths.WINE_RUN), "--root", str(paths.wine_root()), "reg.exe", *args],
        stdin=subprocess.DEVNULL, capture_output=True, timeout=120, check=check)


def reg_exists(key: str, value: str | None = None) -> bool:
    args = ["query", key] + (["/v", value] if value is not None else [])
    return reg(*args, check=False).returncode == 0


def check_exact_encoding(result):
    """The reply re-encodes to the very bytes sent: key order and integer widths as decoded."""
    assert method_codec.encode_success(result.reply) == result.raw


def z_path(host) -> str:
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(host).replace("/", "\\")


@pytest.fixture
def uninstall_entry():
    """A uniquely named Uninstall entry of the current user, removed afterwards."""
    made = []

    def make(values: dict[str, tuple[str, str]]) -> tuple[str, str]:
        name = support.unique_name("TidvaleE2E")
        key = f"{UNINSTALL}\\{name}"
        made.append(key)
        for value, (kind, data) in values.items():
            reg("add", key, "/v", value, "/t", kind, "/d", data, "/f")
        return name, key

    yield make
    for key in made:
        if reg_exists(key):
            reg("delete", key, "/f")
        assert not reg_exists(key), f"{key} left behind"


def test_list_apps_entry_shape_icon_and_progress(program, uninstall_entry):
    name = support.unique_name("Tidvale E2E App")
    bundle, _ = uninstall_entry({
        "DisplayName": ("REG_SZ", name),
        "UninstallString": ("REG_SZ", "C:\\nowhere\\uninstall.exe"),
        "DisplayVersion": ("REG_SZ", "4.5.6"),
        "Publisher": ("REG_SZ", "Brightline"),
        "EstimatedSize": ("REG_DWORD", "2048"),
        "DisplayIcon": ("REG_SZ", '"' + z_path(paths.exe_path()) + '",0'),
    })
    result = program.call("listApps")
    check_exact_encoding(result)
    assert list(result.reply) == ["apps"]
    apps = result.reply["apps"]
    mine = [a for a in apps if a["name"] == name]
    assert len(mine) == 1
    app = mine[0]
    assert sorted(app) == sorted(APP_KEYS)
    assert app["bundleId"] == bundle and app["version"] == "4.5.6"
    assert app["publisher"] == "Brightline" and app["quietUninstall"] == "" and app["path"] == ""
    assert app["size"] == 2048 * 1024 and type(app["size"]) is Int64
    assert app["modified"] == 0 and type(app["modified"]) is Int64
    assert app["isApple"] is False
    assert base64.b64decode(app["icon"], validate=True).startswith(PNG_SIGNATURE)
    sizes = [a["size"] for a in apps]
    assert sizes == sorted(sizes, reverse=True)
    for event in result.events:
        assert event["task"] == "apps" and event["bytes"] == 0
        assert type(event["count"]) is Int64 and 1 <= event["count"] <= len(apps)


def test_startup_item_shape_and_change_replies(program):
    value = support.unique_name("TidvaleE2E")
    reg("add", f"HKCU\\{RUN}", "/v", value, "/t", "REG_EXPAND_SZ", "/d", "%SystemRoot%\\a.exe",
        "/f")
    item_id = f"HKCU\\{RUN}|{value}"
    try:
        result = program.call("listStartupItems")
        check_exact_encoding(result)
        assert list(result.reply) == ["items"] and result.events == []
        assert [i for i in result.reply["items"] if i["id"] == item_id] == [{
            "id": item_id, "name": value, "path": "%SystemRoot%\\a.exe", "kind": "userAgent",
            "enabled": True, "runAtLoad": True, "editable": True}]
        change = {"id": item_id, "kind": "userAgent"}
        for method, args, reply in [
            ("setStartupItem", {**change, "enabled": False}, {"ok": True, "error": ""}),
            ("removeStartupItem", change, {"ok": True, "error": ""}),
            ("removeStartupItem", change,
             {"ok": False, "error": "Access denied (run as administrator)"}),
            ("removeStartupItem", {"id": "HKCU\\Software|x", "kind": "userAgent"},
             {"ok": False, "error": "bad id"}),
        ]:
            result = program.call(method, args)
            check_exact_encoding(result)
            assert result.reply == reply, (method, args)
    finally:
        reg("delete", f"HKCU\\{RUN}", "/v", value, "/f", check=False)
        reg("delete", APPROVED_RUN, "/v", value, "/f", check=False)
    assert not reg_exists(APPROVED_RUN, value) and not reg_exists(f"HKCU\\{RUN}", value)


def test_uninstall_app_runs_the_command_then_deletes_leftovers(program, uninstall_entry,
                                                                prefix_files, temp_dir):
    bundle, key = uninstall_entry({"DisplayName": ("REG_SZ", support.unique_name("E2E"))})
    folder, win_folder = prefix_files.folder(temp_dir)
    prefix_files.file(folder / "left.bin", 100)
    result = program.call("uninstallApp", {"command": f'reg.exe delete "{key}" /f',
                                           "regKey": bundle, "paths": [win_folder]})
    check_exact_encoding(result)
    assert result.reply == {"ok": True, "error": "", "freed": 100, "failed": [], "inTrash": [],
                            "inTrashBytes": 0}
    assert type(result.reply["freed"]) is Int64 and type(result.reply["inTrashBytes"]) is Int64
    assert not folder.exists() and not reg_exists(key)
    nothing = program.call("uninstallApp", {}).reply
    assert nothing == {"ok": True, "freed": 0, "failed": [], "inTrash": [], "inTrashBytes": 0}


def test_app_leftovers_shape_weak_match_and_links(program, prefix_files):
    appdata = support.windows_env("APPDATA")
    word = support.unique_name("Pixelfox")
    folder, _ = prefix_files.folder(appdata, word)
    prefix_files.file(folder / "data.bin", 1234)
    # A Linux symlink shows in Wine as a link of unknown kind: it is listed, never measured.
    canary, _ = prefix_files.folder(support.windows_env("TEMP"))
    prefix_files.file(canary / "big.bin", 5000)
    link = paths.host_path(appdata) / f"{word} studio"
    os.symlink(canary, link)
    prefix_files.created.append(link)

    result = program.call("appLeftovers", {"name": f"{word} Studio", "publisher": "Brightline"})
    check_exact_encoding(result)
    assert list(result.reply) == ["items"] and result.events == []
    items = {i["path"].lower(): i for i in result.reply["items"]}
    assert len(items) == 2
    weak = items[(appdata + "\\" + word).lower()]
    assert sorted(weak) == ["name", "path", "size", "weak"]
    assert weak["weak"] is True and weak["size"] == 1234 and type(weak["size"]) is Int64
    assert weak["name"].startswith("~\\")
    linked = items[(appdata + "\\" + word + " studio").lower()]
    assert linked["weak"] is False and linked["size"] == 0
    assert (canary / "big.bin").exists()
    assert program.call("appLeftovers", {}).reply == {"items": []}
