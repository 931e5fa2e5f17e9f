"""Runs Tidvale.exe under Wine in the isolated prefix and speaks the headless engine's protocol.

Standard input and output of the program carry one JSON object per line. A reader thread
collects every output line; callers wait on a condition for replies, events and start-up lines.
Standard error goes live into a temporary file that callers may read at any time.
"""

from __future__ import annotations

import base64
import json
import os
import signal
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Callable

from . import codec, method_codec, paths

NATIVE_CHANNEL = "tidvale/native"
EVENTS_CHANNEL = "tidvale/events"

START_TIMEOUT = 60.0
CALL_TIMEOUT = 60.0
EXIT_TIMEOUT = 30.0
BACKTRACE_TIMEOUT = 60.0
CRASH_REPORT_TIMEOUT = 15.0
BACKTRACE_CHARS = 12000


class ProtocolError(RuntimeError):
    """The program broke the line protocol, or did not answer in time."""


@dataclass
class CallResult:
    """A decoded reply and the progress events that arrived between the request and the reply."""

    reply: Any
    events: list = field(default_factory=list)
    raw: bytes = b""


@dataclass
class Message:
    """A message the program sent on a channel, in arrival order (index counts all messages)."""

    channel: str
    data: bytes
    index: int


class TidvaleProcess:
    """One running Tidvale.exe. Thread-safe; every wait has a timeout and raises ProtocolError."""

    def __init__(
        self,
        build_root: Path | None = None,
        exe: Path | None = None,
        args: tuple = (),
        on_event: Callable[[Any], None] | None = None,
        start_timeout: float = START_TIMEOUT,
    ) -> None:
        self.build_root = Path(build_root) if build_root else paths.build_root()
        self.exe = Path(exe) if exe else paths.exe_path(self.build_root)
        if not self.exe.is_file():
            raise FileNotFoundError(f"{self.exe} is not built")
        self.on_event = on_event
        self._cond = threading.Condition()
        self._next_id = 1
        self._write_lock = threading.Lock()
        self.registrars: list[str] = []
        self.ready = False
        self.replies: dict[int, list[bytes]] = {}
        self.reply_order: list[int] = []
        self.messages: list[Message] = []
        self.errors: list[str] = []
        self.bad_lines: list[bytes] = []
        self.lines: list[dict] = []
        self.stdout_closed = False

        self._stderr_file = tempfile.NamedTemporaryFile(prefix="tidvale-stderr-", delete=False)
        env = dict(os.environ, TIDVALE_LIVE_STDERR="1")
        self.proc = subprocess.Popen(
            paths.wine_command(str(self.exe), *args, root=self.build_root),
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self._stderr_file,
            cwd=str(self.exe.parent),
            env=env,
            start_new_session=True,
        )
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        if start_timeout:
            try:
                self.wait_ready(start_timeout)
            except ProtocolError:
                self.close()
                raise

    # ---------------------------------------------------------------------------------------
    # Output side

    def _read_stdout(self) -> None:
        assert self.proc.stdout is not None
        for raw in self.proc.stdout:
            try:
                line = json.loads(raw.decode("utf-8"))
                if not isinstance(line, dict):
                    raise ValueError("not an object")
            except ValueError:
                with self._cond:
                    self.bad_lines.append(raw)
                    self._cond.notify_all()
                continue
            self._handle_line(line, raw)
        with self._cond:
            self.stdout_closed = True
            self._cond.notify_all()

    def _handle_line(self, line: dict, raw: bytes) -> None:
        op = line.get("op")
        event_value = None
        with self._cond:
            self.lines.append(line)
            if op == "registrar":
                self.registrars.append(line.get("name"))
            elif op == "ready":
                self.ready = True
            elif op == "reply":
                data = self._b64(line.get("data"), raw)
                rid = line.get("id")
                self.replies.setdefault(rid, []).append(data)
                self.reply_order.append(rid)
            elif op == "message":
                data = self._b64(line.get("data"), raw)
                msg = Message(line.get("channel"), data, len(self.messages))
                self.messages.append(msg)
                if msg.channel == EVENTS_CHANNEL and self.on_event is not None and data:
                    event_value = data
            elif op == "error":
                self.errors.append(line.get("message"))
            else:
                self.bad_lines.append(raw)
            self._cond.notify_all()
        if event_value is not None:
            try:
                self.on_event(method_codec.decode_envelope(event_value))  # type: ignore[misc]
            except codec.CodecError:
                pass

    def _b64(self, text: Any, raw: bytes) -> bytes:
        try:
            return base64.b64decode(text or "", validate=True)
        except (ValueError, TypeError):
            self.bad_lines.append(raw)
            return b""

    def _wait(self, predicate: Callable[[], bool], timeout: float, what: str) -> None:
        deadline = time.monotonic() + timeout
        with self._cond:
            while not predicate():
                left = deadline - time.monotonic()
                if left <= 0:
                    raise ProtocolError(
                        f"timed out after {timeout:.0f}s waiting for {what}; unreadable output "
                        f"lines: {self.bad_lines[-3:]!r}; engine errors: {self.errors[-3:]!r}; "
                        f"process exit code: {self.proc.poll()}; stderr tail:\n"
                        + self.stderr_text()[-2000:])
                if self.stdout_closed and not predicate():
                    raise ProtocolError(
                        f"program output ended while waiting for {what}; exit code "
                        f"{self._exit_code_soon()}; stderr:\n" + self.stderr_text()[-6000:])
                self._cond.wait(min(left, 0.5))

    def _exit_code_soon(self) -> int | None:
        # After a crash Wine's debugger writes its backtrace before the process ends.
        try:
            return self.proc.wait(CRASH_REPORT_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None

    def wait_ready(self, timeout: float = START_TIMEOUT) -> None:
        self._wait(lambda: self.ready, timeout, "the ready line")

    # ---------------------------------------------------------------------------------------
    # Input side

    def send_line(self, text: str | bytes) -> None:
        """Writes one raw input line (a newline is added)."""
        data = text.encode("utf-8") if isinstance(text, str) else text
        assert self.proc.stdin is not None
        with self._write_lock:
            self.proc.stdin.write(data + b"\n")
            self.proc.stdin.flush()

    def _allocate_id(self) -> int:
        with self._cond:
            rid = self._next_id
            self._next_id += 1
            return rid

    def send_raw(self, channel: str, data: bytes) -> int:
        """Sends message bytes on a channel; returns the request id."""
        rid = self._allocate_id()
        self.send_line(json.dumps({"op": "send", "channel": channel, "id": rid,
                                   "data": base64.b64encode(data).decode("ascii")}))
        return rid

    def send_lines(self, items: list[tuple[str, bytes]]) -> list[int]:
        """Sends several messages in one write, so they arrive back to back."""
        ids, out = [], []
        for channel, data in items:
            rid = self._allocate_id()
            ids.append(rid)
            out.append(json.dumps({"op": "send", "channel": channel, "id": rid,
                                   "data": base64.b64encode(data).decode("ascii")}))
        self.send_line("\n".join(out))
        return ids

    def message_count(self) -> int:
        with self._cond:
            return len(self.messages)

    def wait_reply_raw(self, rid: int, timeout: float = CALL_TIMEOUT) -> bytes:
        try:
            self._wait(lambda: rid in self.replies, timeout, f"the reply to request {rid}")
        except ProtocolError as e:
            if self.proc.poll() is not None:
                raise
            # A reply that never comes is a hang somewhere in the program: show its threads.
            raise ProtocolError(f"{e}\nthreads of the program:\n{self.thread_backtraces()}") \
                from None
        with self._cond:
            return self.replies[rid][0]

    def take_any_reply(self, rids: list[int], timeout: float = CALL_TIMEOUT) -> tuple[int, bytes]:
        """Waits for the first reply among rids; returns it and forgets it (long runs)."""
        waiting = set(rids)
        self._wait(lambda: not waiting.isdisjoint(self.replies), timeout,
                   f"a reply to one of {len(waiting)} requests")
        with self._cond:
            rid = next(r for r in self.reply_order if r in waiting and r in self.replies)
            data = self.replies.pop(rid)[0]
            self.reply_order.remove(rid)
            return rid, data

    def forget_messages(self) -> None:
        """Drops the recorded output lines and messages (long runs; only between calls, since
        message indices start again from 0)."""
        with self._cond:
            self.lines.clear()
            self.messages.clear()

    def thread_backtraces(self, limit: int = BACKTRACE_CHARS) -> str:
        """Backtraces of the running program's threads, from Wine's debugger (diagnostics)."""
        cmd = paths.wine_command("winedbg", "--command", "bt all", root=self.build_root)
        try:
            done = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=BACKTRACE_TIMEOUT)
        except (OSError, subprocess.TimeoutExpired) as e:
            return f"(no backtraces: {e})"
        text = done.stdout.decode("utf-8", "replace")
        ours = [part for part in text.split("\nBacktracing for thread ")
                if self.exe.name.lower() in part.splitlines()[0].lower()]
        return "\n".join("thread " + part for part in ours)[:limit] or "(no backtraces)"

    def wait_reply(self, rid: int, timeout: float = CALL_TIMEOUT) -> Any:
        return method_codec.decode_envelope(self.wait_reply_raw(rid, timeout))

    def events_between(self, start: int, end: int | None = None) -> list:
        """Decoded event-channel messages with index in [start, end)."""
        with self._cond:
            msgs = self.messages[start:end]
        return [method_codec.decode_envelope(m.data) for m in msgs if m.channel == EVENTS_CHANNEL]

    def call(self, method: str, args: Any = None, timeout: float = CALL_TIMEOUT) -> CallResult:
        """Calls a method on the native channel and waits for its reply."""
        start = self.message_count()
        rid = self.send_raw(NATIVE_CHANNEL, method_codec.encode_method_call(method, args))
        raw = self.wait_reply_raw(rid, timeout)
        with self._cond:
            # Lines are handled in order, so every message before the reply is already recorded.
            end = len(self.messages)
        return CallResult(method_codec.decode_envelope(raw), self.events_between(start, end), raw)

    def call_async(self, method: str, args: Any = None) -> int:
        return self.send_raw(NATIVE_CHANNEL, method_codec.encode_method_call(method, args))

    def listen(self, timeout: float = CALL_TIMEOUT) -> Any:
        rid = self.send_raw(EVENTS_CHANNEL, method_codec.encode_method_call("listen"))
        return self.wait_reply(rid, timeout)

    def cancel_listen(self, timeout: float = CALL_TIMEOUT) -> Any:
        rid = self.send_raw(EVENTS_CHANNEL, method_codec.encode_method_call("cancel"))
        return self.wait_reply(rid, timeout)

    def wait_event(self, predicate: Callable[[Any], bool], start: int = 0,
                   timeout: float = CALL_TIMEOUT) -> Any:
        """The first event (message index >= start) that satisfies predicate."""
        found: list = []

        def check() -> bool:
            for m in self.messages[start:]:
                if m.channel == EVENTS_CHANNEL and m.data:
                    value = method_codec.decode_envelope(m.data)
                    if predicate(value):
                        found.append(value)
                        return True
            return False

        self._wait(check, timeout, "a matching progress event")
        return found[0]

    # ---------------------------------------------------------------------------------------
    # Standard error

    def stderr_text(self) -> str:
        with open(self._stderr_file.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr_size(self) -> int:
        return os.path.getsize(self._stderr_file.name)

    def wait_stderr(self, text: str, offset: int = 0, timeout: float = CALL_TIMEOUT) -> str:
        """Waits until text appears in standard error after byte offset; returns that part."""
        deadline = time.monotonic() + timeout
        while True:
            with open(self._stderr_file.name, "rb") as f:
                f.seek(offset)
                part = f.read().decode("utf-8", "replace")
            if text in part:
                return part
            if time.monotonic() > deadline:
                raise ProtocolError(f"{text!r} did not appear on standard error; got:\n{part}")
            time.sleep(0.05)

    # ---------------------------------------------------------------------------------------
    # Ending

    def close_stdin(self) -> None:
        if self.proc.stdin and not self.proc.stdin.closed:
            try:
                self.proc.stdin.close()
            except BrokenPipeError:
                pass

    def wait_exit(self, timeout: float = EXIT_TIMEOUT) -> int:
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise ProtocolError(f"program did not exit within {timeout:.0f}s") from None

    def quit(self, timeout: float = EXIT_TIMEOUT) -> int:
        """Sends the quit line, closes standard input and returns the exit code."""
        try:
            self.send_line('{"op":"quit"}')
        except (BrokenPipeError, ValueError):
            pass
        self.close_stdin()
        return self.wait_exit(timeout)

    def kill(self) -> None:
        """Ends the program's process group (started by us in its own session)."""
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait()

    def close(self) -> int | None:
        """Quits if still running (killing on a hang); removes the stderr file."""
        code = None
        try:
            code = self.quit() if self.proc.poll() is None else self.proc.returncode
        except ProtocolError:
            self.kill()
        finally:
            self._reader.join(5)
            if self.proc.stdout:
                self.proc.stdout.close()
            self._stderr_file.close()
            try:
                os.unlink(self._stderr_file.name)
            except FileNotFoundError:
                pass
        return code

    def __enter__(self) -> "TidvaleProcess":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()
