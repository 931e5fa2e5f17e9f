"""Damaged copies of an NTFS image, made record by record, for the table engine's refusal test.

Each damage edits the copy's master file table in place: the update sequence is undone before and
redone after, so that the damage reaches the attributes instead of merely tearing the record. The
records are found by path with The Sleuth Kit (ifind) and the table's clusters with istat.
"""

import struct
import subprocess
from pathlib import Path

ROOT_REFERENCE = 5 | (5 << 48)
FILE_NAME = 0x30
DATA = 0x80
END = 0xFFFFFFFF


class Table:
    def __init__(self, image: Path, data: bytearray):
        self.image, self.data = image, data
        sector = struct.unpack_from("<H", data, 0x0B)[0]
        self.cluster = sector * data[0x0D]
        raw = struct.unpack_from("<b", data, 0x40)[0]
        self.record_size = raw * self.cluster if raw > 0 else 1 << -raw
        self.clusters = self._table_clusters()

    def _table_clusters(self) -> list:
        text = subprocess.run(["istat", str(self.image), "0"], capture_output=True, text=True,
                              check=True).stdout.splitlines()
        start = next(i for i, line in enumerate(text) if line.startswith("Type: $DATA (128-"))
        clusters = []
        for line in text[start + 1:]:
            if not line.strip() or line.startswith("Type:"):
                break
            clusters += [int(c) for c in line.split()]
        return clusters

    def offset(self, number: int) -> int:
        at = number * self.record_size
        return self.clusters[at // self.cluster] * self.cluster + at % self.cluster

    def number(self, path: str) -> int:
        out = subprocess.run(["ifind", "-n", path, str(self.image)], capture_output=True,
                             text=True, check=True).stdout
        return int(out.split("-")[0])

    def reference(self, number: int) -> int:
        return number | (self.read(number).sequence << 48)

    def read(self, number: int) -> "Record":
        at = self.offset(number)
        return Record(self.data[at:at + self.record_size])

    def write(self, number: int, record: "Record") -> None:
        at = self.offset(number)
        self.data[at:at + self.record_size] = record.protected()


class Record:
    """One file record with its update sequence undone."""

    def __init__(self, raw: bytes):
        self.bytes = bytearray(raw)
        self.usa, count = struct.unpack_from("<HH", self.bytes, 4)
        for stride in range(count - 1):
            end = (stride + 1) * 512 - 2
            self.bytes[end:end + 2] = self.bytes[self.usa + 2 + 2 * stride:self.usa + 4 + 2 * stride]

    @property
    def sequence(self) -> int:
        return struct.unpack_from("<H", self.bytes, 0x10)[0]

    def protected(self) -> bytes:
        out = bytearray(self.bytes)
        for stride in range(len(out) // 512):
            end = (stride + 1) * 512 - 2
            out[self.usa + 2 + 2 * stride:self.usa + 4 + 2 * stride] = out[end:end + 2]
            out[end:end + 2] = out[self.usa:self.usa + 2]
        return bytes(out)

    def attributes(self):
        """(offset, type, length) of each attribute."""
        at = struct.unpack_from("<H", self.bytes, 0x14)[0]
        while True:
            kind = struct.unpack_from("<I", self.bytes, at)[0]
            if kind == END:
                return
            length = struct.unpack_from("<I", self.bytes, at + 4)[0]
            yield at, kind, length
            at += length

    def first(self, kind: int):
        return next((at, length) for at, t, length in self.attributes() if t == kind)

    def value_at(self, attribute: int) -> int:
        return attribute + struct.unpack_from("<H", self.bytes, attribute + 0x14)[0]

    def insert_copy(self, attribute: int, length: int) -> int:
        """Inserts a copy of an attribute right after it; returns the copy's offset."""
        in_use = struct.unpack_from("<I", self.bytes, 0x18)[0]
        if in_use + length > len(self.bytes):
            raise ValueError("no room in the record for another attribute")
        copy = self.bytes[attribute:attribute + length]
        self.bytes[attribute + length:in_use + length] = copy + self.bytes[attribute + length:in_use]
        struct.pack_into("<I", self.bytes, 0x18, in_use + length)
        return attribute + length


def set_parent(table: Table, number: int, parent: int, duplicate: bool = False) -> None:
    record = table.read(number)
    at, length = record.first(FILE_NAME)
    if duplicate:
        at = record.insert_copy(at, length)
    struct.pack_into("<Q", record.bytes, record.value_at(at), parent)
    table.write(number, record)


def rename(table: Table, number: int, name: str) -> None:
    record = table.read(number)
    value = record.value_at(record.first(FILE_NAME)[0])
    if record.bytes[value + 0x40] != len(name):
        raise ValueError("a rename must keep the name's length")
    record.bytes[value + 0x42:value + 0x42 + 2 * len(name)] = name.encode("utf-16-le")
    table.write(number, record)


def set_flags(table: Table, number: int, set_bits: int, clear_bits: int) -> None:
    record = table.read(number)
    flags = struct.unpack_from("<H", record.bytes, 0x16)[0]
    struct.pack_into("<H", record.bytes, 0x16, (flags | set_bits) & ~clear_bits)
    table.write(number, record)


def table_runs_field(table: Table) -> tuple:
    """Record 0 and the offsets of its data attribute and of its runs."""
    record = table.read(0)
    at, _ = record.first(DATA)
    return record, at, at + struct.unpack_from("<H", record.bytes, at + 0x20)[0]


def overlap_table_runs(table: Table) -> None:
    """The table's last run moved onto the clusters of the run before it (a relative offset of 0,
    so that no run after it moves too)."""
    record, _, at = table_runs_field(table)
    last = None
    while record.bytes[at] != 0:
        header = record.bytes[at]
        if header >> 4:
            last = at
        at += 1 + (header & 0x0F) + (header >> 4)
    if last is None or last == table_runs_field(table)[2]:
        raise ValueError("the fixture's table has no second run to move")
    header = record.bytes[last]
    start = last + 1 + (header & 0x0F)
    record.bytes[start:start + (header >> 4)] = bytes(header >> 4)
    table.write(0, record)


def claim_records(table: Table, count: int) -> None:
    record, data, _ = table_runs_field(table)
    struct.pack_into("<Q", record.bytes, data + 0x30, count * table.record_size)
    table.write(0, record)


# name, damage(table), the refusal the table engine must give: the walk answers each call.
DAMAGES = [
    ("the table's last run on the clusters of the run before it", overlap_table_runs,
     "the table's runs overlap or are sparse"),
    ("61 million records claimed", lambda t: claim_records(t, 61_000_000),
     "the table's runs are shorter than the table"),
    ("a folder whose parent is its own child",
     lambda t: set_parent(t, t.number("wide"), t.reference(t.number("wide/folder00"))),
     "a folder is not reached from the root"),
    ("a folder with a second parent",
     lambda t: set_parent(t, t.number("wide/folder01"), t.reference(t.number("names")), True),
     "a folder is reached twice"),
    ("a duplicated file-name attribute",
     lambda t: set_parent(t, t.number("names/empty"), t.reference(t.number("names")), True),
     "a name occurs twice in one folder"),
    ("two records of one name in one folder",
     lambda t: rename(t, t.number("many/entry00001.txt"), "entry00000.txt"),
     "a name occurs twice in one folder"),
    ("a file's name moved into another file",
     lambda t: set_parent(t, t.number("names/empty"), t.reference(t.number("names/Case.txt"))),
     "a name lies in no folder in use"),
    ("a file flagged as a folder",
     lambda t: set_flags(t, t.number("names/duplicate one.bin"), 0x02, 0),
     "a record flagged as a folder has no index of names"),
    ("an empty folder not flagged as one",
     lambda t: set_flags(t, t.number("reparse/junction"), 0, 0x02),
     "a record not flagged as a folder has an index of names"),
]


def damaged_copy(image: Path, target: Path, damage) -> None:
    data = bytearray(image.read_bytes())
    damage(Table(image, data))
    target.write_bytes(data)
