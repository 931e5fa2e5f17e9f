#include "fs/mft/win32_volume_source.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tidvale::fs::mft {
namespace {

constexpr size_t kBufferBytes = 4u << 20;
constexpr uint32_t kDefaultSectorBytes = 512;
constexpr uint32_t kLargestSectorBytes = 4096;

uint32_t sectorBytesOf(wchar_t driveLetter) {
  const std::wstring root{driveLetter, L':', L'\\'};
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters) ||
      bytesPerSector == 0 || bytesPerSector > kLargestSectorBytes ||
      (bytesPerSector & (bytesPerSector - 1)) != 0) {
    return kDefaultSectorBytes;
  }
  return bytesPerSector;
}

}  // namespace

std::unique_ptr<Win32VolumeSource> Win32VolumeSource::open(wchar_t driveLetter) {
  const std::wstring device{L'\\', L'\\', L'.', L'\\', driveLetter, L':'};
  win::UniqueFileHandle volume(::CreateFileW(device.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
  if (!volume) return nullptr;
  return std::unique_ptr<Win32VolumeSource>(
      new Win32VolumeSource(std::move(volume), sectorBytesOf(driveLetter)));
}

Win32VolumeSource::Win32VolumeSource(win::UniqueFileHandle volume, uint32_t sectorBytes)
    : volume_(std::move(volume)), sectorBytes_(sectorBytes), buffer_(kBufferBytes + sectorBytes) {}

bool Win32VolumeSource::read(uint64_t offset, std::span<uint8_t> into) {
  // Whole aligned sectors go straight into the caller's memory: the table's chunks are read so.
  const uintptr_t target = reinterpret_cast<uintptr_t>(into.data());
  if (offset % sectorBytes_ == 0 && into.size() % sectorBytes_ == 0 && target % sectorBytes_ == 0) {
    while (!into.empty()) {
      const size_t piece = std::min(into.size(), kBufferBytes);
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD got = 0;
      if (!::ReadFile(volume_.get(), into.data(), static_cast<DWORD>(piece), &got, &at) ||
          got != piece) {
        return false;
      }
      into = into.subspan(piece);
      offset += piece;
    }
    return true;
  }
  // Anything else through the buffer, from its first sector-aligned address.
  const uintptr_t address = reinterpret_cast<uintptr_t>(buffer_.data());
  uint8_t* const aligned =
      buffer_.data() + ((sectorBytes_ - address % sectorBytes_) % sectorBytes_);
  while (!into.empty()) {
    const uint64_t start = offset - offset % sectorBytes_;
    const size_t lead = static_cast<size_t>(offset - start);
    const size_t wanted = std::min(into.size(), kBufferBytes - lead);
    const size_t span = (lead + wanted + sectorBytes_ - 1) / sectorBytes_ * sectorBytes_;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(start);
    at.OffsetHigh = static_cast<DWORD>(start >> 32);
    DWORD got = 0;
    if (!::ReadFile(volume_.get(), aligned, static_cast<DWORD>(span), &got, &at) ||
        got < lead + wanted) {
      return false;
    }
    std::memcpy(into.data(), aligned + lead, wanted);
    into = into.subspan(wanted);
    offset += wanted;
  }
  return true;
}

}  // namespace tidvale::fs::mft
