#include "host/win32_window.h"

#include "engine/flutter_windows_api.h"
#include "host/dpi_scale.h"
#include "host/theme.h"
#include "win/unique_resource.h"

namespace tidvale::host {
namespace {

// Both touched only on the platform thread.
int liveWindows = 0;
struct WindowClassRecord {
  bool registered = false;
};
WindowClassRecord& windowClassRecord() {
  static WindowClassRecord record;
  return record;
}

// Per-monitor DPI scaling of the non-client area, where the system offers it (Windows 10 1607+).
void enableNonClientDpiScaling(HWND window) {
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  const win::UniqueModule user32(::LoadLibraryW(L"User32.dll"));
  if (!user32) return;
  const auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void*>(::GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable) enable(window);
}

}  // namespace

Win32Window::Win32Window() {
  ++liveWindows;
}

Win32Window::~Win32Window() {
  --liveWindows;
  Destroy();
}

int Win32Window::LiveWindowCount() {
  return liveWindows;
}

bool Win32Window::EnsureClassRegistered() {
  WindowClassRecord& record = windowClassRecord();
  if (record.registered) return true;
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = module;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = ::LoadIconW(module, MAKEINTRESOURCEW(kAppIconResource));
  windowClass.lpszClassName = kWindowClassName;
  if (!::RegisterClassW(&windowClass)) return false;
  record.registered = true;
  return true;
}

void Win32Window::UnregisterClassIfUnused() {
  WindowClassRecord& record = windowClassRecord();
  if (liveWindows > 0 || !record.registered) return;
  // Fails while a window of the class is still being destroyed (Destroy runs again from
  // WM_DESTROY); the record then stays set so the outer Destroy tries again, and a later Create
  // does not trip over a class that is still there.
  if (::UnregisterClassW(kWindowClassName, ::GetModuleHandleW(nullptr))) record.registered = false;
}

bool Win32Window::Create(const std::wstring& title, const Point& origin, const Size& size) {
  if (window_) Destroy();
  if (!EnsureClassRegistered()) return false;

  const HMONITOR monitor = ::MonitorFromPoint({origin.x, origin.y}, MONITOR_DEFAULTTONEAREST);
  const double scale = scaleForDpi(FlutterDesktopGetDpiForMonitor(monitor));
  const HWND window = ::CreateWindowExW(
      0, kWindowClassName, title.c_str(), WS_OVERLAPPEDWINDOW, toPhysicalPixels(origin.x, scale),
      toPhysicalPixels(origin.y, scale), toPhysicalPixels(size.width, scale),
      toPhysicalPixels(size.height, scale), nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (!window) return false;
  applyTheme(window);
  return OnCreate();
}

bool Win32Window::Show() {
  return ::ShowWindow(window_, SW_SHOWNORMAL) != FALSE;
}

void Win32Window::Destroy() {
  OnDestroy();
  if (window_) {
    const HWND window = window_;
    ::DestroyWindow(window);
    window_ = nullptr;
  }
  UnregisterClassIfUnused();
}

void Win32Window::SetChildContent(HWND content) {
  childContent_ = content;
  ::SetParent(content, window_);
  const RECT frame = GetClientArea();
  ::MoveWindow(content, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               TRUE);
  ::SetFocus(content);
}

RECT Win32Window::GetClientArea() const {
  RECT frame{};
  ::GetClientRect(window_, &frame);
  return frame;
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wparam,
                                         LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Win32Window*>(create->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    enableNonClientDpiScaling(window);
    self->window_ = window;
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) return self->MessageHandler(window, message, wparam, lparam);
  return ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Window::MessageHandler(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept {
  switch (message) {
    case WM_DESTROY:
      window_ = nullptr;
      Destroy();
      if (quitOnClose_) ::PostQuitMessage(0);
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SIZE:
      if (childContent_) {
        const RECT frame = GetClientArea();
        ::MoveWindow(childContent_, frame.left, frame.top, frame.right - frame.left,
                     frame.bottom - frame.top, TRUE);
      }
      return 0;
    case WM_ACTIVATE:
      if (childContent_) ::SetFocus(childContent_);
      return 0;
    case WM_DWMCOLORIZATIONCOLORCHANGED:
      applyTheme(window);
      return 0;
    default:
      // `window`, not window_: messages keep coming after WM_DESTROY released the handle.
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

bool Win32Window::OnCreate() {
  return true;
}

void Win32Window::OnDestroy() {}

}  // namespace tidvale::host
