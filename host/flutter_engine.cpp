#include "host/flutter_engine.h"

#include <iostream>
#include <vector>

namespace tidvale::host {

FlutterEngine::FlutterEngine(const ProjectDescription& project) {
  std::vector<const char*> argv;
  argv.reserve(project.entrypointArguments.size());
  for (const std::string& argument : project.entrypointArguments) argv.push_back(argument.c_str());

  FlutterDesktopEngineProperties properties{};
  properties.assets_path = project.assetsPath.c_str();
  properties.icu_data_path = project.icuDataPath.c_str();
  properties.aot_library_path = project.aotLibraryPath.c_str();
  properties.dart_entrypoint = project.entrypoint.c_str();
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.empty() ? nullptr : argv.data();

  engine_ = FlutterDesktopEngineCreate(&properties);
  if (!engine_) return;
  messenger_ = std::make_unique<BinaryMessengerImpl>(FlutterDesktopEngineGetMessenger(engine_));
}

FlutterEngine::~FlutterEngine() {
  // The messenger goes first: it unregisters its handlers while the engine is still there.
  messenger_.reset();
  if (engine_ && ownsEngine_) FlutterDesktopEngineDestroy(engine_);
}

FlutterDesktopPluginRegistrarRef FlutterEngine::GetRegistrarForPlugin(
    const std::string& pluginName) {
  if (!engine_) {
    std::cerr << kNoEngineRegistrarMessage << std::endl;
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_, pluginName.c_str());
}

void FlutterEngine::ReloadSystemFonts() {
  if (engine_) FlutterDesktopEngineReloadSystemFonts(engine_);
}

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  if (!engine_) return;
  nextFrameCallback_ = std::move(callback);
  FlutterDesktopEngineSetNextFrameCallback(engine_, &FlutterEngine::OnNextFrame, this);
}

void FlutterEngine::OnNextFrame(void* self) {
  auto* engine = static_cast<FlutterEngine*>(self);
  // Dropped before running, so the callback may set a new one.
  std::function<void()> callback = std::move(engine->nextFrameCallback_);
  engine->nextFrameCallback_ = nullptr;
  if (callback) callback();
}

FlutterDesktopEngineRef FlutterEngine::RelinquishEngine() {
  ownsEngine_ = false;
  return engine_;
}

}  // namespace tidvale::host
