#include "core/delivery.h"

#include "channels/event_sink.h"
#include "core/dispatcher.h"

namespace tidvale {

void closeDelivery(ServiceState& state) {
  dispatcher().close();
  state.eventSink.reset();
}

}  // namespace tidvale
