#include "scanners/junk_reply_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tidvale::testing {
namespace {

const char* const kCatalogueOrder[] = {"temp",       "userCache", "userLogs", "systemCache",
                                       "trash",      "developer", "browsers", "crashReports",
                                       "thumbnails", "windowsOld"};

template <typename T>
T field(const EncodableMap& map, const char* key) {
  const auto found = map.find(EncodableValue(key));
  if (found == map.end()) {
    ADD_FAILURE() << "missing key " << key;
    return T{};
  }
  const T* value = std::get_if<T>(&found->second);
  if (!value) {
    ADD_FAILURE() << "key " << key << " has another type";
    return T{};
  }
  return *value;
}

void expectKeys(const EncodableMap& map, size_t count, const char* what) {
  EXPECT_EQ(map.size(), count) << what << " has unexpected keys";
}

JunkItem readItem(const EncodableMap& map) {
  expectKeys(map, 6, "item");
  return JunkItem{field<std::string>(map, "path"), field<std::string>(map, "name"),
                  field<int64_t>(map, "size"),     field<bool>(map, "isDir"),
                  field<int64_t>(map, "modified"), field<std::string>(map, "ext")};
}

}  // namespace

const JunkItem* JunkCategoryReply::find(const std::string& path) const {
  for (const JunkItem& item : items) {
    if (item.path == path) return &item;
  }
  return nullptr;
}

std::vector<std::string> JunkReply::ids() const {
  std::vector<std::string> result;
  for (const auto& category : categories) result.push_back(category.id);
  return result;
}

const JunkCategoryReply* JunkReply::category(const std::string& id) const {
  for (const auto& category : categories) {
    if (category.id == id) return &category;
  }
  return nullptr;
}

std::vector<std::string> JunkReply::categoriesOf(const std::string& path) const {
  std::vector<std::string> result;
  for (const auto& category : categories) {
    if (category.find(path)) result.push_back(category.id);
  }
  return result;
}

JunkReply readJunkReply(const EncodableMap& reply) {
  expectKeys(reply, 4, "reply");
  JunkReply result;
  result.total = field<int64_t>(reply, "total");
  result.count = field<int64_t>(reply, "count");
  result.cancelled = field<bool>(reply, "cancelled");
  for (const EncodableValue& value : field<EncodableList>(reply, "categories")) {
    const auto* map = std::get_if<EncodableMap>(&value);
    if (!map) {
      ADD_FAILURE() << "a category is not a map";
      continue;
    }
    expectKeys(*map, 3, "category");
    JunkCategoryReply category{field<std::string>(*map, "id"), field<int64_t>(*map, "size"), {}};
    for (const EncodableValue& item : field<EncodableList>(*map, "items")) {
      const auto* itemMap = std::get_if<EncodableMap>(&item);
      if (itemMap) {
        category.items.push_back(readItem(*itemMap));
      } else {
        ADD_FAILURE() << "an item is not a map";
      }
    }
    result.categories.push_back(std::move(category));
  }
  return result;
}

std::vector<ProgressEvent> readProgressEvents(const std::vector<EncodableValue>& events) {
  std::vector<ProgressEvent> result;
  for (const EncodableValue& value : events) {
    const auto* map = std::get_if<EncodableMap>(&value);
    if (!map) {
      ADD_FAILURE() << "an event is not a map";
      continue;
    }
    expectKeys(*map, 4, "event");
    result.push_back({field<std::string>(*map, "task"), field<std::string>(*map, "path"),
                      field<int64_t>(*map, "count"), field<int64_t>(*map, "bytes")});
  }
  return result;
}

void expectConsistent(const JunkReply& reply) {
  const std::vector<std::string> ids = reply.ids();
  ASSERT_LE(ids.size(), std::size(kCatalogueOrder));
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], kCatalogueOrder[i]);

  int64_t total = 0;
  int64_t count = 0;
  for (const auto& category : reply.categories) {
    int64_t sum = 0;
    for (const JunkItem& item : category.items) {
      EXPECT_GT(item.size, 0) << item.path;
      EXPECT_EQ(item.ext, "") << item.path;
      sum += item.size;
    }
    EXPECT_TRUE(
        std::is_sorted(category.items.begin(), category.items.end(),
                       [](const JunkItem& a, const JunkItem& b) { return a.size > b.size; }))
        << category.id << " items are not largest first";
    EXPECT_EQ(category.size, sum) << category.id;
    total += sum;
    count += static_cast<int64_t>(category.items.size());
  }
  EXPECT_EQ(reply.total, total);
  EXPECT_EQ(reply.count, count);
}

}  // namespace tidvale::testing
