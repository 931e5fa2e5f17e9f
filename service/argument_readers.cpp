#include "service/argument_readers.h"

namespace tidvale {
namespace {

const EncodableValue* lookUp(const EncodableMap* args, std::string_view key) {
  if (args == nullptr) return nullptr;
  const auto found = args->find(EncodableValue(std::string(key)));
  return found == args->end() ? nullptr : &found->second;
}

}  // namespace

bool argBool(const EncodableMap* args, std::string_view key, bool fallback) {
  const auto* value = lookUp(args, key);
  const auto* flag = value ? std::get_if<bool>(value) : nullptr;
  return flag ? *flag : fallback;
}

int64_t argInt(const EncodableMap* args, std::string_view key, int64_t fallback) {
  const auto* value = lookUp(args, key);
  if (value == nullptr) return fallback;
  if (const auto* wide = std::get_if<int64_t>(value)) return *wide;
  if (const auto* narrow = std::get_if<int32_t>(value)) return *narrow;
  return fallback;
}

std::string argString(const EncodableMap* args, std::string_view key, std::string fallback) {
  const auto* value = lookUp(args, key);
  const auto* text = value ? std::get_if<std::string>(value) : nullptr;
  return text ? *text : std::move(fallback);
}

std::vector<std::string> argStringList(const EncodableMap* args, std::string_view key) {
  std::vector<std::string> strings;
  const auto* value = lookUp(args, key);
  const auto* list = value ? std::get_if<EncodableList>(value) : nullptr;
  if (list == nullptr) return strings;
  for (const EncodableValue& element : *list) {
    if (const auto* text = std::get_if<std::string>(&element)) strings.push_back(*text);
  }
  return strings;
}

}  // namespace tidvale
