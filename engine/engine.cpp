// The engine half of the engine library: creation, registrars, next-frame callback, shutdown.

#include <utility>

#include "engine/engine_objects.h"
#include "engine/line_output.h"

using tidvale::engine::kFrameMessage;
using tidvale::engine::registrarLine;
using tidvale::engine::writeLine;

namespace {

std::wstring copyOrEmpty(const wchar_t* text) {
  return text ? std::wstring(text) : std::wstring();
}

}  // namespace

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  if (!properties) return nullptr;
  auto* engine = new FlutterDesktopEngine;
  engine->assetsPath = copyOrEmpty(properties->assets_path);
  engine->icuDataPath = copyOrEmpty(properties->icu_data_path);
  engine->aotLibraryPath = copyOrEmpty(properties->aot_library_path);
  if (properties->dart_entrypoint) engine->entrypoint = properties->dart_entrypoint;
  if (properties->dart_entrypoint_argv) {
    for (int i = 0; i < properties->dart_entrypoint_argc; ++i) {
      const char* argument = properties->dart_entrypoint_argv[i];
      engine->entrypointArguments.emplace_back(argument ? argument : "");
    }
  }
  engine->messenger = new FlutterDesktopMessenger;
  engine->messenger->engine = engine;
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  if (!engine) return false;
  tidvale::engine::destroyEngine(engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  return engine ? engine->messenger : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  if (!engine || !plugin_name) return nullptr;
  writeLine(registrarLine(plugin_name));
  auto registrar = std::make_unique<FlutterDesktopPluginRegistrar>();
  registrar->engine = engine;
  registrar->pluginName = plugin_name;
  std::lock_guard guard(engine->lock);
  engine->registrars.push_back(std::move(registrar));
  return engine->registrars.back().get();
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef) {}

void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              FlutterDesktopOnNextFrameCallback callback,
                                              void* user_data) {
  if (!engine) return;
  std::lock_guard guard(engine->lock);
  engine->nextFrame = callback;
  engine->nextFrameData = user_data;
  // With a view there is always a next frame; without one it comes when the view is made.
  if (callback && engine->view) ::PostMessageW(engine->view, kFrameMessage, 0, 0);
}

namespace tidvale::engine {

void runNextFrame(FlutterDesktopEngine* engine) {
  FlutterDesktopOnNextFrameCallback callback = nullptr;
  void* userData = nullptr;
  bool firstFrame = false;
  {
    std::lock_guard guard(engine->lock);
    callback = std::exchange(engine->nextFrame, nullptr);
    userData = std::exchange(engine->nextFrameData, nullptr);
    if (callback) firstFrame = !std::exchange(engine->readyWritten, true);
  }
  if (!callback) return;
  // The engine is not touched after the callback, which may tear everything down.
  callback(userData);
  if (firstFrame) writeLine(readyLine());
}

void destroyEngine(FlutterDesktopEngine* engine) {
  FlutterDesktopMessenger* messenger = engine->messenger;
  {
    // Waits for a response in progress under FlutterDesktopMessengerLock to finish.
    std::lock_guard api(messenger->apiLock);
    std::lock_guard guard(messenger->engineLock);
    messenger->engine = nullptr;
  }
  delete engine;
  FlutterDesktopMessengerRelease(messenger);
}

}  // namespace tidvale::engine
