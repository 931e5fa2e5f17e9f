"""The client's own codec, checked byte for byte against worked examples of the wire format."""

import array
import struct

import pytest

from tidvale_client import codec, method_codec
from tidvale_client.codec import Int32, Int64


def h(text: str) -> bytes:
    return bytes.fromhex(text)


ERROR_MESSAGE = "No active stream to cancel"

# (name, encoder, expected bytes)
WORKED_EXAMPLES = [
    ("call cancel", lambda: method_codec.encode_method_call("cancel"), h("07 06 63616E63656C 00")),
    ("success true", lambda: method_codec.encode_success(True), h("00 01")),
    ("success size map", lambda: method_codec.encode_success({"size": Int64(5)}),
     h("00 0D 01 07 04 73697A65 04 0500000000000000")),
    ("success double", lambda: method_codec.encode_success(1.0),
     h("00 06 000000000000 000000000000F03F")),
    ("error no stream", lambda: method_codec.encode_error("error", ERROR_MESSAGE),
     h("01 07 05 6572726F72 07 1A") + ERROR_MESSAGE.encode() + h("00")),
    ("progress event", lambda: method_codec.encode_success(
        {"task": "junk", "path": "", "count": Int64(3), "bytes": Int64(4096)}),
     h("00 0D 04 07 05 6279746573 04 0010000000000000 07 05 636F756E74 04 0300000000000000"
       " 07 04 70617468 07 00 07 04 7461736B 07 04 6A756E6B")),
    ("empty int32 list", lambda: codec.encode_value(array.array("i")), h("09 00")),
    ("error without message", lambda: method_codec.encode_error("e"), h("01 07 01 65 00 00")),
]


@pytest.mark.parametrize("name,encode,expected", WORKED_EXAMPLES,
                         ids=[w[0] for w in WORKED_EXAMPLES])
def test_worked_examples_encode_exactly(name, encode, expected):
    assert encode() == expected


def test_progress_event_is_55_bytes_and_decodes_with_64_bit_counts():
    raw = WORKED_EXAMPLES[5][2]
    assert len(raw) == 55
    event = method_codec.decode_envelope(raw)
    assert event == {"task": "junk", "path": "", "count": 3, "bytes": 4096}
    assert type(event["count"]) is Int64 and type(event["bytes"]) is Int64


def test_decoding_the_worked_replies():
    assert method_codec.decode_method_call(WORKED_EXAMPLES[0][2]) == ("cancel", None)
    assert method_codec.decode_envelope(h("00 01")) is True
    assert method_codec.decode_envelope(WORKED_EXAMPLES[2][2]) == {"size": 5}
    assert method_codec.decode_envelope(WORKED_EXAMPLES[3][2]) == 1.0
    err = method_codec.decode_envelope(WORKED_EXAMPLES[4][2])
    assert err == method_codec.MethodError("error", ERROR_MESSAGE, None)
    assert method_codec.decode_envelope(h("01 07 01 65 00 00")) == \
        method_codec.MethodError("e", "", None)
    assert method_codec.decode_envelope(b"") is method_codec.NOT_IMPLEMENTED
    assert method_codec.decode_envelope(h("00 00")) is None


@pytest.mark.parametrize("length,size_bytes", [
    (0, "00"), (253, "FD"), (254, "FE FE 00"), (65535, "FE FF FF"), (65536, "FF 00 00 01 00"),
    (70000, "FF 70 11 01 00"),
])
def test_string_size_forms(length, size_bytes):
    value = "x" * length
    encoded = codec.encode_value(value)
    assert encoded[: 1 + len(h(size_bytes))] == h("07 " + size_bytes)
    assert len(encoded) == 1 + len(h(size_bytes)) + length
    assert codec.decode_value(encoded) == value


@pytest.mark.parametrize("value,expected", [
    (2**31 - 1, "03 FFFFFF7F"), (-(2**31), "03 00000080"), (2**31, "04 0000008000000000"),
    (-(2**31) - 1, "04 FFFFFF7FFFFFFFFF"), (Int64(1), "04 0100000000000000"),
    (Int32(-1), "03 FFFFFFFF"),
    (None, "00"), (True, "01"), (False, "02"),
])
def test_scalars_and_integer_widths(value, expected):
    assert codec.encode_value(value) == h(expected)
    decoded = codec.decode_value(h(expected))
    wire_type = {codec.T_INT32: Int32, codec.T_INT64: Int64}.get(h(expected)[0], type(value))
    assert decoded == value and type(decoded) is wire_type


@pytest.mark.parametrize("value", [2**63, -(2**63) - 1, Int32(2**31)])
def test_integers_that_fit_no_wire_type_are_refused(value):
    with pytest.raises(codec.CodecError):
        codec.encode_value(value)


@pytest.mark.parametrize("prefix,value,expected_tail", [
    # Alignment counts from the start of the message: after "00 0C 02 07 01 61" (6 bytes) the
    # int32 list's count makes 8, so no padding; a double after 3 bytes pads to 8.
    ([], array.array("i", [1]), "09 01 000000 01000000"),
    (["a"], array.array("i", [7]), "09 01 07000000"),
    (["ab"], array.array("q", [1]), "0A 01 00000000000000 0100000000000000"),
    ([None], 2.0, "06 000000 0000000000000040"),
    ([], array.array("d", []), "0B 00"),
    ([], array.array("f", [1.5]), "0E 01 000000 0000C03F"),
    ([], b"\x01\x02", "08 02 0102"),
])
def test_alignment_is_measured_from_the_start_of_the_message(prefix, value, expected_tail):
    items = prefix + [value]
    encoded = method_codec.encode_success(items)
    head = method_codec.encode_success(prefix + [None])[:-1]
    head = head[:2] + bytes([len(items)]) + head[3:]
    assert encoded == head + h(expected_tail)
    decoded = method_codec.decode_envelope(encoded)
    assert decoded[:-1] == prefix
    assert decoded[-1] == value


def test_reader_skips_alignment_of_an_empty_typed_list():
    # A writer puts no padding before an empty list, a reader still skips to the alignment.
    data = h("0C 02 0A 00 000000 00 01")  # list: empty int64 list (count at 3, skip to 8), true
    assert codec.decode_value(h("0C 02 0A 00 0000 0000 01")) == [array.array("q"), True]
    with pytest.raises(codec.CodecError):
        codec.decode_value(data[:5])


def test_map_entries_go_out_in_key_order_whatever_the_insertion_order():
    inserted = {}
    for key in ("task", "path", "count", "bytes"):
        inserted[key] = 1
    encoded = codec.encode_value(inserted)
    keys_in_order = [encoded.find(k.encode()) for k in ("bytes", "count", "path", "task")]
    assert keys_in_order == sorted(keys_in_order) and -1 not in keys_in_order


def test_key_order_follows_alternative_then_content():
    keys = ["b", "a", "ab", "\u00e9", 2.5, Int64(7), Int32(9), True, False, None, -3]
    encoded = codec.encode_value({k: 0 for k in keys})
    # Read the keys back in wire order.
    r = codec._Reader(encoded, 2)
    order = []
    for _ in keys:
        order.append(codec._read_value(r))
        codec._read_value(r)
    assert order == [None, False, True, -3, 9, 7, 2.5, "a", "ab", "b", "\u00e9"]


def test_decoded_map_keeps_the_first_of_repeated_keys():
    data = h("0D 02 07 01 6B 03 01000000 07 01 6B 03 02000000")
    assert codec.decode_value(data) == {"k": 1}


def test_double_inside_a_map_inside_an_envelope_pads_from_the_envelope_start():
    encoded = method_codec.encode_success({"d": 0.5})
    # 00 0D 01 07 01 64 06 | pad to 8 | 8 bytes
    assert encoded == h("00 0D 01 07 01 64 06 00") + struct.pack("<d", 0.5)


def test_type_5_reads_as_a_string():
    assert codec.decode_value(h("05 03 313233")) == "123"


@pytest.mark.parametrize("name,data", [
    ("empty", b""),
    ("truncated string", h("07 03 6162")),
    ("truncated int64", h("04 010203")),
    ("unknown type byte", h("0F")),
    ("trailing bytes", h("01 01")),
    ("bad utf-8", h("07 01 FF")),
    ("truncated 16-bit size", h("07 FE 01")),
    ("huge list count", h("0C FF FFFFFFFF")),
    ("huge map count", h("0D FF FFFFFFFF")),
    ("huge typed list", h("0A FF FFFFFF0F 00000000")),
])
def test_strict_decoding_refuses_broken_messages(name, data):
    with pytest.raises(codec.CodecError):
        codec.decode_value(data)


@pytest.mark.parametrize("data", [h("02 00"), h("01 03 01000000 00 00"), h("00"), h("00 01 01")])
def test_broken_envelopes_are_refused(data):
    with pytest.raises(codec.CodecError):
        method_codec.decode_envelope(data)


def test_method_call_whose_name_is_not_a_string_is_refused():
    with pytest.raises(codec.CodecError):
        method_codec.decode_method_call(h("03 03000000 00"))


def test_nested_value_round_trips():
    value = {
        "categories": [{"id": "temp", "size": 2**40, "items": []}, {"id": "é", "size": 0}],
        "raw": b"\x00\xff", "ints": array.array("i", [1, -2]), "longs": array.array("q", [2**40]),
        "doubles": array.array("d", [0.25]), "floats": array.array("f", [0.5]),
        "nothing": None, "flag": False, "pi": 3.5, 7: "seven", "nested": [[], {}, [None]],
    }
    assert codec.decode_value(codec.encode_value(value)) == value
    call = method_codec.encode_method_call("scanJunk", value)
    assert method_codec.decode_method_call(call) == ("scanJunk", value)
