#pragma once
// The engine library's message transport, as the channel layer uses it. Platform-neutral: the
// headless engine implements it on Windows, and tests may link a substitute.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(TIDVALE_ENGINE_EXPORTS)
#define TIDVALE_ENGINE_API __declspec(dllexport)
#elif defined(_WIN32) && !defined(TIDVALE_ENGINE_STATIC)
#define TIDVALE_ENGINE_API __declspec(dllimport)
#else
#define TIDVALE_ENGINE_API
#endif

typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopMessageResponseHandle FlutterDesktopMessageResponseHandle;

// One incoming message. `response_handle` accepts exactly one response.
typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);

// Sends a message that needs no reply. Returns false when the engine refuses it.
TIDVALE_ENGINE_API bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                                    const char* channel, const uint8_t* message,
                                                    size_t message_size);
// Sends a message; `reply` runs once with the answer. Returns false when the engine refuses it,
// in which case `reply` never runs.
TIDVALE_ENGINE_API bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
    size_t message_size, FlutterDesktopBinaryReply reply, void* user_data);
TIDVALE_ENGINE_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessageResponseHandle* handle,
    const uint8_t* data, size_t data_length);
// Installs (or, with a null callback, removes) the handler of a channel.
TIDVALE_ENGINE_API void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                                           const char* channel,
                                                           FlutterDesktopMessageCallback callback,
                                                           void* user_data);
TIDVALE_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
TIDVALE_ENGINE_API void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
// False once the engine behind the messenger is gone.
TIDVALE_ENGINE_API bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);
TIDVALE_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
TIDVALE_ENGINE_API void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);

#ifdef __cplusplus
}
#endif
