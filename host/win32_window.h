#pragma once
// A top-level window with per-monitor DPI scaling and a title bar that follows the app theme.
// Everything runs on the thread that created the window (the platform thread).

#include <windows.h>

#include <string>

namespace tidvale::host {

inline constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
inline constexpr int kAppIconResource = 101;

class Win32Window {
 public:
  // Logical pixels, scaled by the DPI of the monitor the window opens on.
  struct Point {
    int x = 0;
    int y = 0;
  };
  struct Size {
    int width = 0;
    int height = 0;
  };

  Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;
  virtual ~Win32Window();

  // Creates the window hidden, replacing any window this object had. False when the window
  // cannot be created or OnCreate fails.
  bool Create(const std::wstring& title, const Point& origin, const Size& size);
  // ShowWindow with SW_SHOWNORMAL; its result.
  bool Show();
  // Runs OnDestroy and destroys the window, if any. The last live Win32Window to go also
  // unregisters the window class.
  void Destroy();
  // Adopts `content` as the child filling the client area and gives it the focus.
  void SetChildContent(HWND content);
  HWND GetHandle() const { return window_; }
  // When set, destroying the window ends the message loop (quit code 0).
  void SetQuitOnClose(bool quitOnClose) { quitOnClose_ = quitOnClose; }
  RECT GetClientArea() const;

  // Live Win32Window objects in the process.
  static int LiveWindowCount();

 protected:
  // Handles a message for `window`, which is this object's window (also while it is being
  // destroyed, when GetHandle is already null).
  virtual LRESULT MessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  // Called once the window exists; false makes Create fail.
  virtual bool OnCreate();
  // Called when the window is destroyed, before the handle is released.
  virtual void OnDestroy();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept;
  static bool EnsureClassRegistered();
  static void UnregisterClassIfUnused();

  bool quitOnClose_ = false;
  HWND window_ = nullptr;
  HWND childContent_ = nullptr;
};

}  // namespace tidvale::host
