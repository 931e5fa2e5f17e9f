#pragma once
// Test-only fixture: the real messenger over the substitute engine, with helpers to deliver
// encoded calls and read back the responses.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "channels/binary_messenger_impl.h"
#include "channels/fake_engine_messenger.h"
#include "channels/standard_method_codec.h"
#include "channels/test_support.h"

namespace tidvale::test {

class ChannelTest : public testing::Test {
 protected:
  struct Delivery {
    int id = 0;
    std::string diagnostics;
  };

  // Delivers raw bytes on `channel`, capturing standard error meanwhile.
  Delivery deliver(const std::string& channel, const Bytes& bytes) {
    Delivery delivery;
    delivery.diagnostics = stderrOf([&] { delivery.id = engine.Deliver(channel, bytes); });
    return delivery;
  }

  // Delivers the call `method` with `arguments` (none when null) on `channel`.
  Delivery call(const std::string& channel, const std::string& method,
                const EncodableValue* arguments = nullptr) {
    MethodCall methodCall(method,
                          arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr);
    return deliver(channel, *codec().EncodeMethodCall(methodCall));
  }

  // The response to `delivery` as hexadecimal text; "none" when there is none.
  std::string response(const Delivery& delivery) const {
    std::optional<Bytes> bytes = engine.Response(delivery.id);
    return bytes ? toHex(*bytes) : "none";
  }

  static const MethodCodec& codec() { return StandardMethodCodec::GetInstance(); }

  static std::string successHex(const EncodableValue* value = nullptr) {
    return toHex(*codec().EncodeSuccessEnvelope(value));
  }
  static std::string errorHex(const std::string& code, const std::string& message,
                              const EncodableValue* details = nullptr) {
    return toHex(*codec().EncodeErrorEnvelope(code, message, details));
  }

  FakeEngine engine;
  BinaryMessengerImpl messenger{engine.messenger()};
};

}  // namespace tidvale::test
