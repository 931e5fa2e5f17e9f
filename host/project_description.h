#pragma once
// What the engine is told about the Flutter project it runs.

#include <string>
#include <string_view>
#include <vector>

namespace tidvale::host {

struct ProjectDescription {
  // Relative paths; the engine resolves them against the executable's folder.
  std::wstring assetsPath;
  std::wstring icuDataPath;
  std::wstring aotLibraryPath;
  std::string entrypoint;  // Empty: the default entrypoint.
  std::vector<std::string> entrypointArguments;
};

// The folder the project files are kept in, beside the executable.
inline constexpr std::wstring_view kProjectDirectory = L"data";

// The project whose files are in `directory`: its flutter_assets, icudtl.dat and app.so.
ProjectDescription describeProject(std::wstring_view directory);

}  // namespace tidvale::host
