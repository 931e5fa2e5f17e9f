"""The readable views of `tidvale-call --summary`: one function a method, reply in, text out.

Each subsystem keeps its views in a module of its own and adds one line here."""

from __future__ import annotations

from typing import Any, Callable

from . import display, software_views, storage_views, system_views

SUMMARIES: dict[str, Callable[[Any], str]] = {
    "scanJunk": display.junk_summary,
    "scanLargeFiles": storage_views.large_files_summary,
    "scanDuplicates": storage_views.duplicates_summary,
    "analyzeDisk": storage_views.disk_summary,
    "systemInfo": system_views.system_summary,
    "memoryInfo": system_views.memory_summary,
    "optimizeMemory": system_views.optimizer_summary,
    "listApps": software_views.apps_summary,
    "listStartupItems": software_views.startup_summary,
}
