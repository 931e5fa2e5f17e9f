// Stand-in for the url_launcher_windows_plugin library: registration is only recorded.

#include "engine/plugins/registration_record.h"

namespace {
tidvale::engine::plugins::RegistrationRecord registration;
}  // namespace

void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  registration.record(registrar);
}
