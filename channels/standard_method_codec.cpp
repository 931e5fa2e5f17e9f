#include "channels/standard_method_codec.h"

#include <iostream>
#include <map>
#include <mutex>

#include "channels/byte_streams.h"

namespace tidvale {
namespace {

// Writes `value`, or null when there is none. (A conditional expression choosing between the
// value and a null temporary would copy the whole value first.)
void writeOptional(const StandardCodecSerializer& serializer, const EncodableValue* value,
                   ByteStreamWriter* stream) {
  if (value != nullptr) {
    serializer.WriteValue(*value, stream);
  } else {
    serializer.WriteValue(EncodableValue(), stream);
  }
}

}  // namespace

MethodCodec::~MethodCodec() = default;

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) serializer = &StandardCodecSerializer::GetInstance();
  // Never destroyed: detached threads may still encode while the process exits.
  static std::mutex* const lock = new std::mutex();
  static auto* const instances =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>();
  std::lock_guard<std::mutex> guard(*lock);
  auto& codec = (*instances)[serializer];
  if (!codec) codec = std::make_unique<StandardMethodCodec>(serializer);
  return *codec;
}

StandardMethodCodec::StandardMethodCodec(const StandardCodecSerializer* serializer)
    : serializer_(serializer) {}

StandardMethodCodec::~StandardMethodCodec() = default;

std::unique_ptr<MethodCall> StandardMethodCodec::DecodeMethodCallInternal(
    const uint8_t* message, size_t message_size) const {
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue name = serializer_->ReadValue(&stream);
  auto* text = std::get_if<std::string>(&name);
  if (text == nullptr) {
    std::cerr << kInvalidMethodCallMessage << "\n";
    return nullptr;
  }
  // Bytes after the arguments are ignored.
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall>(std::move(*text), std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCallInternal(
    const MethodCall& call) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  serializer_->WriteValue(EncodableValue(call.methodName()), &stream);
  writeOptional(*serializer_, call.arguments(), &stream);
  return bytes;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelopeInternal(
    const EncodableValue* result) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  stream.WriteByte(kSuccessEnvelope);
  writeOptional(*serializer_, result, &stream);
  return bytes;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelopeInternal(
    const std::string& code, const std::string& message, const EncodableValue* details) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(bytes.get());
  stream.WriteByte(kErrorEnvelope);
  serializer_->WriteValue(EncodableValue(code), &stream);
  serializer_->WriteValue(message.empty() ? EncodableValue() : EncodableValue(message), &stream);
  writeOptional(*serializer_, details, &stream);
  return bytes;
}

bool StandardMethodCodec::DecodeAndProcessResponseEnvelopeInternal(const uint8_t* response,
                                                                   size_t response_size,
                                                                   MethodResult* result) const {
  ByteBufferStreamReader stream(response, response_size);
  const uint8_t envelope = stream.ReadByte();
  if (envelope == kSuccessEnvelope) {
    EncodableValue value = serializer_->ReadValue(&stream);
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (envelope != kErrorEnvelope) return false;

  EncodableValue code = serializer_->ReadValue(&stream);
  EncodableValue message = serializer_->ReadValue(&stream);
  EncodableValue details = serializer_->ReadValue(&stream);
  const auto* codeText = std::get_if<std::string>(&code);
  const auto* messageText = std::get_if<std::string>(&message);
  if (codeText == nullptr || (messageText == nullptr && !message.IsNull())) {
    std::cerr << kInvalidErrorEnvelopeMessage << "\n";
    return false;
  }
  result->Error(*codeText, messageText ? *messageText : std::string(),
                details.IsNull() ? nullptr : &details);
  return true;
}

}  // namespace tidvale
