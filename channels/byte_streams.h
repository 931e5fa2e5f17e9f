#pragma once
// Byte sources and sinks for the codec. Alignment is measured from the first byte of the
// message: on reading the current position, on writing the current length of the output.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tidvale {

// Written when a read does not fit in the rest of the message.
inline constexpr char kInvalidReadMessage[] = "Invalid read in StandardCodecByteStreamReader";

// A source of message bytes. Any thread, one at a time.
class ByteStreamReader {
 public:
  virtual ~ByteStreamReader();
  // The next byte; past the end, 0 without advancing (and a diagnostic line).
  virtual uint8_t ReadByte() = 0;
  // Fills `buffer` with the next `length` bytes. When they do not all remain, leaves `buffer`
  // untouched and does not advance (and writes a diagnostic line).
  virtual void ReadBytes(uint8_t* buffer, size_t length) = 0;
  // Skips unread bytes up to the next multiple of `alignment`, stopping at the end.
  virtual void ReadAlignment(uint8_t alignment) = 0;
  // How many bytes are left to read; lets the decoder size values by what can really be there.
  virtual size_t RemainingBytes() const = 0;
};

// A sink of message bytes. Any thread, one at a time.
class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter();
  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Writes zero bytes up to the next multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

// Reads a borrowed byte range, which must outlive the reader. Starts at position 0.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* buffer, size_t length) override;
  void ReadAlignment(uint8_t alignment) override;
  size_t RemainingBytes() const override { return size_ - position_; }

  size_t position() const { return position_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;  // never beyond size_
};

// Appends to a borrowed vector, which must outlive the writer. Alignment counts from the vector's
// first byte, so a writer over a non-empty vector continues that message.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace tidvale
