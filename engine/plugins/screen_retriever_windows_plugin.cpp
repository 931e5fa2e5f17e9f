// Stand-in for the screen_retriever_windows_plugin library: registration is only recorded.

#include "engine/plugins/registration_record.h"

namespace {
tidvale::engine::plugins::RegistrationRecord registration;
}  // namespace

void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  registration.record(registrar);
}
