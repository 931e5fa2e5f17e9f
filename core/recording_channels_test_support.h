#pragma once
// Test doubles that record what the service answers and sends.

#include <optional>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"
#include "channels/method_result.h"

namespace tidvale::testing {

struct RecordedAnswer {
  enum class Kind { success, error, notImplemented } kind;
  std::optional<EncodableValue> value;  // success value, if any
  std::string errorCode;
};

class RecordingMethodResult : public MethodResult {
 public:
  explicit RecordingMethodResult(std::vector<RecordedAnswer>* answers) : answers_(answers) {}

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    answers_->push_back({RecordedAnswer::Kind::success,
                         result ? std::optional<EncodableValue>(*result) : std::nullopt,
                         {}});
  }
  void ErrorInternal(const std::string& code, const std::string&, const EncodableValue*) override {
    answers_->push_back({RecordedAnswer::Kind::error, std::nullopt, code});
  }
  void NotImplementedInternal() override {
    answers_->push_back({RecordedAnswer::Kind::notImplemented, std::nullopt, {}});
  }

 private:
  std::vector<RecordedAnswer>* answers_;
};

class RecordingEventSink : public EventSink {
 public:
  explicit RecordingEventSink(std::vector<EncodableValue>* events) : events_(events) {}

 protected:
  void SuccessInternal(const EncodableValue* event) override {
    events_->push_back(event ? *event : EncodableValue());
  }
  void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {}
  void EndOfStreamInternal() override {}

 private:
  std::vector<EncodableValue>* events_;
};

}  // namespace tidvale::testing
