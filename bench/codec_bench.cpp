// Encode and decode speed of the standard method codec on a scan-sized reply (a success envelope
// holding 10,000 item maps), reported as MB/s and as a ratio to a memcpy of the same bytes timed
// in the same run.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/best_seconds.h"
#include "channels/standard_method_codec.h"

namespace {

using tidvale::EncodableList;
using tidvale::EncodableMap;
using tidvale::EncodableValue;
using tidvale::StandardMethodCodec;
using tidvale::bench::bestSeconds;

constexpr int kItems = 10000;
constexpr double kBytesPerMegabyte = 1e6;

// Like a junk or large-file scan item: a path of realistic length and its parts.
EncodableValue makeReply() {
  EncodableList items;
  items.reserve(kItems);
  for (int i = 0; i < kItems; ++i) {
    const std::string name = "cache_entry_" + std::to_string(i) + ".tmp";
    const std::string path = "C:\\Users\\someone\\AppData\\Local\\Vendor\\Product\\Cache\\f" +
                             std::to_string(i % 97) + "\\" + name;
    EncodableMap item;
    item[EncodableValue("path")] = EncodableValue(path);
    item[EncodableValue("name")] = EncodableValue(name);
    item[EncodableValue("size")] = EncodableValue(int64_t{4096} * (i % 1000 + 1));
    item[EncodableValue("isDir")] = EncodableValue(i % 10 == 0);
    item[EncodableValue("modified")] = EncodableValue(int64_t{1700000000} + i);
    item[EncodableValue("ext")] = EncodableValue(".tmp");
    items.push_back(EncodableValue(std::move(item)));
  }
  EncodableMap reply;
  reply[EncodableValue("items")] = EncodableValue(std::move(items));
  reply[EncodableValue("cancelled")] = EncodableValue(false);
  return EncodableValue(std::move(reply));
}

void report(const char* what, size_t bytes, double seconds, double copySeconds) {
  std::printf("%-7s %10.1f MB/s   %6.3fx copy\n", what, bytes / seconds / kBytesPerMegabyte,
              copySeconds / seconds);
}

}  // namespace

int main() {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const EncodableValue reply = makeReply();
  const std::vector<uint8_t> encoded = *codec.EncodeSuccessEnvelope(&reply);

  std::vector<uint8_t> copy(encoded.size());
  volatile uint8_t sink = 0;
  const double copySeconds = bestSeconds([&] {
    std::memcpy(copy.data(), encoded.data(), encoded.size());
    sink = sink + copy[copy.size() / 2];
  });

  const double encodeSeconds = bestSeconds([&] {
    const auto bytes = codec.EncodeSuccessEnvelope(&reply);
    sink = sink + (*bytes)[bytes->size() / 2];
  });

  bool decodedWhole = true;
  tidvale::MethodResultFunctions result(
      [&](const EncodableValue* value) { decodedWhole = decodedWhole && value && *value == reply; },
      nullptr, nullptr);
  // Checked once outside the timing: the decoded reply equals the original.
  codec.DecodeAndProcessResponseEnvelope(encoded.data(), encoded.size(), &result);
  if (!decodedWhole) {
    std::fprintf(stderr, "codec_bench: decoded reply differs from the original\n");
    return 1;
  }
  size_t decodedItems = 0;
  tidvale::MethodResultFunctions counting(
      [&](const EncodableValue* value) { decodedItems += value != nullptr; }, nullptr, nullptr);
  const double decodeSeconds = bestSeconds(
      [&] { codec.DecodeAndProcessResponseEnvelope(encoded.data(), encoded.size(), &counting); });

  std::printf("reply: %d items, %zu bytes\n", kItems, encoded.size());
  report("copy", encoded.size(), copySeconds, copySeconds);
  report("encode", encoded.size(), encodeSeconds, copySeconds);
  report("decode", encoded.size(), decodeSeconds, copySeconds);
  return decodedItems > 0 ? 0 : 1;
}
