#pragma once
// Reads a "scanJunk" reply and its progress events back into plain records for assertions.
// Every shape fault (a missing key, a wrong type, an extra key) is reported as a test failure.

#include <cstdint>
#include <string>
#include <vector>

#include "channels/encodable_value.h"

namespace tidvale::testing {

struct JunkItem {
  std::string path;
  std::string name;
  int64_t size = 0;
  bool isDir = false;
  int64_t modified = 0;
  std::string ext;
};

struct JunkCategoryReply {
  std::string id;
  int64_t size = 0;
  std::vector<JunkItem> items;

  const JunkItem* find(const std::string& path) const;
};

struct JunkReply {
  std::vector<JunkCategoryReply> categories;
  int64_t total = 0;
  int64_t count = 0;
  bool cancelled = false;

  std::vector<std::string> ids() const;
  const JunkCategoryReply* category(const std::string& id) const;
  // Ids of the categories holding an item with this path.
  std::vector<std::string> categoriesOf(const std::string& path) const;
};

struct ProgressEvent {
  std::string task;
  std::string path;
  int64_t count = 0;
  int64_t bytes = 0;
};

JunkReply readJunkReply(const EncodableMap& reply);
std::vector<ProgressEvent> readProgressEvents(const std::vector<EncodableValue>& events);

// Checks what holds for every reply: ten ids at most in catalogue order, items largest first,
// category sizes the sums of their items, total and count the sums over categories.
void expectConsistent(const JunkReply& reply);

}  // namespace tidvale::testing
