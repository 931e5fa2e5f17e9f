// Tidvale.exe: opens the main window with the Flutter view and runs the message loop. The main
// thread is the platform thread.

#include <windows.h>

#include "host/command_line.h"
#include "host/console.h"
#include "host/flutter_window.h"
#include "host/project_description.h"
#include "win/unique_resource.h"

namespace {

constexpr wchar_t kWindowTitle[] = L"Tidvale";
constexpr tidvale::host::Win32Window::Point kWindowOrigin{10, 10};
constexpr tidvale::host::Win32Window::Size kWindowSize{1280, 800};
constexpr int kExitCreateFailed = 1;

}  // namespace

int APIENTRY wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  using namespace tidvale::host;
  attachConsoleWhenUseful();
  const tidvale::win::ComApartment com(COINIT_APARTMENTTHREADED);

  ProjectDescription project = describeProject(kProjectDirectory);
  project.entrypointArguments = entrypointArguments(::GetCommandLineW());

  FlutterWindow window(project);
  if (!window.Create(kWindowTitle, kWindowOrigin, kWindowSize)) return kExitCreateFailed;
  window.SetQuitOnClose(true);

  MSG message;
  // GetMessageW gives -1 on error; looping on it would spin forever.
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
