#pragma once
// Reads consecutive chunks of a stream one ahead of their consumer, on a thread of its own, so
// that copying chunk k + 1 out of the volume overlaps the parse of chunk k. Two buffers take
// turns; a chunk stays valid until the next one is asked for.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace tidvale::fs::mft {

class ReadAhead {
 public:
  // Fills `into` with the stream's bytes at `offset`; false when they cannot be read. Called on
  // the reading thread only, one call at a time.
  using Read = std::function<bool(uint64_t offset, std::span<uint8_t> into)>;

  // Chunks of `chunkBytes` (the last one shorter) covering `totalBytes`; each chunk's buffer is
  // aligned to `alignment` bytes (a power of two).
  ReadAhead(Read read, uint64_t totalBytes, size_t chunkBytes, size_t alignment);
  // Stops the reading thread (after the read under way, if any) and waits for it.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next chunk in order, or nothing once every chunk was given or a read failed (failed()
  // then tells which).
  std::optional<std::span<uint8_t>> next();
  bool failed() const { return failed_; }

 private:
  enum class Slot : uint8_t { Free, Full, Failed };
  size_t chunkSize(uint64_t chunk) const;
  std::span<uint8_t> buffer(uint64_t chunk);
  void readAll();

  Read read_;
  uint64_t totalBytes_;
  size_t chunkBytes_;
  uint64_t chunks_;
  std::vector<uint8_t> memory_;
  uint8_t* aligned_;
  uint64_t given_ = 0;  // chunks handed to the consumer so far
  bool failed_ = false;

  std::mutex lock_;
  std::condition_variable changed_;
  Slot slots_[2] = {Slot::Free, Slot::Free};
  bool stop_ = false;
  std::thread reader_;  // last: started once everything above is set
};

}  // namespace tidvale::fs::mft
