#include "service/native_service.h"

#include <windows.h>

#include <objidl.h>
// GDI+ needs the COM declarations above.
#include <gdiplus.h>

#include "channels/event_channel.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "core/delivery.h"
#include "core/event_stream.h"
#include "core/service_state.h"
#include "service/dispatcher_window.h"
#include "service/method_call_handler.h"

namespace tidvale {
namespace {

constexpr char kMethodChannelName[] = "tidvale/native";
constexpr char kEventChannelName[] = "tidvale/events";

// GDI+ is started once per process and never shut down: icons are encoded on any thread.
void startGdiplusOnce() {
  static ULONG_PTR token = 0;
  if (token != 0) return;
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

}  // namespace

void registerNativeService(BinaryMessenger* messenger) {
  ensureDispatcherWindow();
  startGdiplusOnce();
  ServiceState& state = serviceState();
  const MethodCodec* codec = &StandardMethodCodec::GetInstance();

  static MethodChannel* const methodChannel =
      new MethodChannel(messenger, kMethodChannelName, codec);
  methodChannel->SetMethodCallHandler(
      [&state](const MethodCall& call, std::unique_ptr<MethodResult> result) {
        handleMethodCall(state, call, std::move(result));
      });

  static EventChannel* const eventChannel = new EventChannel(messenger, kEventChannelName, codec);
  eventChannel->SetStreamHandler(makeProgressStreamHandler(state));
}

void unregisterNativeService() {
  closeDelivery(serviceState());
}

}  // namespace tidvale
