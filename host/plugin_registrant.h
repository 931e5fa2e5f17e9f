#pragma once
// The external plugins, registered once at start-up in a fixed order. Platform thread.

#include "host/flutter_engine.h"

namespace tidvale::host {

// Gives each plugin the registrar requested for its name, in table order.
void registerPlugins(FlutterEngine& engine);

}  // namespace tidvale::host
