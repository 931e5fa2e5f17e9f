#include "engine/json_quote.h"

#include <span>

#include "core/lower_hex.h"
#include "engine/utf8.h"

namespace tidvale::engine {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstNonAscii = 0x80;

}  // namespace

std::string quoteJson(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  size_t pos = 0;
  while (pos < text.size()) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < kFirstPrintable || c == kDelete) {
      out += "\\u00";
      appendLowerHex(out, std::span(&c, 1));
    } else if (c < kFirstNonAscii) {
      out += static_cast<char>(c);
    } else {
      const size_t length = utf8SequenceLength(text, pos);
      if (length == 0) {
        out += kReplacementCharacter;
        ++pos;
        continue;
      }
      out.append(text.substr(pos, length));
      pos += length;
      continue;
    }
    ++pos;
  }
  out += '"';
  return out;
}

}  // namespace tidvale::engine
