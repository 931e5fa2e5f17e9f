#pragma once
// UTF-8 scanning for the protocol's string writer. Pure, any thread.

#include <cstddef>
#include <string_view>

namespace tidvale::engine {

// Length of the well-formed UTF-8 sequence starting at text[pos] (1 to 4), or 0 when the bytes
// there are not one (overlong forms, surrogates and values above U+10FFFF included).
size_t utf8SequenceLength(std::string_view text, size_t pos);

}  // namespace tidvale::engine
