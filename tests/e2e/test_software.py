"""Installed applications, leftovers, uninstalling and startup items through the real program:
reply keys, codec types, and the changes they make to the prefix's registry and folders."""

from __future__ import annotations

import base64
import os
import struct
import subprocess
import time

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
        paths.wine_command("reg.exe", *args),
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


def ico(images: list[tuple[int, bytes]], offset: int | None = None) -> bytes:
    """An icon file of square images (side, image bytes); `offset` overrides the first entry's."""
    out = struct.pack("<HHH", 0, 1, len(images))
    at = 6 + 16 * len(images)
    for i, (side, image) in enumerate(images):
        where = offset if (i == 0 and offset is not None) else at
        out += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(image), where)
        at += len(image)
    return out + b"".join(image for _, image in images)


def bitmap(side: int) -> bytes:
    """A 32-bit icon bitmap: header (height doubled for the mask), colour rows, mask rows."""
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"\xc0" * (side * side * 4) + b"\x00" * (((side + 31) // 32 * 4) * side)


def png_header(width: int, height: int) -> bytes:
    return (PNG_SIGNATURE + struct.pack(">I", 13) + b"IHDR" + struct.pack(">II", width, height)
            + bytes([8, 6, 0, 0, 0]) + bytes(4) + struct.pack(">I", 0) + b"IEND" + bytes(4))


def test_list_apps_survives_hostile_icons_and_measures_only_local_folders(
        program, uninstall_entry, prefix_files, temp_dir):
    folder, win_folder = prefix_files.folder(temp_dir)
    files = {
        # One image claimed at offset 0x7FFFFFF0 of a 62-byte file: the system reader crashed.
        "past-end.ico": ico([(1, struct.pack("<IiiHH", 40, 1, 2, 1, 32) + bytes(24))],
                            offset=0x7FFFFFF0),
        "huge-png.ico": ico([(256, png_header(16000, 16000))]),
        "no-entries.ico": ico([]),
        "good.ico": ico([(32, bitmap(32))]),
    }
    for name, data in files.items():
        (folder / name).write_bytes(data)
        prefix_files.created.append(folder / name)
    assert len(files["past-end.ico"]) == 62
    cases = {
        "past-end.ico": False, "huge-png.ico": False, "no-entries.ico": False, "good.ico": True,
        r"\\nosuchserver\share\app.ico": False,
    }
    names = {}
    for icon, expected in cases.items():
        name = support.unique_name("Tidvale E2E Icon")
        where = icon if icon.startswith("\\") else win_folder + "\\" + icon
        uninstall_entry({"DisplayName": ("REG_SZ", name),
                         "UninstallString": ("REG_SZ", "C:\\nowhere\\uninstall.exe"),
                         "DisplayIcon": ("REG_SZ", where)})
        names[name] = expected
    relative = support.unique_name("Tidvale E2E Relative")
    uninstall_entry({"DisplayName": ("REG_SZ", relative),
                     "UninstallString": ("REG_SZ", "C:\\nowhere\\uninstall.exe"),
                     "InstallLocation": ("REG_SZ", "..\\..")})

    result = program.call("listApps")
    apps = {a["name"]: a for a in result.reply["apps"]}
    for name, expected in names.items():
        icon = apps[name]["icon"]
        assert (icon != "" and base64.b64decode(icon).startswith(PNG_SIGNATURE)) == expected, name
    assert apps[relative]["size"] == 0 and apps[relative]["path"] == "..\\.."


def test_uninstall_app_with_a_missing_uninstaller_runs_nothing_and_keeps_leftovers(
        program, prefix_files, temp_dir):
    folder, win_folder = prefix_files.folder(temp_dir)
    prefix_files.file(folder / "left.bin", 100)
    planted = folder / "pwned.txt"
    for command in [r'"C:\gone\unins000.exe"',
                    rf'"C:\gone\unins000.exe" & echo x> {win_folder}\pwned.txt']:
        result = program.call("uninstallApp", {"command": command, "paths": [win_folder]})
        assert result.reply == {"ok": False, "error": "Could not launch the uninstaller",
                                "freed": 0, "failed": []}, command
    refused = program.call("uninstallApp", {"command": "cmd.exe /c exit", "regKey": "a\0b",
                                            "paths": [win_folder]})
    assert refused.reply == {"ok": False, "error": "Could not launch the uninstaller",
                             "freed": 0, "failed": []}
    time.sleep(1.5)  # an interpreter, had one been started, would not be waited for
    assert (folder / "left.bin").exists() and not planted.exists()


def test_uninstall_app_keeps_the_data_of_a_second_installation(program, uninstall_entry,
                                                               prefix_files, temp_dir):
    name = support.unique_name("Tidvale E2E Twice")
    bundle, key = uninstall_entry({"DisplayName": ("REG_SZ", name)})
    uninstall_entry({"DisplayName": ("REG_SZ", name.upper())})
    folder, win_folder = prefix_files.folder(temp_dir)
    prefix_files.file(folder / "left.bin", 100)
    result = program.call("uninstallApp", {"command": f'reg.exe delete "{key}" /f',
                                           "regKey": bundle, "paths": [win_folder]})
    assert result.reply == {"ok": True, "error": "", "freed": 0, "failed": [win_folder],
                            "inTrash": [], "inTrashBytes": 0}
    assert (folder / "left.bin").exists() and not reg_exists(key)


def test_app_leftovers_never_offer_a_folder_another_application_names(
        program, uninstall_entry, prefix_files):
    appdata = support.windows_env("APPDATA")
    word = support.unique_name("Quillnote")
    prefix_files.folder(appdata, word)
    prefix_files.folder(appdata, f"{word} Help Pack")
    # The publisher's word without its punctuation guards the vendor's folder.
    offered = program.call("appLeftovers", {"name": f"{word} Helper",
                                            "publisher": f"{word}, Inc."}).reply["items"]
    assert offered == []
    assert len(program.call("appLeftovers", {"name": f"{word} Helper"}).reply["items"]) == 1
    # Another registered application names the family's folder.
    uninstall_entry({"DisplayName": ("REG_SZ", f"{word} 7.6.4.1")})
    offered = program.call("appLeftovers", {"name": f"{word} Help Pack"}).reply["items"]
    assert [i["path"].lower() for i in offered] == [f"{appdata}\\{word} help pack".lower()]
    assert [i["weak"] for i in offered] == [False]
