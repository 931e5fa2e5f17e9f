#pragma once
// The arguments of each background method, read from the call's argument map with their
// defaults. A reader never fails: missing or ill-typed values take the default.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "channels/encodable_value.h"

namespace tidvale {

inline constexpr int64_t kLargeFileMinSizeDefault = 104857600;  // 100 MiB
inline constexpr int64_t kDuplicateMinSizeDefault = 1048576;    // 1 MiB
inline constexpr int64_t kDiskDepthDefault = 3;

// The profile folder in UTF-8, asked for only when a default needs it.
using HomeFolderSource = std::function<std::string()>;

struct RootScanArguments {  // "scanLargeFiles", "scanDuplicates"
  std::string root;
  int64_t minSize = 0;
};
RootScanArguments largeFileArguments(const EncodableMap& args, const HomeFolderSource& home);
RootScanArguments duplicateArguments(const EncodableMap& args, const HomeFolderSource& home);

struct DiskArguments {  // "analyzeDisk"
  std::string path;
  int64_t depth = kDiskDepthDefault;
};
DiskArguments diskArguments(const EncodableMap& args, const HomeFolderSource& home);

struct DeleteArguments {  // "deleteItems"
  std::vector<std::string> paths;
  bool toTrash = false;
};
DeleteArguments deleteArguments(const EncodableMap& args);

struct LeftoverArguments {  // "appLeftovers"
  std::string name;
  std::string publisher;
};
LeftoverArguments leftoverArguments(const EncodableMap& args);

struct UninstallArguments {  // "uninstallApp"
  std::string command;
  std::string regKey;
  std::vector<std::string> paths;
  bool toTrash = false;
};
UninstallArguments uninstallArguments(const EncodableMap& args);

struct StartupChangeArguments {  // "setStartupItem", "removeStartupItem"
  std::string id;
  std::string kind;
  bool enabled = true;
};
StartupChangeArguments startupChangeArguments(const EncodableMap& args);

// "sizeOf": the path, "" when absent.
std::string sizeOfPathArgument(const EncodableMap& args);

}  // namespace tidvale
