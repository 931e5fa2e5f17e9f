#include "engine/utf8.h"

namespace tidvale::engine {
namespace {

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

size_t utf8SequenceLength(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  const auto at = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = at(0);
  const size_t available = text.size() - pos;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    return available >= 2 && isContinuation(at(1)) ? 2 : 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (available < 3 || !isContinuation(at(1)) || !isContinuation(at(2))) return 0;
    if (lead == 0xE0 && at(1) < 0xA0) return 0;   // overlong
    if (lead == 0xED && at(1) >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (available < 4 || !isContinuation(at(1)) || !isContinuation(at(2)) ||
        !isContinuation(at(3))) {
      return 0;
    }
    if (lead == 0xF0 && at(1) < 0x90) return 0;   // overlong
    if (lead == 0xF4 && at(1) >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace tidvale::engine
