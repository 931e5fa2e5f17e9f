#pragma once
// Bytes as lower-case hexadecimal text, two digits per byte (digests, identifiers).

#include <cstdint>
#include <span>
#include <string>

namespace tidvale {

inline void appendLowerHex(std::string& text, std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  text.reserve(text.size() + 2 * bytes.size());
  for (const std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0f]);
  }
}

inline std::string lowerHex(std::span<const std::uint8_t> bytes) {
  std::string text;
  appendLowerHex(text, bytes);
  return text;
}

}  // namespace tidvale
