#pragma once
// The small JSON reader and string writer behind the engine's line protocol. The reader takes
// any bytes and either gives a value or says why not; it never throws on input and bounds its
// recursion. Pure functions, any thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tidvale::engine {

struct JsonMember;

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  Kind kind = Kind::kNull;
  bool boolean = false;
  // A string's UTF-8 contents, or a number's literal text exactly as written.
  std::string text;
  std::vector<JsonValue> items;
  // Object members in input order; keys are unique.
  std::vector<JsonMember> members;

  // The member named `key` of an object, or null.
  const JsonValue* find(std::string_view key) const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

struct JsonParseResult {
  bool ok = false;
  JsonValue value;
  std::string error;  // Set when !ok: what is wrong and the byte offset.
};

// Nesting deeper than this is refused rather than risking the stack.
inline constexpr size_t kMaxJsonDepth = 64;

// Parses exactly one JSON value, with optional whitespace around it. Rejects invalid UTF-8,
// unpaired surrogate escapes, duplicate object keys and trailing bytes.
JsonParseResult parseJson(std::string_view input);

// `text` as a quoted JSON string. Bytes that are not valid UTF-8 become U+FFFD, so the result is
// always valid UTF-8 and JSON.
std::string quoteJson(std::string_view text);

// Reads a number's literal as a signed 64-bit integer: no fraction, no exponent, in range.
bool jsonInteger(const JsonValue& value, long long* out);

}  // namespace tidvale::engine
