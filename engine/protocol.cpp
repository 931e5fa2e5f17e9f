#include "engine/protocol.h"

#include "engine/base64.h"
#include "engine/json.h"

namespace tidvale::engine {
namespace {

constexpr std::string_view kOpSend = "send";
constexpr std::string_view kOpQuit = "quit";

InputError missingOrWrong(std::string_view field, std::string_view expected) {
  return {"field \"" + std::string(field) + "\" must be " + std::string(expected)};
}

const JsonValue* stringMember(const JsonValue& object, std::string_view key) {
  const JsonValue* value = object.find(key);
  return value && value->kind == JsonValue::Kind::kString ? value : nullptr;
}

InputLine parseSend(const JsonValue& object) {
  SendCommand send;
  const JsonValue* channel = stringMember(object, "channel");
  if (!channel) return missingOrWrong("channel", "a string");
  // A name with a NUL could not be handed to handlers as a C string.
  if (channel->text.find('\0') != std::string::npos) {
    return missingOrWrong("channel", "a name without NUL");
  }
  send.channel = channel->text;
  const JsonValue* id = object.find("id");
  if (!id || !jsonInteger(*id, &send.id)) return missingOrWrong("id", "a 64-bit integer");
  const JsonValue* data = stringMember(object, "data");
  if (!data) return missingOrWrong("data", "a base64 string");
  auto bytes = decodeBase64(data->text);
  if (!bytes) return missingOrWrong("data", "valid base64");
  send.data = std::move(*bytes);
  return send;
}

}  // namespace

InputLine parseInputLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  JsonParseResult parsed = parseJson(line);
  if (!parsed.ok) return InputError{"invalid JSON: " + parsed.error};
  if (parsed.value.kind != JsonValue::Kind::kObject) return InputError{"line is not an object"};
  const JsonValue* op = stringMember(parsed.value, "op");
  if (!op) return missingOrWrong("op", "a string");
  if (op->text == kOpSend) return parseSend(parsed.value);
  if (op->text == kOpQuit) return QuitCommand{};
  return InputError{"unknown op " + quoteJson(op->text)};
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
