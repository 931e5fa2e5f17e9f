#pragma once
// The answer to one incoming method call, sent back through the message's reply.

#include "channels/binary_messenger.h"
#include "channels/method_codec.h"
#include "channels/method_result.h"

namespace tidvale {

inline constexpr char kDuplicateResultMessage[] =
    "Error: Only one of Success, Error, or NotImplemented can be called,"
    " and it can be called exactly once. Ignoring duplicate result.";
inline constexpr char kUnansweredResultMessage[] =
    "Warning: Failed to respond to a message. This is a memory leak.";

// Platform thread. Answers once: a second answer writes kDuplicateResultMessage and is ignored;
// destruction without an answer writes kUnansweredResultMessage and drops the reply.
class EngineMethodResult : public MethodResult {
 public:
  // `codec` must outlive the result.
  EngineMethodResult(BinaryReply reply, const MethodCodec* codec);
  ~EngineMethodResult() override;

 protected:
  void SuccessInternal(const EncodableValue* result) override;
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override;
  // An empty reply.
  void NotImplementedInternal() override;

 private:
  // The reply, leaving the result answered; empty (after the diagnostic) if already used.
  BinaryReply TakeReply();

  BinaryReply reply_;  // empty once used
  const MethodCodec* codec_;
};

}  // namespace tidvale
