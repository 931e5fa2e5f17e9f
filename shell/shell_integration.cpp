#include "shell/shell_integration.h"

#include <windows.h>

#include <shellapi.h>
#include <shobjidl.h>

#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::shell {

namespace {

constexpr wchar_t kOpenVerb[] = L"open";
constexpr wchar_t kExplorerProgram[] = L"explorer.exe";
constexpr std::wstring_view kSelectSwitch = L"/select,\"";
constexpr wchar_t kClosingQuote = L'"';

}  // namespace

std::optional<std::wstring> revealParameters(std::wstring_view path) {
  if (path.find(kClosingQuote) != std::wstring_view::npos) return std::nullopt;
  std::wstring parameters(kSelectSwitch);
  parameters += path;
  parameters += kClosingQuote;
  return parameters;
}

void revealPath(const std::wstring& path) {
  const std::optional<std::wstring> parameters = revealParameters(path);
  if (!parameters) return;
  ::ShellExecuteW(nullptr, kOpenVerb, kExplorerProgram, parameters->c_str(), nullptr,
                  SW_SHOWNORMAL);
}

void openPath(const std::wstring& path) {
  ::ShellExecuteW(nullptr, kOpenVerb, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::optional<std::string> pickFolder() {
  win::ComPtr<IFileDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileDialog, dialog.putVoid()))) {
    return std::nullopt;
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
  if (FAILED(dialog->Show(::GetActiveWindow()))) return std::nullopt;

  win::ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.put())) || !item) return std::nullopt;
  win::UniqueCoTaskString name;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.put())) || !name) return std::nullopt;

  std::string folder = win::toUtf8(name.get());
  if (folder.empty()) return std::nullopt;
  return folder;
}

}  // namespace tidvale::shell
