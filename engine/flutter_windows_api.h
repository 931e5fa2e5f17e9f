#pragma once
// The engine library's interface for the Windows host: engine, view controller, view, plugin
// registrars, DPI and output streams. The messenger part is in flutter_messenger_api.h.

#include <windows.h>

#include "engine/flutter_messenger_api.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;

typedef struct {
  const wchar_t* assets_path;
  const wchar_t* icu_data_path;
  const wchar_t* aot_library_path;
  const char* dart_entrypoint;  // null or empty: the default entrypoint
  int dart_entrypoint_argc;
  const char** dart_entrypoint_argv;
} FlutterDesktopEngineProperties;

typedef void (*FlutterDesktopOnNextFrameCallback)(void* user_data);

TIDVALE_ENGINE_API FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* properties);
TIDVALE_ENGINE_API bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
TIDVALE_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
TIDVALE_ENGINE_API FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine, const char* plugin_name);
TIDVALE_ENGINE_API void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);
// `callback` runs once, on the platform thread, after the next frame.
TIDVALE_ENGINE_API void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback, void* user_data);

// Takes ownership of `engine`. Returns null on failure (the engine is then destroyed).
TIDVALE_ENGINE_API FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int width, int height, FlutterDesktopEngineRef engine);
TIDVALE_ENGINE_API void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller);
TIDVALE_ENGINE_API FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);
TIDVALE_ENGINE_API void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller);
// Offers a top-level window message to the engine; true (with *result set) when it handled it.
TIDVALE_ENGINE_API bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND hwnd, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result);

TIDVALE_ENGINE_API HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
TIDVALE_ENGINE_API UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
TIDVALE_ENGINE_API void FlutterDesktopResyncOutputStreams();

// Plugin libraries: each exports one registration entry point taking its registrar.
#if defined(TIDVALE_PLUGIN_EXPORTS)
#define TIDVALE_PLUGIN_API __declspec(dllexport)
#else
#define TIDVALE_PLUGIN_API __declspec(dllimport)
#endif
TIDVALE_PLUGIN_API void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
TIDVALE_PLUGIN_API void UrlLauncherWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
TIDVALE_PLUGIN_API void WindowManagerPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}
#endif
