#pragma once
// The engine's view: the child window Flutter draws into. Platform thread.

#include "engine/flutter_windows_api.h"

namespace tidvale::host {

class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}

  HWND GetNativeWindow() const { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace tidvale::host
