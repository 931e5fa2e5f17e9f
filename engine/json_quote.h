#pragma once
// The string writer of the protocol's output lines. It stays ours rather than the library's
// dump() because the output must not change by a byte: dump() writes "\b" and "\f" as short
// escapes, DEL unescaped, and one U+FFFD per invalid sequence instead of one per invalid byte.
// Pure, any thread.

#include <string>
#include <string_view>

namespace tidvale::engine {

// `text` as a quoted JSON string. Bytes that are not valid UTF-8 become U+FFFD, one per byte, so
// the result is always valid UTF-8 and JSON. Control characters and DEL are escaped ("\n", "\r",
// "\t" by name, the others as "\u00XX").
std::string quoteJson(std::string_view text);

}  // namespace tidvale::engine
