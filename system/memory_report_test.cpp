#include "system/memory_report.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "win/text.h"

namespace tidvale::system {
namespace {

// Larger than any other process of the prefix (Wine's services stay near 30 MiB), so this
// process must lead the list once the memory is touched.
constexpr std::size_t kLeadingWorkingSetBytes = 256u << 20;
constexpr std::size_t kPageBytes = 4096;

std::string ownExecutableName() {
  wchar_t path[MAX_PATH]{};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path);
  return win::toUtf8(full.substr(full.find_last_of(L'\\') + 1));
}

TEST(MemoryReport, ThisProcessLeadsTheListWhenItHasTheLargestWorkingSet) {
  std::vector<char> held(kLeadingWorkingSetBytes);
  for (std::size_t offset = 0; offset < held.size(); offset += kPageBytes) held[offset] = 1;

  const EncodableMap report = memoryReport();
  const auto& top = std::get<EncodableList>(report.at(EncodableValue("topProcesses")));
  ASSERT_GE(top.size(), 2u) << "the prefix's services run beside this process";
  const auto& first = std::get<EncodableMap>(top.front());
  EXPECT_EQ(first.at(EncodableValue("pid")),
            EncodableValue(static_cast<int32_t>(::GetCurrentProcessId())));
  EXPECT_EQ(first.at(EncodableValue("name")), EncodableValue(ownExecutableName()));
  EXPECT_GE(first.at(EncodableValue("mem")).LongValue(),
            static_cast<int64_t>(kLeadingWorkingSetBytes));
}

}  // namespace
}  // namespace tidvale::system
