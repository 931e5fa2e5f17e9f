#pragma once
// The objects behind the engine library's opaque references, and the engine-side operations the
// view window runs on the platform thread.
//
// Locking: FlutterDesktopMessenger::apiLock (taken by FlutterDesktopMessengerLock and by engine
// shutdown) comes before FlutterDesktopMessenger::engineLock, which comes before
// FlutterDesktopEngine::lock. Handlers and callbacks are called with none of them held by the
// engine, so they may call back into the library.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/flutter_windows_api.h"
#include "engine/protocol.h"

struct FlutterDesktopMessenger {
  std::atomic<long> references{1};
  std::recursive_mutex apiLock;
  std::mutex engineLock;
  FlutterDesktopEngine* engine = nullptr;  // Guarded by engineLock; null once the engine is gone.
};

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopEngine* engine = nullptr;
  std::string pluginName;
};

struct FlutterDesktopEngine {
  struct Handler {
    FlutterDesktopMessageCallback callback = nullptr;
    void* userData = nullptr;
  };
  struct PendingReply {
    FlutterDesktopBinaryReply reply = nullptr;
    void* userData = nullptr;
  };

  // Project description, copied at creation.
  std::wstring assetsPath;
  std::wstring icuDataPath;
  std::wstring aotLibraryPath;
  std::string entrypoint;
  std::vector<std::string> entrypointArguments;

  FlutterDesktopMessenger* messenger = nullptr;  // One reference held by the engine.

  std::mutex lock;  // Guards everything below.
  std::map<std::string, Handler, std::less<>> handlers;
  // Response handles are tokens that are never reused, so a late or repeated response can
  // never answer someone else's message.
  std::map<uintptr_t, long long> openResponses;
  uintptr_t nextResponseToken = 1;
  std::vector<PendingReply> pendingReplies;
  FlutterDesktopOnNextFrameCallback nextFrame = nullptr;
  void* nextFrameData = nullptr;
  bool readyWritten = false;
  HWND view = nullptr;  // The view window while a view controller holds the engine.
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;
};

namespace tidvale::engine {

// Posted to the view window when replies to SendWithReply are waiting.
inline constexpr UINT kRunRepliesMessage = WM_APP + 0x42;
// Posted to the view window when the next frame is due.
inline constexpr UINT kFrameMessage = WM_APP + 0x43;

// Platform thread: hands one incoming message to its channel's handler, or answers it with an
// empty reply when the channel has none.
void deliverMessage(FlutterDesktopEngine* engine, const SendCommand& send);

// Platform thread: runs the next-frame callback once if one is set, then reports ready once.
void runNextFrame(FlutterDesktopEngine* engine);

// Platform thread: answers waiting SendWithReply calls with an empty reply.
void runPendingReplies(FlutterDesktopEngine* engine);

// Platform thread: makes the messenger unavailable and frees the engine.
void destroyEngine(FlutterDesktopEngine* engine);

}  // namespace tidvale::engine
