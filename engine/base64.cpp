#include "engine/base64.h"

#include <array>

namespace tidvale::engine {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr int kInvalid = -1;

constexpr std::array<int, 256> makeDecodeTable() {
  std::array<int, 256> table{};
  for (int& entry : table) entry = kInvalid;
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  }
  return table;
}
constexpr std::array<int, 256> kDecode = makeDecodeTable();

}  // namespace

std::string encodeBase64(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t group = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += kAlphabet[group & 0x3F];
  }
  const size_t rest = size - i;
  if (rest == 1) {
    const uint32_t group = uint32_t{data[i]} << 16;
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kPad;
    out += kPad;
  } else if (rest == 2) {
    const uint32_t group = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8);
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += kPad;
  }
  return out;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    size_t padding = 0;
    if (last) {
      if (text[i + 3] == kPad) padding = text[i + 2] == kPad ? 2 : 1;
    }
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      int value = 0;
      if (k >= 4 - padding) {
        value = 0;  // The padding positions, checked above.
      } else {
        value = kDecode[static_cast<unsigned char>(c)];
        if (value == kInvalid) return std::nullopt;  // Also rejects '=' in the middle.
      }
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    out.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) out.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) out.push_back(static_cast<uint8_t>(group));
    // Canonical text leaves the bits after the last byte at zero.
    if (padding == 1 && (group & 0xFF) != 0) return std::nullopt;
    if (padding == 2 && (group & 0xFFFF) != 0) return std::nullopt;
  }
  return out;
}

}  // namespace tidvale::engine
