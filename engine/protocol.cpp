#include "engine/protocol.h"

#include <cstdint>
#include <limits>

#include "engine/base64.h"
#include "engine/json_quote.h"
#include "engine/json_reader.h"

namespace tidvale::engine {
namespace {

using nlohmann::json;

constexpr std::string_view kOpSend = "send";
constexpr std::string_view kOpQuit = "quit";

InputError missingOrWrong(std::string_view field, std::string_view expected) {
  return {"field \"" + std::string(field) + "\" must be " + std::string(expected)};
}

const std::string* stringMember(const json& object, std::string_view key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return nullptr;
  return &found->get_ref<const std::string&>();
}

// An integral literal in the signed 64-bit range: the library reads non-negative ones as
// unsigned, and those with a fraction, an exponent or too many digits as floating point.
bool int64Member(const json& object, std::string_view key, long long* out) {
  const auto found = object.find(key);
  if (found == object.end()) return false;
  if (found->is_number_unsigned()) {
    const auto value = found->get<uint64_t>();
    if (value > static_cast<uint64_t>(std::numeric_limits<long long>::max())) return false;
    *out = static_cast<long long>(value);
    return true;
  }
  if (!found->is_number_integer()) return false;
  *out = found->get<long long>();
  return true;
}

InputLine parseSend(const json& object) {
  SendCommand send;
  const std::string* channel = stringMember(object, "channel");
  if (!channel) return missingOrWrong("channel", "a string");
  // A name with a NUL could not be handed to handlers as a C string.
  if (channel->find('\0') != std::string::npos) {
    return missingOrWrong("channel", "a name without NUL");
  }
  send.channel = *channel;
  if (!int64Member(object, "id", &send.id)) return missingOrWrong("id", "a 64-bit integer");
  const std::string* data = stringMember(object, "data");
  if (!data) return missingOrWrong("data", "a base64 string");
  auto bytes = decodeBase64(*data);
  if (!bytes) return missingOrWrong("data", "valid base64");
  send.data = std::move(*bytes);
  return send;
}

}  // namespace

InputLine parseInputLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const JsonReadResult parsed = readJson(line);
  if (!parsed.ok()) return InputError{"invalid JSON: " + parsed.error};
  if (!parsed.value.is_object()) return InputError{"line is not an object"};
  const std::string* op = stringMember(parsed.value, "op");
  if (!op) return missingOrWrong("op", "a string");
  if (*op == kOpSend) return parseSend(parsed.value);
  if (*op == kOpQuit) return QuitCommand{};
  return InputError{"unknown op " + quoteJson(*op)};
}

std::string registrarLine(std::string_view name) {
  return R"({"op":"registrar","name":)" + quoteJson(name) + "}";
}

std::string readyLine() {
  return R"({"op":"ready"})";
}

std::string replyLine(long long id, const uint8_t* data, size_t size) {
  return R"({"op":"reply","id":)" + std::to_string(id) + R"(,"data":")" + encodeBase64(data, size) +
         "\"}";
}

std::string messageLine(std::string_view channel, const uint8_t* data, size_t size) {
  return R"({"op":"message","channel":)" + quoteJson(channel) + R"(,"data":")" +
         encodeBase64(data, size) + "\"}";
}

std::string errorLine(std::string_view message) {
  return R"({"op":"error","message":)" + quoteJson(message) + "}";
}

}  // namespace tidvale::engine
