#include "fs/mft/read_ahead.h"

#include <algorithm>

namespace tidvale::fs::mft {

ReadAhead::ReadAhead(Read read, uint64_t totalBytes, size_t chunkBytes, size_t alignment)
    : read_(std::move(read)),
      totalBytes_(totalBytes),
      chunkBytes_(chunkBytes),
      chunks_((totalBytes + chunkBytes - 1) / chunkBytes),
      memory_(2 * chunkBytes + alignment) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(memory_.data());
  aligned_ = memory_.data() + (alignment - address % alignment) % alignment;
  reader_ = std::thread([this] { readAll(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
  reader_.join();
}

size_t ReadAhead::chunkSize(uint64_t chunk) const {
  const uint64_t offset = chunk * chunkBytes_;
  return static_cast<size_t>(std::min<uint64_t>(chunkBytes_, totalBytes_ - offset));
}

std::span<uint8_t> ReadAhead::buffer(uint64_t chunk) {
  return {aligned_ + (chunk % 2) * chunkBytes_, chunkSize(chunk)};
}

void ReadAhead::readAll() {
  for (uint64_t chunk = 0; chunk < chunks_; ++chunk) {
    Slot& slot = slots_[chunk % 2];
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] { return stop_ || slot == Slot::Free; });
      if (stop_) return;
    }
    // The slot is free: the consumer does not touch it until it is marked again.
    const bool read = read_(chunk * chunkBytes_, buffer(chunk));
    {
      std::lock_guard<std::mutex> hold(lock_);
      slot = read ? Slot::Full : Slot::Failed;
    }
    changed_.notify_all();
    if (!read) return;
  }
}

std::optional<std::span<uint8_t>> ReadAhead::next() {
  std::unique_lock<std::mutex> hold(lock_);
  if (given_ > 0) {
    slots_[(given_ - 1) % 2] = Slot::Free;  // the consumer is done with the chunk before
    changed_.notify_all();
  }
  if (failed_ || given_ == chunks_) return std::nullopt;
  const Slot& slot = slots_[given_ % 2];
  changed_.wait(hold, [&] { return slot != Slot::Free; });
  if (slot == Slot::Failed) {
    failed_ = true;
    return std::nullopt;
  }
  return buffer(given_++);
}

}  // namespace tidvale::fs::mft
