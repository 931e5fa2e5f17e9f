// Stand-in for the window_manager_plugin library: registration is only recorded.

#include "engine/plugins/registration_record.h"

namespace {
tidvale::engine::plugins::RegistrationRecord registration;
}  // namespace

void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  registration.record(registrar);
}
