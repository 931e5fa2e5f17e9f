#pragma once
// Turns method calls and their answers into message bytes and back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "channels/method_call.h"
#include "channels/method_result.h"

namespace tidvale {

// Stateless; any thread. Decoding never throws.
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec();
  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // The call in `message`, or null when the message is not a method call.
  std::unique_ptr<MethodCall> DecodeMethodCall(const uint8_t* message, size_t message_size) const {
    return DecodeMethodCallInternal(message, message_size);
  }
  std::unique_ptr<MethodCall> DecodeMethodCall(const std::vector<uint8_t>& message) const {
    return DecodeMethodCallInternal(message.data(), message.size());
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(const MethodCall& call) const {
    return EncodeMethodCallInternal(call);
  }
  // `result` null means no value (null on the wire).
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result = nullptr) const {
    return EncodeSuccessEnvelopeInternal(result);
  }
  // An empty `message` goes on the wire as null; `details` null means none.
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& code, const std::string& message = "",
      const EncodableValue* details = nullptr) const {
    return EncodeErrorEnvelopeInternal(code, message, details);
  }
  // Calls Success or Error on `result` and returns true, or returns false without calling
  // anything when the response is not a well-formed envelope.
  bool DecodeAndProcessResponseEnvelope(const uint8_t* response, size_t response_size,
                                        MethodResult* result) const {
    return DecodeAndProcessResponseEnvelopeInternal(response, response_size, result);
  }

 protected:
  virtual std::unique_ptr<MethodCall> DecodeMethodCallInternal(const uint8_t* message,
                                                               size_t message_size) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCallInternal(
      const MethodCall& call) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelopeInternal(
      const EncodableValue* result) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelopeInternal(
      const std::string& code, const std::string& message, const EncodableValue* details) const = 0;
  virtual bool DecodeAndProcessResponseEnvelopeInternal(const uint8_t* response,
                                                        size_t response_size,
                                                        MethodResult* result) const = 0;
};

}  // namespace tidvale
