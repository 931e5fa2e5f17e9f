#include "host/flutter_window.h"

#include "host/plugin_registrant.h"
#include "service/native_service.h"

namespace tidvale::host {

FlutterWindow::FlutterWindow(const ProjectDescription& project) : project_(project) {}

FlutterWindow::~FlutterWindow() = default;

bool FlutterWindow::OnCreate() {
  if (!Win32Window::OnCreate()) return false;

  const RECT frame = GetClientArea();
  flutterController_ = std::make_unique<FlutterViewController>(frame.right - frame.left,
                                                               frame.bottom - frame.top, project_);
  FlutterEngine* engine = flutterController_->engine();
  if (!engine || !flutterController_->view()) return false;

  registerPlugins(*engine);
  registerNativeService(engine->messenger());
  SetChildContent(flutterController_->view()->GetNativeWindow());
  // Hidden until Flutter has drawn, so the user never sees an empty frame.
  engine->SetNextFrameCallback([this] { Show(); });
  flutterController_->ForceRedraw();
  return true;
}

void FlutterWindow::OnDestroy() {
  // Background calls may still finish: their results and events must not reach a freed messenger.
  unregisterNativeService();
  flutterController_.reset();
  Win32Window::OnDestroy();
}

LRESULT FlutterWindow::MessageHandler(HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept {
  if (flutterController_) {
    if (auto handled =
            flutterController_->HandleTopLevelWindowProc(window, message, wparam, lparam)) {
      return *handled;
    }
  }
  if (message == WM_FONTCHANGE && flutterController_ && flutterController_->engine()) {
    flutterController_->engine()->ReloadSystemFonts();
  }
  return Win32Window::MessageHandler(window, message, wparam, lparam);
}

}  // namespace tidvale::host
