#pragma once
// Owner of one engine instance and of the messenger wrapped around its transport.
// Platform thread.

#include <functional>
#include <memory>
#include <string>

#include "channels/binary_messenger_impl.h"
#include "engine/flutter_windows_api.h"
#include "host/project_description.h"

namespace tidvale::host {

inline constexpr char kNoEngineRegistrarMessage[] =
    "Cannot get plugin registrar on an engine that isn't running; call Run first.";

class FlutterEngine {
 public:
  // Creates the engine for `project`. On failure the object exists without an engine: valid()
  // is false and every operation does nothing.
  explicit FlutterEngine(const ProjectDescription& project);
  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;
  // Destroys the engine if it still owns it.
  virtual ~FlutterEngine();

  // The registrar for `pluginName`; null (after a line on standard error) without an engine.
  virtual FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& pluginName);

  bool valid() const { return engine_ != nullptr; }
  // Null without an engine. Lives as long as this object.
  BinaryMessenger* messenger() const { return messenger_.get(); }
  void ReloadSystemFonts();
  // `callback` runs once, on the platform thread, after the next frame; then it is dropped.
  void SetNextFrameCallback(std::function<void()> callback);

  // Hands the engine to a view controller, which destroys it from then on.
  FlutterDesktopEngineRef RelinquishEngine();

 private:
  static void OnNextFrame(void* self);

  FlutterDesktopEngineRef engine_ = nullptr;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool ownsEngine_ = true;
  std::function<void()> nextFrameCallback_;
};

}  // namespace tidvale::host
