// libFuzzer target: any bytes, decoded as a value, as a method call or as a response envelope.
// Decoding must not crash, hang or allocate far beyond the input, and whatever it yields must
// survive encode-then-decode unchanged (compared as bytes, so NaNs compare too).
//
// The first byte picks the decoding (its value modulo 3: value, method call, response) and the
// rest is the message, so each input costs one decode; mutations of that byte carry an
// interesting message over to the other decodings.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "channels/byte_streams.h"
#include "channels/standard_codec_serializer.h"
#include "channels/standard_method_codec.h"

namespace {

using tidvale::ByteBufferStreamReader;
using tidvale::ByteBufferStreamWriter;
using tidvale::EncodableValue;
using tidvale::MethodCall;
using tidvale::MethodResultFunctions;
using tidvale::StandardCodecSerializer;
using tidvale::StandardMethodCodec;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "codec_fuzzer: %s\n", what);
  std::abort();
}

std::vector<uint8_t> encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// An empty typed list is written without padding but read with it, so a value holding one may
// legitimately decode differently once re-encoded (the reader skips into the following bytes).
bool holdsEmptyTypedList(const EncodableValue& value) {
  if (const auto* v = std::get_if<std::vector<int32_t>>(&value)) return v->empty();
  if (const auto* v = std::get_if<std::vector<int64_t>>(&value)) return v->empty();
  if (const auto* v = std::get_if<std::vector<double>>(&value)) return v->empty();
  if (const auto* v = std::get_if<std::vector<float>>(&value)) return v->empty();
  if (const auto* list = std::get_if<tidvale::EncodableList>(&value)) {
    for (const EncodableValue& element : *list) {
      if (holdsEmptyTypedList(element)) return true;
    }
  }
  if (const auto* map = std::get_if<tidvale::EncodableMap>(&value)) {
    for (const auto& [key, element] : *map) {
      if (holdsEmptyTypedList(key) || holdsEmptyTypedList(element)) return true;
    }
  }
  return false;
}

// A decoded value re-encodes to bytes that decode, whole, to an equal value with identical bytes.
void checkStable(const EncodableValue& value) {
  if (holdsEmptyTypedList(value)) {
    // Still must encode without trouble.
    encode(value);
    return;
  }
  const std::vector<uint8_t> first = encode(value);
  ByteBufferStreamReader reader(first.data(), first.size());
  const EncodableValue again = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  if (reader.RemainingBytes() != 0) fail("re-encoded value not read whole");
  if (encode(again) != first) fail("second round gives other bytes");
  if (again != value) fail("second round gives another value");
}

void checkValue(const uint8_t* data, size_t size) {
  ByteBufferStreamReader reader(data, size);
  checkStable(StandardCodecSerializer::GetInstance().ReadValue(&reader));
}

void checkMethodCall(const uint8_t* data, size_t size) {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  std::unique_ptr<MethodCall> call = codec.DecodeMethodCall(data, size);
  if (!call) return;
  if (call->arguments() == nullptr) fail("decoded call without arguments");
  checkStable(*call->arguments());
  std::unique_ptr<std::vector<uint8_t>> bytes = codec.EncodeMethodCall(*call);
  std::unique_ptr<MethodCall> again = codec.DecodeMethodCall(*bytes);
  if (!again || again->methodName() != call->methodName()) fail("call name not stable");
  if (!holdsEmptyTypedList(*call->arguments()) &&
      encode(*again->arguments()) != encode(*call->arguments())) {
    fail("call arguments not stable");
  }
}

void checkResponse(const uint8_t* data, size_t size) {
  int calls = 0;
  MethodResultFunctions result(
      [&](const EncodableValue* value) {
        ++calls;
        if (value != nullptr) {
          if (value->IsNull()) fail("success passed a null value");
          checkStable(*value);
        }
      },
      [&](const std::string&, const std::string&, const EncodableValue* details) {
        ++calls;
        if (details != nullptr) {
          if (details->IsNull()) fail("error passed null details");
          checkStable(*details);
        }
      },
      [&] { fail("response decoding called NotImplemented"); });
  const bool handled =
      StandardMethodCodec::GetInstance().DecodeAndProcessResponseEnvelope(data, size, &result);
  if (calls != (handled ? 1 : 0)) fail("response decoding answered other than once");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The decoder's diagnostic lines would drown the fuzzer's output; findings use stdio.
  std::cerr.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* message = data + 1;
  const size_t length = size - 1;
  switch (data[0] % 3) {
    case 0:
      checkValue(message, length);
      break;
    case 1:
      checkMethodCall(message, length);
      break;
    default:
      checkResponse(message, length);
      break;
  }
  return 0;
}
