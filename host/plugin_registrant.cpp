#include "host/plugin_registrant.h"

namespace tidvale::host {
namespace {

struct PluginEntry {
  const char* registrarName;
  void (*registerWithRegistrar)(FlutterDesktopPluginRegistrarRef registrar);
};

}  // namespace

void registerPlugins(FlutterEngine& engine) {
  // Not constexpr: the functions live in other libraries and are bound at load time.
  const PluginEntry plugins[] = {
      {"ScreenRetrieverWindowsPluginCApi", ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
      {"UrlLauncherWindows", UrlLauncherWindowsRegisterWithRegistrar},
      {"WindowManagerPlugin", WindowManagerPluginRegisterWithRegistrar},
  };
  for (const PluginEntry& plugin : plugins) {
    plugin.registerWithRegistrar(engine.GetRegistrarForPlugin(plugin.registrarName));
  }
}

}  // namespace tidvale::host
