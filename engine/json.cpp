#include "engine/json.h"

#include <charconv>
#include <cstdint>
#include <set>

#include "engine/utf8.h"

namespace tidvale::engine {
namespace {

constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kLowSurrogateFirst = 0xDC00;
constexpr uint32_t kLowSurrogateEnd = 0xE000;
constexpr uint32_t kSupplementaryFirst = 0x10000;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

class Parser {
 public:
  explicit Parser(std::string_view input) : input_(input) {}

  JsonParseResult run() {
    JsonParseResult result;
    skipWhitespace();
    if (!parseValue(result.value, 0)) {
      result.error = error_;
      return result;
    }
    skipWhitespace();
    if (pos_ != input_.size()) {
      result.error = failText("unexpected bytes after the value");
      return result;
    }
    result.ok = true;
    return result;
  }

 private:
  std::string failText(std::string_view what) const {
    return std::string(what) + " at offset " + std::to_string(pos_);
  }
  bool fail(std::string_view what) {
    if (error_.empty()) error_ = failText(what);
    return false;
  }
  bool atEnd() const { return pos_ >= input_.size(); }
  char peek() const { return input_[pos_]; }

  void skipWhitespace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
      ++pos_;
    }
  }

  bool expectWord(std::string_view word) {
    if (input_.substr(pos_, word.size()) != word) return fail("invalid literal");
    pos_ += word.size();
    return true;
  }

  bool parseValue(JsonValue& out, size_t depth) {
    if (atEnd()) return fail("unexpected end of input");
    switch (peek()) {
      case '{':
        return parseObject(out, depth + 1);
      case '[':
        return parseArray(out, depth + 1);
      case '"':
        out.kind = JsonValue::Kind::kString;
        return parseString(out.text);
      case 't':
        out.kind = JsonValue::Kind::kBool;
        out.boolean = true;
        return expectWord("true");
      case 'f':
        out.kind = JsonValue::Kind::kBool;
        out.boolean = false;
        return expectWord("false");
      case 'n':
        out.kind = JsonValue::Kind::kNull;
        return expectWord("null");
      default:
        out.kind = JsonValue::Kind::kNumber;
        return parseNumber(out.text);
    }
  }

  bool parseObject(JsonValue& out, size_t depth) {
    if (depth > kMaxJsonDepth) return fail("nesting too deep");
    out.kind = JsonValue::Kind::kObject;
    ++pos_;  // '{'
    skipWhitespace();
    if (!atEnd() && peek() == '}') {
      ++pos_;
      return true;
    }
    std::set<std::string, std::less<>> keys;
    while (true) {
      skipWhitespace();
      if (atEnd() || peek() != '"') return fail("expected a member name");
      std::string key;
      const size_t keyOffset = pos_;
      if (!parseString(key)) return false;
      if (!keys.insert(key).second) {
        pos_ = keyOffset;
        return fail("duplicate member name");
      }
      skipWhitespace();
      if (atEnd() || peek() != ':') return fail("expected ':'");
      ++pos_;
      skipWhitespace();
      JsonValue value;
      if (!parseValue(value, depth)) return false;
      out.members.push_back({std::move(key), std::move(value)});
      skipWhitespace();
      if (atEnd()) return fail("unexpected end of input");
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      if (peek() == '}') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or '}'");
    }
  }

  bool parseArray(JsonValue& out, size_t depth) {
    if (depth > kMaxJsonDepth) return fail("nesting too deep");
    out.kind = JsonValue::Kind::kArray;
    ++pos_;  // '['
    skipWhitespace();
    if (!atEnd() && peek() == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      skipWhitespace();
      JsonValue item;
      if (!parseValue(item, depth)) return false;
      out.items.push_back(std::move(item));
      skipWhitespace();
      if (atEnd()) return fail("unexpected end of input");
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      if (peek() == ']') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or ']'");
    }
  }

  bool parseHex4(uint32_t& out) {
    if (input_.size() - pos_ < 4) return fail("truncated \\u escape");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = input_[pos_ + i];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return fail("invalid \\u escape");
      }
      out = (out << 4) | digit;
    }
    pos_ += 4;
    return true;
  }

  bool parseUnicodeEscape(std::string& out) {
    uint32_t unit = 0;
    if (!parseHex4(unit)) return false;
    if (unit >= kLowSurrogateFirst && unit < kLowSurrogateEnd) return fail("unpaired surrogate");
    if (unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst) {
      if (input_.substr(pos_, 2) != "\\u") return fail("unpaired surrogate");
      pos_ += 2;
      uint32_t low = 0;
      if (!parseHex4(low)) return false;
      if (low < kLowSurrogateFirst || low >= kLowSurrogateEnd) return fail("unpaired surrogate");
      unit =
          kSupplementaryFirst + ((unit - kHighSurrogateFirst) << 10) + (low - kLowSurrogateFirst);
    }
    appendUtf8(out, unit);
    return true;
  }

  bool parseString(std::string& out) {
    ++pos_;  // opening quote
    while (true) {
      if (atEnd()) return fail("unterminated string");
      const char c = peek();
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character in string");
      if (c == '\\') {
        ++pos_;
        if (atEnd()) return fail("unterminated string");
        const char escape = peek();
        ++pos_;
        switch (escape) {
          case '"':
            out += '"';
            break;
          case '\\':
            out += '\\';
            break;
          case '/':
            out += '/';
            break;
          case 'b':
            out += '\b';
            break;
          case 'f':
            out += '\f';
            break;
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case 'u':
            if (!parseUnicodeEscape(out)) return false;
            break;
          default:
            --pos_;
            return fail("invalid escape");
        }
        continue;
      }
      const size_t length = utf8SequenceLength(input_, pos_);
      if (length == 0) return fail("invalid UTF-8");
      out.append(input_.substr(pos_, length));
      pos_ += length;
    }
  }

  bool parseNumber(std::string& out) {
    const size_t start = pos_;
    const auto digits = [&] {
      const size_t from = pos_;
      while (!atEnd() && peek() >= '0' && peek() <= '9') ++pos_;
      return pos_ - from;
    };
    if (!atEnd() && peek() == '-') ++pos_;
    if (atEnd()) return fail("invalid number");
    if (peek() == '0') {
      ++pos_;
    } else if (digits() == 0) {
      return fail("unexpected character");
    }
    if (!atEnd() && peek() == '.') {
      ++pos_;
      if (digits() == 0) return fail("invalid number");
    }
    if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
      ++pos_;
      if (!atEnd() && (peek() == '+' || peek() == '-')) ++pos_;
      if (digits() == 0) return fail("invalid number");
    }
    out.assign(input_.substr(start, pos_ - start));
    return true;
  }

  std::string_view input_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::find(std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

JsonParseResult parseJson(std::string_view input) {
  return Parser(input).run();
}

std::string quoteJson(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
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
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c < 0x80) {
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

bool jsonInteger(const JsonValue& value, long long* out) {
  if (value.kind != JsonValue::Kind::kNumber) return false;
  const std::string& text = value.text;
  if (text.find_first_of(".eE") != std::string::npos) return false;
  long long parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  *out = parsed;
  return true;
}

}  // namespace tidvale::engine
