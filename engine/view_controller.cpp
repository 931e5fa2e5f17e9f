// The view half of the engine library: a view controller owning the engine and a real child
// window standing in for the rendering surface. The view window's procedure is where queued
// input, frames and replies reach the platform thread.

#include <shellscalingapi.h>

#include <variant>

#include "engine/engine_objects.h"
#include "engine/input_channel.h"
#include "win/unique_resource.h"

namespace {

constexpr wchar_t kViewClassName[] = L"TidvaleHeadlessEngineView";
constexpr UINT kDefaultDpi = 96;

}  // namespace

// The module this code is linked into: the engine library, or a test program.
extern "C" IMAGE_DOS_HEADER __ImageBase;

struct FlutterDesktopView {
  HWND window = nullptr;
};

struct FlutterDesktopViewController {
  FlutterDesktopEngine* engine = nullptr;  // Owned.
  FlutterDesktopView view;
};

namespace {

FlutterDesktopViewController* controllerOf(HWND window) {
  return reinterpret_cast<FlutterDesktopViewController*>(
      ::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// A handler may run a nested message loop (a modal dialog) in which a later quit closes the
// window and destroys the controller, so the controller is looked up again for every command.
void deliverQueuedInput(HWND view) {
  while (FlutterDesktopViewController* controller = controllerOf(view)) {
    auto command = tidvale::engine::takeInputCommand();
    if (!command) return;
    if (const auto* send = std::get_if<tidvale::engine::SendCommand>(&*command)) {
      tidvale::engine::deliverMessage(controller->engine, *send);
    } else {
      // Closing the top-level window lets the program leave through its normal path.
      ::PostMessageW(::GetAncestor(view, GA_ROOT), WM_CLOSE, 0, 0);
    }
  }
}

LRESULT CALLBACK viewWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (FlutterDesktopViewController* controller = controllerOf(window)) {
    switch (message) {
      case tidvale::engine::kDeliverInputMessage:
        deliverQueuedInput(window);
        return 0;
      case tidvale::engine::kFrameMessage:
        tidvale::engine::runNextFrame(controller->engine);
        tidvale::engine::startStandardInputReader();
        return 0;
      case tidvale::engine::kRunRepliesMessage:
        tidvale::engine::runPendingReplies(controller->engine);
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool registerViewClass() {
  const HINSTANCE module = reinterpret_cast<HINSTANCE>(&__ImageBase);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(module, kViewClassName, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = viewWindowProc;
  windowClass.hInstance = module;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kViewClassName;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  if (!engine) return nullptr;
  if (!registerViewClass()) {
    tidvale::engine::destroyEngine(engine);
    return nullptr;
  }
  // A child window needs a parent from the start; the message-only parent keeps it invisible
  // and unowned until the host adopts it with SetParent.
  const HWND window = ::CreateWindowExW(
      0, kViewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width, height,
      HWND_MESSAGE, nullptr, reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr);
  if (!window) {
    tidvale::engine::destroyEngine(engine);
    return nullptr;
  }
  auto* controller = new FlutterDesktopViewController;
  controller->engine = engine;
  controller->view.window = window;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(controller));
  {
    std::lock_guard guard(engine->lock);
    engine->view = window;
    if (!engine->pendingReplies.empty()) {
      ::PostMessageW(window, tidvale::engine::kRunRepliesMessage, 0, 0);
    }
  }
  // The first frame is "drawn" once the platform thread's message loop runs.
  ::PostMessageW(window, tidvale::engine::kFrameMessage, 0, 0);
  tidvale::engine::attachInputTarget(window);
  return controller;
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  if (!controller) return;
  const HWND window = controller->view.window;
  tidvale::engine::detachInputTarget(window);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
  tidvale::engine::destroyEngine(controller->engine);
  delete controller;
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return controller ? &controller->view : nullptr;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  if (controller) ::InvalidateRect(controller->view.window, nullptr, FALSE);
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(FlutterDesktopViewControllerRef, HWND,
                                                          UINT, WPARAM, LPARAM, LRESULT*) {
  return false;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view ? view->window : nullptr;
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
  const tidvale::win::UniqueModule shcore(::LoadLibraryW(L"shcore.dll"));
  if (!shcore) return kDefaultDpi;
  const auto getDpi = reinterpret_cast<GetDpiForMonitorFunction>(
      reinterpret_cast<void*>(::GetProcAddress(shcore.get(), "GetDpiForMonitor")));
  if (!getDpi) return kDefaultDpi;
  UINT dpiX = 0;
  UINT dpiY = 0;
  if (FAILED(getDpi(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) || dpiX == 0) return kDefaultDpi;
  return dpiX;
}

// The engine writes its lines with WriteFile on the current standard handles, so there are no
// runtime library streams of its own to resynchronise.
void FlutterDesktopResyncOutputStreams() {}
