"""Standard method codec: method calls, success and error envelopes, and the empty reply."""

from __future__ import annotations

from typing import Any

from .codec import CodecError, _Reader, _read_value, _write_value, _Writer

ENVELOPE_SUCCESS = 0
ENVELOPE_ERROR = 1


class _NotImplementedReply:
    """The empty reply: the receiver has no handler for the method."""

    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self) -> str:
        return "NOT_IMPLEMENTED"

    def __bool__(self) -> bool:
        return False


NOT_IMPLEMENTED = _NotImplementedReply()


class MethodError(Exception):
    """An error envelope: code, message ("" when sent as null) and details (None when absent)."""

    def __init__(self, code: str, message: str = "", details: Any = None) -> None:
        super().__init__(code, message, details)
        self.code, self.message, self.details = code, message, details

    def __eq__(self, other: object) -> bool:
        return isinstance(other, MethodError) and self.args == other.args

    def __hash__(self) -> int:
        return hash((self.code, self.message))

    def __repr__(self) -> str:
        return f"MethodError({self.code!r}, {self.message!r}, {self.details!r})"


def encode_method_call(method: str, args: Any = None) -> bytes:
    w = _Writer()
    _write_value(w, method)
    _write_value(w, args)
    return bytes(w.buf)


def decode_method_call(data: bytes) -> tuple[str, Any]:
    r = _Reader(data)
    name = _read_value(r)
    if not isinstance(name, str):
        raise CodecError("method name is not a string")
    return name, _read_value(r)


def encode_success(value: Any = None) -> bytes:
    w = _Writer()
    w.byte(ENVELOPE_SUCCESS)
    _write_value(w, value)
    return bytes(w.buf)


def encode_error(code: str, message: str = "", details: Any = None) -> bytes:
    w = _Writer()
    w.byte(ENVELOPE_ERROR)
    _write_value(w, code)
    _write_value(w, message if message else None)
    _write_value(w, details)
    return bytes(w.buf)


def decode_envelope(data: bytes, strict: bool = True) -> Any:
    """A reply or event: the success value, a MethodError, or NOT_IMPLEMENTED for no bytes."""
    if not data:
        return NOT_IMPLEMENTED
    r = _Reader(data, 0)
    kind = r.byte()
    if kind == ENVELOPE_SUCCESS:
        out = _read_value(r)
    elif kind == ENVELOPE_ERROR:
        code = _read_value(r)
        message = _read_value(r)
        details = _read_value(r)
        if not isinstance(code, str) or not (message is None or isinstance(message, str)):
            raise CodecError("error envelope with a non-string code or message")
        out = MethodError(code, message or "", details)
    else:
        raise CodecError(f"unknown envelope byte {kind}")
    if strict and r.remaining():
        raise CodecError(f"{r.remaining()} trailing bytes after the envelope")
    return out
