#pragma once
// Reads one line of the protocol as JSON with nlohmann/json's event (SAX) parser, and refuses
// what the library alone would let through: nesting deeper than kMaxJsonDepth, duplicate member
// names, a leading byte order mark and NUL bytes (the library takes a NUL for the end of input).
// Never throws on input. Pure, any thread.

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tidvale::engine {

// Nesting deeper than this is refused as soon as it is seen: a line of a million "[" stops at
// the 65th, without building anything.
inline constexpr size_t kMaxJsonDepth = 64;

// A refusal's text is cut to this many bytes: the library quotes the token it stopped in, which
// may be a whole unterminated string as long as the line.
inline constexpr size_t kMaxJsonErrorBytes = 200;

struct JsonReadResult {
  nlohmann::json value;  // null unless ok()
  std::string error;     // why the text was refused, with its position; empty when ok()

  bool ok() const { return error.empty(); }
};

// Parses exactly one JSON value with optional whitespace around it (strict RFC 8259: no
// comments, no trailing bytes, valid UTF-8, paired surrogate escapes).
JsonReadResult readJson(std::string_view text);

}  // namespace tidvale::engine
