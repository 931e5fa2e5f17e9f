#include "win/known_folder.h"

#include "win/unique_resource.h"

namespace tidvale::win {

std::wstring knownFolderPath(REFKNOWNFOLDERID id) {
  UniqueCoTaskString path;
  if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put())) || !path) return {};
  return path.get();
}

std::wstring homeFolder() {
  return knownFolderPath(FOLDERID_Profile);
}

}  // namespace tidvale::win
