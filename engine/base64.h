#pragma once
// Standard base64 (RFC 4648 alphabet, '=' padding) for the engine's line protocol.
// Pure functions, any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidvale::engine {

std::string encodeBase64(const uint8_t* data, size_t size);

// Accepts only canonical text: length a multiple of four, padding only at the end, no
// whitespace, and zero bits after the last encoded byte. Anything else gives nullopt.
std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text);

}  // namespace tidvale::engine
