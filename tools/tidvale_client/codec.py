"""Standard message codec, written independently of the C++ side.

Value model on the Python side:
  None, bool, int (32-bit when it fits, else 64-bit; wrap in Int32/Int64 to force a width),
  float, str, bytes (list of unsigned bytes), array.array typecodes 'i' (int32), 'q' (int64),
  'd' (double) and 'f' (float32), list/tuple (list of values), dict (map).

Decoding is strict: truncated input, unknown type bytes and malformed sizes raise CodecError,
because the client exists to catch faults in what the program sends. Decoded integers are
Int32 or Int64 (both subclasses of int) so tests can see the wire width.
"""

from __future__ import annotations

import array
import functools
import struct
from typing import Any

# Wire type bytes.
T_NULL = 0
T_TRUE = 1
T_FALSE = 2
T_INT32 = 3
T_INT64 = 4
T_LARGE_INT = 5  # read as a string, never written
T_FLOAT64 = 6
T_STRING = 7
T_UINT8_LIST = 8
T_INT32_LIST = 9
T_INT64_LIST = 10
T_FLOAT64_LIST = 11
T_LIST = 12
T_MAP = 13
T_FLOAT32_LIST = 14

SIZE_16_MARK = 254
SIZE_32_MARK = 255
MAX_ONE_BYTE_SIZE = 253
MAX_16_BIT_SIZE = 0xFFFF

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1
INT64_MIN, INT64_MAX = -(2**63), 2**63 - 1

# typecode -> (wire type, element size, struct format char)
_TYPED_LISTS = {
    "i": (T_INT32_LIST, 4, "i"),
    "q": (T_INT64_LIST, 8, "q"),
    "d": (T_FLOAT64_LIST, 8, "d"),
    "f": (T_FLOAT32_LIST, 4, "f"),
}
_TYPED_BY_WIRE = {wire: (code, size, fmt) for code, (wire, size, fmt) in _TYPED_LISTS.items()}


class CodecError(ValueError):
    """Bytes that do not form a valid message, or a value that cannot be encoded."""


class Int32(int):
    """An int that travels as (or arrived as) a 32-bit integer."""

    def __repr__(self) -> str:
        return f"Int32({int(self)})"

    __str__ = int.__repr__


class Int64(int):
    """An int that travels as (or arrived as) a 64-bit integer."""

    def __repr__(self) -> str:
        return f"Int64({int(self)})"

    __str__ = int.__repr__


# --------------------------------------------------------------------------------------------
# Writing


class _Writer:
    def __init__(self) -> None:
        self.buf = bytearray()

    def byte(self, b: int) -> None:
        self.buf.append(b)

    def raw(self, data: bytes) -> None:
        self.buf += data

    def align(self, n: int) -> None:
        # Alignment counts from the first byte of the whole message.
        while len(self.buf) % n:
            self.buf.append(0)

    def size(self, n: int) -> None:
        if n < 0 or n > 0xFFFFFFFF:
            raise CodecError(f"size {n} out of range")
        if n <= MAX_ONE_BYTE_SIZE:
            self.byte(n)
        elif n <= MAX_16_BIT_SIZE:
            self.byte(SIZE_16_MARK)
            self.raw(struct.pack("<H", n))
        else:
            self.byte(SIZE_32_MARK)
            self.raw(struct.pack("<I", n))


def _int_kind(v: int) -> int:
    if isinstance(v, Int64):
        kind = T_INT64
    elif isinstance(v, Int32):
        kind = T_INT32
    else:
        kind = T_INT32 if INT32_MIN <= v <= INT32_MAX else T_INT64
    lo, hi = (INT32_MIN, INT32_MAX) if kind == T_INT32 else (INT64_MIN, INT64_MAX)
    if not lo <= v <= hi:
        raise CodecError(f"integer {int(v)} does not fit its wire type")
    return kind


def _write_value(w: _Writer, v: Any) -> None:
    if v is None:
        w.byte(T_NULL)
    elif v is True:
        w.byte(T_TRUE)
    elif v is False:
        w.byte(T_FALSE)
    elif isinstance(v, int):
        kind = _int_kind(v)
        w.byte(kind)
        w.raw(struct.pack("<i" if kind == T_INT32 else "<q", v))
    elif isinstance(v, float):
        w.byte(T_FLOAT64)
        w.align(8)
        w.raw(struct.pack("<d", v))
    elif isinstance(v, str):
        data = v.encode("utf-8")
        w.byte(T_STRING)
        w.size(len(data))
        w.raw(data)
    elif isinstance(v, (bytes, bytearray, memoryview)):
        data = bytes(v)
        w.byte(T_UINT8_LIST)
        w.size(len(data))
        w.raw(data)
    elif isinstance(v, array.array):
        if v.typecode not in _TYPED_LISTS:
            raise CodecError(f"array typecode {v.typecode!r} has no wire type")
        wire, elem, fmt = _TYPED_LISTS[v.typecode]
        w.byte(wire)
        w.size(len(v))
        if len(v):
            w.align(elem)
            w.raw(struct.pack(f"<{len(v)}{fmt}", *v))
    elif isinstance(v, (list, tuple)):
        w.byte(T_LIST)
        w.size(len(v))
        for item in v:
            _write_value(w, item)
    elif isinstance(v, dict):
        w.byte(T_MAP)
        w.size(len(v))
        for key in sorted(v, key=order_key):
            _write_value(w, key)
            _write_value(w, v[key])
    else:
        raise CodecError(f"cannot encode {type(v).__name__}")


def encode_value(v: Any) -> bytes:
    """One value as a complete message."""
    w = _Writer()
    _write_value(w, v)
    return bytes(w.buf)


# --------------------------------------------------------------------------------------------
# Value ordering (the order a map's keys go on the wire)

_FLOAT_INDEX = 4


def _alt_index(v: Any) -> int:
    if v is None:
        return 0
    if isinstance(v, bool):
        return 1
    if isinstance(v, int):
        return 2 if _int_kind(v) == T_INT32 else 3
    if isinstance(v, float):
        return _FLOAT_INDEX
    if isinstance(v, str):
        return 5
    if isinstance(v, (bytes, bytearray, memoryview)):
        return 6
    if isinstance(v, array.array):
        return {"i": 7, "q": 8, "d": 9, "f": 13}[v.typecode]
    if isinstance(v, (list, tuple)):
        return 10
    if isinstance(v, (dict, _FrozenMap)):
        return 11
    raise CodecError(f"cannot order {type(v).__name__}")


def _compare(a: Any, b: Any) -> int:
    ia, ib = _alt_index(a), _alt_index(b)
    if ia != ib:
        return -1 if ia < ib else 1
    if ia == 0:
        return 0
    if ia == 5:
        a, b = a.encode("utf-8"), b.encode("utf-8")
    if isinstance(a, (list, tuple, array.array, dict, _FrozenMap)):
        sa, sb = _sequence_of(a), _sequence_of(b)
        for x, y in zip(sa, sb):
            c = _compare(x, y)
            if c:
                return c
        return (len(sa) > len(sb)) - (len(sa) < len(sb))
    return (a > b) - (a < b)


def _sequence_of(v: Any) -> list:
    if isinstance(v, (dict, _FrozenMap)):
        items = sorted(v.items(), key=lambda kv: order_key(kv[0]))
        return [x for kv in items for x in kv]
    return list(v)


order_key = functools.cmp_to_key(_compare)


# --------------------------------------------------------------------------------------------
# Reading


class _FrozenMap(dict):
    """A decoded map used as a key of another map (dicts are not hashable)."""

    def __hash__(self) -> int:  # type: ignore[override]
        return hash(tuple(sorted((repr(k), repr(v)) for k, v in self.items())))


def _hashable(v: Any) -> Any:
    if isinstance(v, list):
        return tuple(_hashable(x) for x in v)
    if isinstance(v, dict) and not isinstance(v, _FrozenMap):
        return _FrozenMap(v)
    if isinstance(v, array.array):
        return tuple(v)
    return v


class _Reader:
    def __init__(self, data: bytes, pos: int = 0) -> None:
        self.data = memoryview(bytes(data))
        self.pos = pos

    def remaining(self) -> int:
        return len(self.data) - self.pos

    def take(self, n: int) -> bytes:
        if n > self.remaining():
            raise CodecError(f"need {n} bytes at offset {self.pos}, only {self.remaining()} left")
        out = bytes(self.data[self.pos : self.pos + n])
        self.pos += n
        return out

    def byte(self) -> int:
        return self.take(1)[0]

    def align(self, n: int) -> None:
        # Padding is skipped unread; a writer puts none before an empty typed list, so the skip
        # may run past the end of a message that ends there.
        self.pos = min(self.pos + (-self.pos) % n, len(self.data))

    def size(self) -> int:
        first = self.byte()
        if first < SIZE_16_MARK:
            return first
        if first == SIZE_16_MARK:
            return struct.unpack("<H", self.take(2))[0]
        return struct.unpack("<I", self.take(4))[0]


def _read_value(r: _Reader) -> Any:
    t = r.byte()
    if t == T_NULL:
        return None
    if t == T_TRUE:
        return True
    if t == T_FALSE:
        return False
    if t == T_INT32:
        return Int32(struct.unpack("<i", r.take(4))[0])
    if t == T_INT64:
        return Int64(struct.unpack("<q", r.take(8))[0])
    if t == T_FLOAT64:
        r.align(8)
        return struct.unpack("<d", r.take(8))[0]
    if t in (T_STRING, T_LARGE_INT):
        data = r.take(r.size())
        try:
            return data.decode("utf-8")
        except UnicodeDecodeError as e:
            raise CodecError(f"string is not UTF-8: {e}") from None
    if t == T_UINT8_LIST:
        return r.take(r.size())
    if t in _TYPED_BY_WIRE:
        code, elem, fmt = _TYPED_BY_WIRE[t]
        n = r.size()
        r.align(elem)  # skipped even for an empty list
        return array.array(code, struct.unpack(f"<{n}{fmt}", r.take(n * elem)))
    if t == T_LIST:
        n = r.size()
        if n > r.remaining():  # each element takes at least one byte
            raise CodecError(f"list of {n} values in {r.remaining()} bytes")
        return [_read_value(r) for _ in range(n)]
    if t == T_MAP:
        n = r.size()
        if 2 * n > r.remaining():
            raise CodecError(f"map of {n} entries in {r.remaining()} bytes")
        out: dict = {}
        for _ in range(n):
            key = _hashable(_read_value(r))
            value = _read_value(r)
            out.setdefault(key, value)  # the first occurrence of a key wins
        return out
    raise CodecError(f"unknown type byte {t} at offset {r.pos - 1}")


def decode_value(data: bytes, strict: bool = True) -> Any:
    """One value from a complete message; strict also rejects trailing bytes."""
    r = _Reader(data)
    v = _read_value(r)
    if strict and r.remaining():
        raise CodecError(f"{r.remaining()} trailing bytes after the value")
    return v
