"""tidvale-call: calls one method of the running program and prints the reply as JSON."""

from __future__ import annotations

import argparse
import json
import shutil
import subprocess
import sys
import threading
from pathlib import Path
from typing import Any, TextIO

from . import codec, display, method_codec, paths, summaries, system_views, tour
from .process import ProtocolError, TidvaleProcess
from .tour import OVERVIEW_METHODS
from .treemap_svg import write_treemap

EXIT_OK = 0
EXIT_FAILURE = 1
EXIT_USAGE = 2
EXIT_NOT_IMPLEMENTED = 3
EXIT_ERROR_REPLY = 4

DEFAULT_TIMEOUT = 600.0
FALLBACK_WIDTH = 80


class ProgressDisplay:
    """One carriage-return updated line on a text stream; safe to feed from the reader thread."""

    def __init__(self, stream: TextIO) -> None:
        self.stream = stream
        self.lock = threading.Lock()
        self.shown = False

    def width(self) -> int:
        try:
            return shutil.get_terminal_size((FALLBACK_WIDTH, 24)).columns - 1
        except (OSError, ValueError):
            return FALLBACK_WIDTH - 1

    def __call__(self, event: Any) -> None:
        width = self.width()
        line = display.progress_line(event, width)
        with self.lock:
            self.stream.write("\r" + line.ljust(width))
            self.stream.flush()
            self.shown = True

    def finish(self) -> None:
        with self.lock:
            if self.shown:
                self.stream.write("\n")
                self.stream.flush()
                self.shown = False


def parse_args(argv: list[str]) -> argparse.Namespace:
    p = argparse.ArgumentParser(
        prog="tidvale-call",
        description="Starts Tidvale.exe under Wine in the build's isolated prefix, calls METHOD "
        "on tidvale/native with JSON-ARGS, shows progress events on stderr and prints the reply "
        "as JSON (binary values as base64).",
        epilog="Exit codes: 0 success, 1 program failure, 2 usage, 3 method not implemented, "
        "4 error reply.")
    p.add_argument("method", nargs="?", help='method name, e.g. "scanJunk"')
    p.add_argument("args", nargs="?", help='arguments as JSON, e.g. \'{"path": "C:\\\\"}\'')
    p.add_argument("--summary", action="store_true",
                   help="print a readable summary instead of JSON (for "
                   + ", ".join(sorted(summaries.SUMMARIES)) + ")")
    p.add_argument("--overview", action="store_true",
                   help="show the system summary, device id, computer name and home folder, then "
                   "scan for junk")
    p.add_argument("--tour", action="store_true",
                   help="plant the sample profile in the build's prefix, show the seven steps "
                   "(overview, junk, largest files, duplicates, disk usage, applications, "
                   "startup items) and clean the junk found in the profile")
    p.add_argument("--no-sample", action="store_true",
                   help="with --tour: scan the prefix as it is, without planting the sample; "
                        "nothing is removed")
    p.add_argument("--treemap", metavar="FILE.svg",
                   help="with analyzeDisk: also draw the reply as a squarified treemap in FILE")
    p.add_argument("--build-root",
                   help="build folder (default: $TIDVALE_BUILD_ROOT or <repo>/build)")
    p.add_argument("--timeout", type=float, default=DEFAULT_TIMEOUT,
                   help="seconds to wait for the reply (default %(default)s)")
    ns = p.parse_args(argv)
    if not ns.overview and not ns.tour and not ns.method:
        p.error("METHOD is required (or --overview, --tour)")
    if ns.no_sample and not ns.tour:
        p.error("--no-sample applies to --tour only")
    if ns.treemap and ns.method != "analyzeDisk":
        p.error("--treemap applies to analyzeDisk only")
    if ns.summary and ns.method not in summaries.SUMMARIES:
        p.error("--summary applies to " + ", ".join(sorted(summaries.SUMMARIES)) + " only")
    return ns


def parse_json_args(text: str | None) -> Any:
    if text is None:
        return None
    return json.loads(text)


def print_reply(reply: Any, method: str, summary: bool, out: TextIO, err: TextIO) -> int:
    if reply is method_codec.NOT_IMPLEMENTED:
        err.write(f"tidvale-call: {method} is not implemented (empty reply)\n")
        return EXIT_NOT_IMPLEMENTED
    if isinstance(reply, method_codec.MethodError):
        out.write(json.dumps(display.to_json(reply), ensure_ascii=False, indent=2) + "\n")
        return EXIT_ERROR_REPLY
    if summary:
        out.write(summaries.SUMMARIES[method](reply) + "\n")
    else:
        out.write(json.dumps(display.to_json(reply), ensure_ascii=False, indent=2) + "\n")
    return EXIT_OK


def run_call(prog: TidvaleProcess, ns: argparse.Namespace, args: Any,
             progress: ProgressDisplay) -> int:
    result = prog.call(ns.method, args, timeout=ns.timeout)
    progress.finish()
    if ns.treemap and isinstance(result.reply, dict):
        svg = write_treemap(result.reply, Path(ns.treemap))
        sys.stderr.write(f"tidvale-call: treemap written to {svg}\n")
    return print_reply(result.reply, ns.method, ns.summary, sys.stdout, sys.stderr)


def run_overview(prog: TidvaleProcess, ns: argparse.Namespace, progress: ProgressDisplay) -> int:
    summary = prog.call("systemInfo", timeout=ns.timeout).reply
    sys.stdout.write("\n".join(system_views.overview_lines(summary)) + "\n")
    for method, label in OVERVIEW_METHODS:
        reply = prog.call(method, timeout=ns.timeout).reply
        shown = reply if isinstance(reply, str) else repr(reply)
        sys.stdout.write(f"{label + ':':<11} {shown}\n")
    sys.stdout.flush()
    sys.stderr.write("scanning for junk...\n")
    result = prog.call("scanJunk", timeout=ns.timeout)
    progress.finish()
    return print_reply(result.reply, "scanJunk", True, sys.stdout, sys.stderr)


def main(argv: list[str] | None = None) -> int:
    ns = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        args = parse_json_args(ns.args)
    except json.JSONDecodeError as e:
        sys.stderr.write(f"tidvale-call: JSON-ARGS is not valid JSON: {e}\n")
        return EXIT_USAGE
    root = paths.build_root() if ns.build_root is None else Path(ns.build_root).resolve()
    progress = ProgressDisplay(sys.stderr)
    try:
        prog = TidvaleProcess(build_root=root, on_event=progress)
    except (FileNotFoundError, ProtocolError) as e:
        sys.stderr.write(f"tidvale-call: cannot start the program: {e}\n")
        return EXIT_FAILURE
    try:
        prog.listen()
        if ns.tour:
            tour.Tour(prog, root, sys.stdout, sys.stderr, progress.finish,
                      ns.timeout).run(plant=not ns.no_sample)
            code = EXIT_OK
        elif ns.overview:
            code = run_overview(prog, ns, progress)
        else:
            code = run_call(prog, ns, args, progress)
    except (codec.CodecError, ValueError, OSError, RuntimeError, subprocess.SubprocessError) as e:
        progress.finish()
        sys.stderr.write(f"tidvale-call: {e}\n")
        code = EXIT_FAILURE
    finally:
        exit_code = prog.close()
    if code == EXIT_OK and exit_code not in (0, None):
        sys.stderr.write(f"tidvale-call: the program exited with code {exit_code}\n")
        code = EXIT_FAILURE
    return code
