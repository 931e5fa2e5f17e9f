#pragma once
// A view of a given size on a new engine. Platform thread.

#include <memory>
#include <optional>

#include "host/flutter_engine.h"
#include "host/flutter_view.h"
#include "host/project_description.h"

namespace tidvale::host {

inline constexpr char kViewControllerFailedMessage[] = "Failed to create view controller.";

class FlutterViewController {
 public:
  // Creates the engine for `project` and a view of width x height physical pixels on it. On
  // failure (a line on standard error) view() is null.
  FlutterViewController(int width, int height, const ProjectDescription& project);
  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;
  // Destroys the view controller and with it the engine.
  virtual ~FlutterViewController();

  // Null when the engine could not be created.
  FlutterEngine* engine() const { return engine_ && engine_->valid() ? engine_.get() : nullptr; }
  FlutterView* view() const { return view_.get(); }

  void ForceRedraw();
  // The engine's result when it handled the top-level window's message itself.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam);

 private:
  FlutterDesktopViewControllerRef controller_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace tidvale::host
