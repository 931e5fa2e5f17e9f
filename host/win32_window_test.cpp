#include "host/win32_window.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/flutter_windows_api.h"
#include "host/dpi_scale.h"

namespace tidvale::host {
namespace {

class ProbeWindow : public Win32Window {
 public:
  bool createResult = true;
  int creates = 0;
  int destroys = 0;

 protected:
  bool OnCreate() override {
    ++creates;
    return createResult;
  }
  void OnDestroy() override { ++destroys; }
};

bool classRegistered() {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  return ::GetClassInfoExW(::GetModuleHandleW(nullptr), kWindowClassName, &info) != FALSE;
}

// Removes and reports a pending WM_QUIT on this thread.
bool takeQuit(WPARAM* code) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *code = message.wParam;
      return true;
    }
    ::DispatchMessageW(&message);
  }
  return false;
}

RECT clientRect(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return rect;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(Win32Window::LiveWindowCount(), 0);
    EXPECT_FALSE(classRegistered());
    WPARAM code = 0;
    takeQuit(&code);
  }
};

TEST_F(Win32WindowTest, CreatesAHiddenWindowScaledForTheMonitorDpi) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"Tidvale test", {10, 20}, {640, 400}));
  const HWND handle = window.GetHandle();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.creates, 1);
  EXPECT_FALSE(::IsWindowVisible(handle));
  EXPECT_TRUE(classRegistered());

  wchar_t className[64] = {};
  ::GetClassNameW(handle, className, 64);
  EXPECT_STREQ(className, kWindowClassName);
  wchar_t title[64] = {};
  ::GetWindowTextW(handle, title, 64);
  EXPECT_STREQ(title, L"Tidvale test");
  EXPECT_EQ(::GetWindowLongPtrW(handle, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);

  const double scale = scaleForDpi(
      FlutterDesktopGetDpiForMonitor(::MonitorFromWindow(handle, MONITOR_DEFAULTTONEAREST)));
  RECT frame{};
  ::GetWindowRect(handle, &frame);
  EXPECT_EQ(frame.left, toPhysicalPixels(10, scale));
  EXPECT_EQ(frame.top, toPhysicalPixels(20, scale));
  EXPECT_EQ(frame.right - frame.left, toPhysicalPixels(640, scale));
  EXPECT_EQ(frame.bottom - frame.top, toPhysicalPixels(400, scale));

  EXPECT_FALSE(window.Show());  // ShowWindow answers whether it was visible before.
  EXPECT_TRUE(::IsWindowVisible(handle));
}

TEST_F(Win32WindowTest, FailingOnCreateFailsCreate) {
  ProbeWindow window;
  window.createResult = false;
  EXPECT_FALSE(window.Create(L"x", {0, 0}, {100, 100}));
}

TEST_F(Win32WindowTest, CreatingAgainReplacesTheEarlierWindow) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"first", {0, 0}, {100, 100}));
  const HWND first = window.GetHandle();
  ASSERT_TRUE(window.Create(L"second", {0, 0}, {100, 100}));
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_NE(window.GetHandle(), nullptr);
  EXPECT_GE(window.destroys, 1);
}

TEST_F(Win32WindowTest, ChildContentFillsTheClientAreaAndFollowsResizes) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"x", {0, 0}, {400, 300}));
  const HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                       HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  window.SetChildContent(child);
  EXPECT_EQ(::GetParent(child), window.GetHandle());
  RECT area = window.GetClientArea();
  RECT inner = clientRect(child);
  EXPECT_EQ(inner.right, area.right - area.left);
  EXPECT_EQ(inner.bottom, area.bottom - area.top);

  ::SetWindowPos(window.GetHandle(), nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOACTIVATE);
  area = window.GetClientArea();
  inner = clientRect(child);
  EXPECT_GT(area.right, 400);
  EXPECT_EQ(inner.right, area.right - area.left);
  EXPECT_EQ(inner.bottom, area.bottom - area.top);
}

TEST_F(Win32WindowTest, DestroyedWindowEndsTheLoopOnlyWithQuitOnClose) {
  for (const bool quitOnClose : {false, true}) {
    ProbeWindow window;
    ASSERT_TRUE(window.Create(L"x", {0, 0}, {100, 100}));
    window.SetQuitOnClose(quitOnClose);
    ::DestroyWindow(window.GetHandle());
    EXPECT_EQ(window.GetHandle(), nullptr);
    EXPECT_EQ(window.destroys, 1);
    WPARAM code = 99;
    EXPECT_EQ(takeQuit(&code), quitOnClose);
    if (quitOnClose) {
      EXPECT_EQ(code, 0u);
    }
  }
}

TEST_F(Win32WindowTest, TheLastWindowObjectUnregistersTheClass) {
  auto first = std::make_unique<ProbeWindow>();
  {
    ProbeWindow second;
    ASSERT_TRUE(first->Create(L"a", {0, 0}, {100, 100}));
    ASSERT_TRUE(second.Create(L"b", {0, 0}, {100, 100}));
    EXPECT_EQ(Win32Window::LiveWindowCount(), 2);
  }
  EXPECT_TRUE(classRegistered());
  ::DestroyWindow(first->GetHandle());
  EXPECT_TRUE(classRegistered()) << "the object is still alive";
  first.reset();
  EXPECT_FALSE(classRegistered());
  // And it can be registered again.
  ProbeWindow third;
  EXPECT_TRUE(third.Create(L"c", {0, 0}, {100, 100}));
}

}  // namespace
}  // namespace tidvale::host
