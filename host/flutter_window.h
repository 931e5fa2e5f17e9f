#pragma once
// The top-level window hosting the Flutter view. Platform thread.

#include <memory>

#include "host/flutter_view_controller.h"
#include "host/project_description.h"
#include "host/win32_window.h"

namespace tidvale::host {

class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const ProjectDescription& project);
  ~FlutterWindow() override;

 protected:
  LRESULT MessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept override;
  // Creates the engine and its view, registers the plugins and the native service, and shows
  // the window once the first frame is drawn. False when there is no engine or no view.
  bool OnCreate() override;
  // Tears down the view controller and with it the engine.
  void OnDestroy() override;

 private:
  ProjectDescription project_;
  std::unique_ptr<FlutterViewController> flutterController_;
};

}  // namespace tidvale::host
