#include "service/method_arguments.h"

#include "service/argument_readers.h"

namespace tidvale {
namespace {

// The profile folder is looked up only when the caller gave no usable string.
std::string stringOrHome(const EncodableMap& args, std::string_view key,
                         const HomeFolderSource& home) {
  const auto found = args.find(EncodableValue(std::string(key)));
  if (found != args.end()) {
    if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  }
  return home();
}

RootScanArguments rootScanArguments(const EncodableMap& args, const HomeFolderSource& home,
                                    int64_t minSizeDefault) {
  return {stringOrHome(args, "root", home), argInt(&args, "minSize", minSizeDefault)};
}

}  // namespace

RootScanArguments largeFileArguments(const EncodableMap& args, const HomeFolderSource& home) {
  return rootScanArguments(args, home, kLargeFileMinSizeDefault);
}

RootScanArguments duplicateArguments(const EncodableMap& args, const HomeFolderSource& home) {
  return rootScanArguments(args, home, kDuplicateMinSizeDefault);
}

DiskArguments diskArguments(const EncodableMap& args, const HomeFolderSource& home) {
  return {stringOrHome(args, "path", home), argInt(&args, "depth", kDiskDepthDefault)};
}

DeleteArguments deleteArguments(const EncodableMap& args) {
  return {argStringList(&args, "paths"), argBool(&args, "toTrash", false)};
}

LeftoverArguments leftoverArguments(const EncodableMap& args) {
  return {argString(&args, "name", ""), argString(&args, "publisher", "")};
}

UninstallArguments uninstallArguments(const EncodableMap& args) {
  return {argString(&args, "command", ""), argString(&args, "regKey", ""),
          argStringList(&args, "paths"), argBool(&args, "toTrash", false)};
}

StartupChangeArguments startupChangeArguments(const EncodableMap& args) {
  return {argString(&args, "id", ""), argString(&args, "kind", ""),
          argBool(&args, "enabled", true)};
}

std::string sizeOfPathArgument(const EncodableMap& args) {
  return argString(&args, "path", "");
}

}  // namespace tidvale
