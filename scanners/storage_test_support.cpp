#include "scanners/storage_test_support.h"

#include <gtest/gtest.h>

namespace tidvale::testing {
namespace {

template <typename T>
const T* valueAt(const EncodableMap& map, const char* key) {
  const auto found = map.find(EncodableValue(key));
  if (found == map.end()) {
    ADD_FAILURE() << "missing key " << key;
    return nullptr;
  }
  const T* value = std::get_if<T>(&found->second);
  if (!value) ADD_FAILURE() << "key " << key << " holds another type";
  return value;
}

}  // namespace

int64_t int64At(const EncodableMap& map, const char* key) {
  const int64_t* value = valueAt<int64_t>(map, key);
  return value ? *value : -1;
}

bool boolAt(const EncodableMap& map, const char* key) {
  const bool* value = valueAt<bool>(map, key);
  return value ? *value : false;
}

std::string stringAt(const EncodableMap& map, const char* key) {
  const std::string* value = valueAt<std::string>(map, key);
  return value ? *value : std::string("<missing>");
}

const EncodableList& listAt(const EncodableMap& map, const char* key) {
  static const EncodableList empty;
  const EncodableList* value = valueAt<EncodableList>(map, key);
  return value ? *value : empty;
}

const EncodableMap& mapOf(const EncodableValue& value) {
  static const EncodableMap empty;
  const EncodableMap* map = std::get_if<EncodableMap>(&value);
  if (!map) ADD_FAILURE() << "not a map";
  return map ? *map : empty;
}

std::string asciiUtf8(std::wstring_view text) {
  std::string out;
  for (wchar_t unit : text) {
    EXPECT_LT(static_cast<uint32_t>(unit), 0x80u);
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

}  // namespace tidvale::testing
