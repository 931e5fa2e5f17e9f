#pragma once
// Where a volume's bytes come from: a raw volume handle on Windows, a byte buffer in the tests and
// the fuzzer. The reader asks only for whole ranges it has bounded against the volume's size.

#include <cstdint>
#include <span>

namespace tidvale::fs::mft {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills `into` with the bytes at `offset`. False when any of them cannot be read; `into` is
  // then unspecified. One thread at a time.
  virtual bool read(uint64_t offset, std::span<uint8_t> into) = 0;
};

// A volume held in memory (tests, fuzzing). Reads past its end fail.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool read(uint64_t offset, std::span<uint8_t> into) override;

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace tidvale::fs::mft
