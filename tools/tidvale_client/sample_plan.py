"""What the sample profile holds: every file with its place below the user's profile folder, its
size, its age and what it stands for, and the registry entries of the sample application.

The plan is pure data, the same on every run (the bytes come from a fixed seed), so every run
shows the same figures. Paths are relative to the profile folder, with backslashes; "{TEMP}"
stands for the TEMP folder (inside the profile under Wine).
"""

from __future__ import annotations

from dataclasses import dataclass

SEED = 20261207
TAG = "tidvale-sample"
MARKER = TAG + ".txt"  # at the profile's root: the sample's label
MARKER_TEXT = ("This profile holds the sample planted by the Tidvale run command "
               "(scripts/run.sh).\r\nFiles and folders whose names begin with " + TAG
               + " are part of it.\r\n")
KiB, MiB = 1024, 1024 * 1024

LOCAL, ROAMING = "AppData\\Local", "AppData\\Roaming"
APP_NAME, APP_KEY = "Pixelgrove Viewer", "Pixelgrove.Viewer"
APP_PUBLISHER = "Tidvale Sample Software"
APP_HOME = LOCAL + "\\Programs\\" + APP_NAME
STARTUP_FOLDER = ROAMING + "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
UNINSTALL_KEY = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
RUN_KEY = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
APPROVED_RUN_KEY = ("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                    "StartupApproved\\Run")
RUN_VALUES = {"Pixelgrove Sync": "--background", "Pixelgrove Updater": "--check"}
DISABLED_RUN_VALUE = "Pixelgrove Updater"

# The catalogue places of browser caches, each one junk item of "browsers".
BROWSER_CACHES = {
    "Google\\Chrome\\User Data\\Default\\Cache": 1_200 * KiB,
    "Google\\Chrome\\User Data\\Default\\Code Cache": 420 * KiB,
    "Google\\Chrome\\User Data\\Default\\Service Worker\\CacheStorage": 310 * KiB,
    "Google\\Chrome\\User Data\\Default\\GPUCache": 80 * KiB,
    "Microsoft\\Edge\\User Data\\Default\\Cache": 900 * KiB,
    "Microsoft\\Edge\\User Data\\Default\\Code Cache": 260 * KiB,
    "Microsoft\\Edge\\User Data\\Default\\Service Worker\\CacheStorage": 150 * KiB,
    "BraveSoftware\\Brave-Browser\\User Data\\Default\\Cache": 610 * KiB,
    "BraveSoftware\\Brave-Browser\\User Data\\Default\\Code Cache": 120 * KiB,
    "Opera Software\\Opera Stable\\Cache": 450 * KiB,
    "Vivaldi\\User Data\\Default\\Cache": 350 * KiB,
    "Microsoft\\Windows\\INetCookies": 20 * KiB,
    "Mozilla\\Firefox\\Profiles\\" + TAG + ".default-release\\cache2": 700 * KiB,
}


@dataclass(frozen=True)
class SampleFile:
    """One planted file. item: for junk, the path the junk scan reports it under (the file
    itself, or the catalogue folder or listed child holding it); category: that item's junk
    category. content: files with the same key hold the same bytes; shared_prefix: the first
    64 KiB come from this key instead. sparse: only the first 4 KiB are written. link_of: a hard
    link to that file instead of a file of its own."""

    rel: str
    size: int
    role: str
    age_days: float = 7.0
    category: str = ""
    item: str = ""
    content: str = ""
    shared_prefix: str = ""
    sparse: bool = False
    link_of: str = ""

    @property
    def is_junk(self) -> bool:
        return self.role == "junk"


def _junk(rel: str, size: int, category: str, item: str | None = None,
          age_days: float = 7.0) -> SampleFile:
    return SampleFile(rel, size, "junk", age_days, category, item or rel)


def _junk_files(temp: str) -> list[SampleFile]:
    wer = LOCAL + "\\Microsoft\\Windows\\WER"
    explorer = LOCAL + "\\Microsoft\\Windows\\Explorer"
    old_extract = f"{temp}\\{TAG}-extract-old"
    files = [
        _junk(f"{temp}\\{TAG}-setup-old.tmp", 180 * KiB, "temp", age_days=30),
        _junk(f"{temp}\\{TAG}-update-old.log", 12 * KiB, "temp", age_days=45),
        _junk(f"{old_extract}\\data1.cab", 400 * KiB, "temp", old_extract, age_days=30),
        _junk(f"{old_extract}\\data2.cab", 250 * KiB, "temp", old_extract, age_days=30),
        _junk(f"{old_extract}\\readme.txt", 3 * KiB, "temp", old_extract, age_days=30),
        _junk(f"{temp}\\{TAG}-session.tmp", 64 * KiB, "temp", age_days=0.01),
        _junk(LOCAL + "\\Microsoft\\Windows\\INetCache\\IE\\" + TAG + "\\banner[1].jpg",
              150 * KiB, "userCache", LOCAL + "\\Microsoft\\Windows\\INetCache"),
        _junk(LOCAL + "\\D3DSCache\\" + TAG + "\\shaders.idx", 300 * KiB, "userCache",
              LOCAL + "\\D3DSCache"),
        _junk(LOCAL + "\\npm-cache\\_cacache\\" + TAG + ".bin", 500 * KiB, "developer",
              LOCAL + "\\npm-cache"),
        _junk(LOCAL + "\\pip\\cache\\http\\" + TAG + ".bin", 350 * KiB, "developer",
              LOCAL + "\\pip\\cache"),
        _junk(f"{wer}\\{TAG}-diagnostics\\setup.log", 60 * KiB, "userLogs",
              f"{wer}\\{TAG}-diagnostics"),
        _junk(f"{wer}\\{TAG}-diagnostics\\events.log", 30 * KiB, "userLogs",
              f"{wer}\\{TAG}-diagnostics"),
        _junk(LOCAL + f"\\CrashDumps\\{TAG}-viewer.exe.4242.dmp", 2_500 * KiB, "crashReports"),
        _junk(f"{wer}\\ReportArchive\\AppCrash_{TAG}_1\\Report.wer", 40 * KiB, "crashReports",
              f"{wer}\\ReportArchive\\AppCrash_{TAG}_1"),
        _junk(f"{wer}\\ReportQueue\\AppCrash_{TAG}_2\\memory.hdmp", 800 * KiB, "crashReports",
              f"{wer}\\ReportQueue\\AppCrash_{TAG}_2"),
        _junk(f"{explorer}\\thumbcache_256.db", 700 * KiB, "thumbnails"),
        _junk(f"{explorer}\\thumbcache_1024.db", 1_300 * KiB, "thumbnails"),
        _junk(f"{explorer}\\iconcache_48.db", 120 * KiB, "thumbnails"),
    ]
    for folder, size in BROWSER_CACHES.items():
        item = LOCAL + "\\" + folder
        files.append(_junk(f"{item}\\{TAG}-data_0", size * 3 // 4, "browsers", item))
        files.append(_junk(f"{item}\\{TAG}-data_1", size - size * 3 // 4, "browsers", item))
    return files


def _user_files() -> list[SampleFile]:
    camera = f"Pictures\\{TAG}-camera"
    reports = f"Documents\\{TAG}-reports"
    photo, report = 3 * MiB + 123, 3 * MiB // 2 + 77
    return [
        SampleFile(f"Videos\\{TAG}-holiday-2025.mp4", 150 * MiB, "large", 200, sparse=True),
        SampleFile(f"Downloads\\{TAG}-os-installer.iso", 96 * MiB, "large", 90, sparse=True),
        SampleFile(f"Documents\\{TAG}-archive\\photos-2019.zip", 40 * MiB, "large", 400,
                   sparse=True),
        SampleFile(f"Music\\{TAG}-live-set.flac", 24 * MiB, "large", 60, sparse=True),
        SampleFile(f"Desktop\\{TAG}-presentation.pptx", 9 * MiB, "large", 3, sparse=True),
        SampleFile(f"{camera}\\IMG_2041.jpg", photo, "duplicate", 20, content="photo"),
        SampleFile(f"{camera}\\backup\\IMG_2041.jpg", photo, "duplicate", 20, content="photo"),
        SampleFile(f"Downloads\\{TAG}-IMG_2041 (1).jpg", photo, "duplicate", 2, content="photo"),
        SampleFile(f"{reports}\\annual-report.pdf", report, "duplicate", 15, content="report"),
        SampleFile(f"Downloads\\{TAG}-annual-report.pdf", report, "duplicate", 1,
                   content="report"),
        SampleFile(f"{reports}\\draft-a.docx", 1_200 * KiB, "near-duplicate", 5,
                   content="draft-a", shared_prefix="draft"),
        SampleFile(f"{reports}\\draft-b.docx", 1_200 * KiB, "near-duplicate", 4,
                   content="draft-b", shared_prefix="draft"),
        SampleFile(f"Documents\\{TAG}-linked\\budget-2025.xlsx", 5 * MiB // 4 + 5, "hard-link",
                   8, content="budget"),
        SampleFile(f"Desktop\\{TAG}-budget (link).xlsx", 5 * MiB // 4 + 5, "hard-link", 8,
                   link_of=f"Documents\\{TAG}-linked\\budget-2025.xlsx"),
        SampleFile(f"Documents\\{TAG}-notes.txt", 2 * KiB, "document", 1),
    ]


def _app_files() -> list[SampleFile]:
    return [
        SampleFile(f"{APP_HOME}\\pixelgrove.exe", 6 * MiB, "application", 100, sparse=True),
        SampleFile(f"{APP_HOME}\\pgsync.exe", 1 * MiB, "application", 100, sparse=True),
        SampleFile(f"{APP_HOME}\\resources.pak", 3 * MiB, "application", 100, sparse=True),
        SampleFile(f"{ROAMING}\\{APP_NAME}\\settings.json", 4 * KiB, "leftover", 2),
        SampleFile(f"{ROAMING}\\{APP_NAME}\\profiles\\default.db", 220 * KiB, "leftover", 2),
        SampleFile(f"{LOCAL}\\{APP_NAME}\\cache\\thumbs.db", 900 * KiB, "leftover", 2),
        SampleFile("AppData\\LocalLow\\Pixelgrove\\telemetry.dat", 60 * KiB, "leftover", 2),
        SampleFile(f"{STARTUP_FOLDER}\\Pixelgrove Tray.lnk", 2 * KiB, "startup", 30),
    ]


def sample_files(temp: str) -> list[SampleFile]:
    """Every file of the sample; temp is the TEMP folder relative to the profile."""
    return _junk_files(temp) + _user_files() + _app_files()


def junk_items(files: list[SampleFile]) -> dict[str, tuple[str, int]]:
    """The junk scan's items the sample makes: item path -> (category, bytes)."""
    items: dict[str, tuple[str, int]] = {}
    for f in files:
        if f.is_junk:
            category, size = items.get(f.item, (f.category, 0))
            items[f.item] = (category, size + f.size)
    return items


def _reg_text(value: str) -> str:
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def registry_file(home: str, write: bool = True) -> str:
    """A .reg file (regedit 5 format) that removes the sample's keys and values and, when write
    is set, writes them afresh: the application's Uninstall entry and its Run values, one of them
    switched off in the startup-apps settings."""
    app = f"{home}\\{APP_HOME}"
    lines = ["Windows Registry Editor Version 5.00", "",
             f"[-{UNINSTALL_KEY}\\{APP_KEY}]", "", f"[{RUN_KEY}]"]
    lines += [f"{_reg_text(name)}=-" for name in RUN_VALUES]
    lines += ["", f"[{APPROVED_RUN_KEY}]", f"{_reg_text(DISABLED_RUN_VALUE)}=-", ""]
    if not write:
        return "\r\n".join(lines) + "\r\n"
    uninstall, icon = f'"{app}\\uninstall.exe"', app + "\\pixelgrove.exe,0"
    lines += [f"[{UNINSTALL_KEY}\\{APP_KEY}]",
              f'"DisplayName"={_reg_text(APP_NAME)}',
              f'"DisplayVersion"={_reg_text("3.2.1")}',
              f'"Publisher"={_reg_text(APP_PUBLISHER)}',
              f'"InstallLocation"={_reg_text(app)}',
              f'"UninstallString"={_reg_text(uninstall)}',
              f'"DisplayIcon"={_reg_text(icon)}',
              f'"Comments"={_reg_text("Sample application planted by the Tidvale run command")}',
              "", f"[{RUN_KEY}]"]
    sync = f'"{app}\\pgsync.exe"'
    lines += [f"{_reg_text(name)}={_reg_text(sync + ' ' + arg)}"
              for name, arg in RUN_VALUES.items()]
    lines += ["", f"[{APPROVED_RUN_KEY}]",
              f"{_reg_text(DISABLED_RUN_VALUE)}=hex:03,00,00,00,00,00,00,00,00,00,00,00", ""]
    return "\r\n".join(lines) + "\r\n"
