#include "host/project_description.h"

namespace tidvale::host {
namespace {

constexpr std::wstring_view kAssetsName = L"\\flutter_assets";
constexpr std::wstring_view kIcuDataName = L"\\icudtl.dat";
constexpr std::wstring_view kAotLibraryName = L"\\app.so";

}  // namespace

ProjectDescription describeProject(std::wstring_view directory) {
  ProjectDescription project;
  project.assetsPath = std::wstring(directory).append(kAssetsName);
  project.icuDataPath = std::wstring(directory).append(kIcuDataName);
  project.aotLibraryPath = std::wstring(directory).append(kAotLibraryName);
  return project;
}

}  // namespace tidvale::host
