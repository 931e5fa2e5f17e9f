#include "core/event_stream.h"

#include "channels/event_sink.h"

namespace tidvale {

std::unique_ptr<StreamHandler> makeProgressStreamHandler(ServiceState& state) {
  return std::make_unique<StreamHandlerFunctions>(
      [&state](const EncodableValue* /*arguments*/,
               std::unique_ptr<EventSink>&& events) -> std::unique_ptr<StreamHandlerError> {
        state.eventSink = std::move(events);
        return nullptr;
      },
      [&state](const EncodableValue* /*arguments*/) -> std::unique_ptr<StreamHandlerError> {
        state.eventSink.reset();
        return nullptr;
      });
}

}  // namespace tidvale
