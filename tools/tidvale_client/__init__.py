"""Client of the Tidvale program: the standard codecs and a driver for the headless engine."""

from .codec import CodecError, Int32, Int64, decode_value, encode_value
from .method_codec import (NOT_IMPLEMENTED, MethodError, decode_envelope, decode_method_call,
                           encode_error, encode_method_call, encode_success)
from .process import (EVENTS_CHANNEL, NATIVE_CHANNEL, CallResult, ProtocolError,
                      TidvaleProcess)

__all__ = [
    "NOT_IMPLEMENTED", "CodecError", "Int32", "Int64", "MethodError", "decode_envelope",
    "decode_method_call", "decode_value", "encode_error", "encode_method_call", "encode_success",
    "encode_value", "EVENTS_CHANNEL", "NATIVE_CHANNEL", "CallResult", "ProtocolError",
    "TidvaleProcess",
]
