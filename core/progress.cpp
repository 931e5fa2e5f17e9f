#include "core/progress.h"

#include <utility>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"
#include "core/dispatcher.h"

namespace tidvale {

void emitProgress(ServiceState& state, const std::string& task, const std::string& path,
                  uint64_t count, uint64_t bytes, bool force) {
  if (!state.progressThrottle.admit(force)) return;
  EncodableMap event{
      {EncodableValue("task"), EncodableValue(task)},
      {EncodableValue("path"), EncodableValue(path)},
      {EncodableValue("count"), EncodableValue(static_cast<int64_t>(count))},
      {EncodableValue("bytes"), EncodableValue(static_cast<int64_t>(bytes))},
  };
  postToPlatformThread([&state, event = std::move(event)] {
    if (state.eventSink) state.eventSink->Success(EncodableValue(event));
  });
}

}  // namespace tidvale
