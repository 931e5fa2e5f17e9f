#include "service/dispatcher_window.h"

#include <windows.h>

#include "core/dispatcher.h"

namespace tidvale {
namespace {

constexpr wchar_t kDispatcherClassName[] = L"TidvaleDispatcher";

HWND dispatcherWindow = nullptr;  // platform thread only; never destroyed

LRESULT CALLBACK dispatcherWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kDispatchMessage) {
    dispatcher().drain();
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

bool ensureDispatcherWindow() {
  if (dispatcherWindow != nullptr) return true;
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = dispatcherWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kDispatcherClassName;
  ::RegisterClassW(&windowClass);
  dispatcherWindow = ::CreateWindowExW(0, kDispatcherClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, module, nullptr);
  if (dispatcherWindow == nullptr) return false;
  HWND window = dispatcherWindow;
  // A failed post leaves the closure pending; it runs with the next message that arrives.
  dispatcher().setWake([window] { ::PostMessageW(window, kDispatchMessage, 0, 0); });
  return true;
}

}  // namespace tidvale
