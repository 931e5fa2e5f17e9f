// libFuzzer target: any bytes as an input line, and the reader's answer must be consistent.
// A command must survive being written back out: its channel and data re-encode to a line that
// parses to the same command. Whatever JSON is accepted nests no deeper than the bound.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/base64.h"
#include "engine/json_quote.h"
#include "engine/json_reader.h"
#include "engine/line_splitter.h"
#include "engine/protocol.h"

namespace {

using tidvale::engine::kMaxJsonDepth;

// Depth of the deepest container in `value` (a scalar is 0).
size_t depthOf(const nlohmann::json& value) {
  size_t deepest = 0;
  if (value.is_structured()) {
    for (const auto& child : value) deepest = std::max(deepest, depthOf(child));
    ++deepest;
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const tidvale::engine::InputLine parsed = tidvale::engine::parseInputLine(input);
  if (const auto* send = std::get_if<tidvale::engine::SendCommand>(&parsed)) {
    const std::string again =
        R"({"op":"send","channel":)" + tidvale::engine::quoteJson(send->channel) + R"(,"id":)" +
        std::to_string(send->id) + R"(,"data":")" +
        tidvale::engine::encodeBase64(send->data.data(), send->data.size()) + "\"}";
    const auto reparsed = tidvale::engine::parseInputLine(again);
    const auto* same = std::get_if<tidvale::engine::SendCommand>(&reparsed);
    if (!same || same->channel != send->channel || same->id != send->id ||
        same->data != send->data) {
      std::abort();
    }
  }
  const auto read = tidvale::engine::readJson(input);
  if (read.ok() && depthOf(read.value) > kMaxJsonDepth) std::abort();
  if (!read.ok() && read.error.size() > tidvale::engine::kMaxJsonErrorBytes) std::abort();
  // Quoting must always give JSON that reads back.
  if (!tidvale::engine::readJson(tidvale::engine::quoteJson(input)).ok()) std::abort();
  // Splitting never loses or invents bytes below the limit.
  size_t total = 0;
  size_t lines = 0;
  tidvale::engine::LineSplitter splitter(
      size, [&](std::string_view line) { total += line.size(), ++lines; }, [] { std::abort(); });
  splitter.feed(input);
  splitter.finish();
  size_t newlines = 0;
  for (const char c : input) newlines += c == '\n';
  if (total + newlines != size) std::abort();
  return 0;
}
