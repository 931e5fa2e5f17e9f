#pragma once
// A volume read raw through its drive letter (\\.\X:), as a byte source for the MFT reader.
// Opening needs an elevated process on Windows; under Wine it needs the drive's "x::" device
// mapping. Reads are made in whole sectors through an aligned buffer, as volume handles require.

#include <windows.h>

#include <memory>
#include <vector>

#include "fs/mft/byte_source.h"
#include "win/unique_resource.h"

namespace tidvale::fs::mft {

class Win32VolumeSource final : public ByteSource {
 public:
  // Null when the volume cannot be opened for reading.
  static std::unique_ptr<Win32VolumeSource> open(wchar_t driveLetter);

  bool read(uint64_t offset, std::span<uint8_t> into) override;

 private:
  Win32VolumeSource(win::UniqueFileHandle volume, uint32_t sectorBytes);

  win::UniqueFileHandle volume_;
  uint32_t sectorBytes_;
  std::vector<uint8_t> buffer_;  // one chunk plus room to align it
};

}  // namespace tidvale::fs::mft
