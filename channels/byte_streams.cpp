#include "channels/byte_streams.h"

#include <cstring>
#include <iostream>

namespace tidvale {

ByteStreamReader::~ByteStreamReader() = default;
ByteStreamWriter::~ByteStreamWriter() = default;

uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    std::cerr << kInvalidReadMessage << "\n";
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* buffer, size_t length) {
  if (length > size_ - position_) {
    std::cerr << kInvalidReadMessage << "\n";
    return;
  }
  if (length == 0) return;
  std::memcpy(buffer, bytes_ + position_, length);
  position_ += length;
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const size_t remainder = position_ % alignment;
  if (remainder == 0) return;
  const size_t padding = alignment - remainder;
  // Clamped so that the position never passes the end and RemainingBytes stays meaningful.
  position_ = padding > size_ - position_ ? size_ : position_ + padding;
}

void ByteBufferStreamWriter::WriteByte(uint8_t byte) {
  buffer_->push_back(byte);
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  if (length == 0) return;
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const size_t remainder = buffer_->size() % alignment;
  if (remainder == 0) return;
  buffer_->insert(buffer_->end(), alignment - remainder, uint8_t{0});
}

}  // namespace tidvale
