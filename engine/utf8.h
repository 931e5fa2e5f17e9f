#pragma once
// UTF-8 scanning shared by the JSON reader and writer. Pure, any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tidvale::engine {

// Length of the well-formed UTF-8 sequence starting at text[pos] (1 to 4), or 0 when the bytes
// there are not one (overlong forms, surrogates and values above U+10FFFF included).
size_t utf8SequenceLength(std::string_view text, size_t pos);

// Appends the UTF-8 form of a Unicode scalar value (not a surrogate, at most U+10FFFF).
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace tidvale::engine
