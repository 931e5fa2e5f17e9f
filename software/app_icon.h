#pragma once
// An application's icon as base64 text of a PNG image, from the "DisplayIcon" text of its
// Uninstall entry. Background threads with COM initialised; GDI+ must have been started in the
// process. Never fails: any failure gives "".

#include <string>

#include "software/local_path.h"

namespace tidvale::software {

// "path,index" as Windows writes icon locations: the index follows the last comma when at least
// one unit follows it (read as _wtoi does); otherwise the index is 0 and the text is the path.
struct IconLocation {
  std::wstring path;
  int index = 0;
};
IconLocation parseIconLocation(const std::wstring& displayIcon);

// The icon named by `displayIcon` (or, when its file is missing, icon `index` of
// `fallbackPath`) as base64 PNG text, standard alphabet with padding and no line breaks.
// Icons are read only from files on `drives` that are local (see local_path.h); an icon file is
// checked before the system reads it (see icon_file.h).
std::string iconToPngBase64(const std::wstring& displayIcon, const std::wstring& fallbackPath,
                            LocalDrives& drives);

}  // namespace tidvale::software
