#include "host/flutter_view_controller.h"

#include <iostream>

namespace tidvale::host {

FlutterViewController::FlutterViewController(int width, int height,
                                             const ProjectDescription& project)
    : engine_(std::make_shared<FlutterEngine>(project)) {
  controller_ = FlutterDesktopViewControllerCreate(width, height, engine_->RelinquishEngine());
  if (!controller_) {
    std::cerr << kViewControllerFailedMessage << std::endl;
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_));
}

FlutterViewController::~FlutterViewController() {
  if (controller_) FlutterDesktopViewControllerDestroy(controller_);
}

void FlutterViewController::ForceRedraw() {
  if (controller_) FlutterDesktopViewControllerForceRedraw(controller_);
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(HWND window, UINT message,
                                                                       WPARAM wparam,
                                                                       LPARAM lparam) {
  if (!controller_) return std::nullopt;
  LRESULT result = 0;
  if (!FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window, message, wparam,
                                                            lparam, &result)) {
    return std::nullopt;
  }
  return result;
}

}  // namespace tidvale::host
