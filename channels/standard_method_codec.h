#pragma once
// The standard method codec: calls and envelopes over the standard message codec.

#include "channels/method_codec.h"
#include "channels/standard_codec_serializer.h"

namespace tidvale {

inline constexpr char kInvalidMethodCallMessage[] =
    "Invalid method call; method name is not a string.";
// Written when an error envelope's code is not a string or its message is neither a string nor
// null; such a response is rejected whole.
inline constexpr char kInvalidErrorEnvelopeMessage[] =
    "Invalid error envelope; error code or message has the wrong type.";

// Envelope bytes.
inline constexpr uint8_t kSuccessEnvelope = 0;
inline constexpr uint8_t kErrorEnvelope = 1;

class StandardMethodCodec : public MethodCodec {
 public:
  // The codec over `serializer` (the default serializer when null); one per serializer, created
  // on first request and kept until the process exits. Any thread.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  // Prefer GetInstance; `serializer` must outlive the codec.
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer);
  ~StandardMethodCodec() override;

 protected:
  std::unique_ptr<MethodCall> DecodeMethodCallInternal(const uint8_t* message,
                                                       size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCallInternal(
      const MethodCall& call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelopeInternal(
      const EncodableValue* result) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelopeInternal(
      const std::string& code, const std::string& message,
      const EncodableValue* details) const override;
  bool DecodeAndProcessResponseEnvelopeInternal(const uint8_t* response, size_t response_size,
                                                MethodResult* result) const override;

 private:
  const StandardCodecSerializer* serializer_;
};

}  // namespace tidvale
