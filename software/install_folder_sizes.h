#pragma once
// The sizes of the install folders that one listing measures. A relative location would be
// measured against Tidvale's own current folder and a network one would contact its server on
// every listing, so only local folders named in full are walked; each folder once per listing,
// however many entries name it. Belongs to one listing on one thread.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "software/local_path.h"

namespace tidvale::software {

class InstallFolderSizes {
 public:
  using Measure = std::function<int64_t(const std::wstring& folder)>;
  InstallFolderSizes(Measure measure, LocalDrives& drives)
      : measure_(std::move(measure)), drives_(drives) {}

  // The measured size of `location`, or 0 when it is not a local path named in full.
  int64_t sizeOf(const std::wstring& location);

 private:
  Measure measure_;
  LocalDrives& drives_;
  std::map<std::wstring, int64_t> measured_;  // by folderKey
};

}  // namespace tidvale::software
