#pragma once
// The program's own plugin: the method channel "tidvale/native" and the event channel
// "tidvale/events".

namespace tidvale {

class BinaryMessenger;

// Platform thread, once the engine and its view exist. Creates the dispatcher window, starts
// GDI+ and installs both channels' handlers on `messenger` (replacing earlier ones).
void registerNativeService(BinaryMessenger* messenger);

// Platform thread, before the engine and its messenger are destroyed: nothing the service holds
// sends through the messenger again (queued and later results and progress events are dropped).
void unregisterNativeService();

}  // namespace tidvale
