#pragma once
// The fixed and removable drives of the machine with their labels and space. Any thread; reads
// the system on every call; nothing throws.

#include <vector>

#include "system/summary_figures.h"

namespace tidvale::system {

// Each fixed or removable drive whose space can be read, in letter order A to Z; drives of other
// types and drives without readable space (a card reader without a card) are left out.
std::vector<DiskFigures> readDisks();

}  // namespace tidvale::system
