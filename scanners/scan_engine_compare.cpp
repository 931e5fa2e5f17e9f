// Runs "sizeOf", "analyzeDisk", "scanLargeFiles" and "scanDuplicates" on each root given, once
// walking and once from the master file table, and compares the encoded replies byte for byte.
// Both replies of each call are written as text into OUT_FOLDER (NAME.walk.txt, NAME.mft.txt),
// with every entry the table lists below the first root (mft-listing.txt: path, kind, size).
// A root followed by --no-duplicates skips the duplicate scans there (they hash every file of a
// shared length twice). Exits 1 when a reply differs or the table engine was not used, 2 on bad
// arguments.
//   scan_engine_compare OUT_FOLDER ROOT [--no-duplicates] [ROOT [--no-duplicates]]...
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "channels/byte_streams.h"
#include "channels/standard_codec_serializer.h"
#include "fs/walker.h"
#include "scanners/scan_engine.h"
#include "scanners/size_of.h"
#include "scanners/storage_scans.h"
#include "win/text.h"

namespace tidvale {
namespace {

void describe(const EncodableValue& value, std::string& out, int indent) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    out += "{\n";
    for (const auto& [key, item] : *map) {
      out += pad + "  ";
      describe(key, out, indent + 2);
      out += ": ";
      describe(item, out, indent + 2);
      out += "\n";
    }
    out += pad + "}";
  } else if (const auto* list = std::get_if<EncodableList>(&value)) {
    out += "[\n";
    for (const EncodableValue& item : *list) {
      out += pad + "  ";
      describe(item, out, indent + 2);
      out += "\n";
    }
    out += pad + "]";
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    out += "\"" + *text + "\"";
  } else if (const auto* number = std::get_if<int64_t>(&value)) {
    out += std::to_string(*number);
  } else if (const auto* small = std::get_if<int32_t>(&value)) {
    out += std::to_string(*small) + "i";
  } else if (const auto* flag = std::get_if<bool>(&value)) {
    out += *flag ? "true" : "false";
  } else {
    out += "?";
  }
}

std::vector<uint8_t> encoded(const EncodableMap& reply) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(EncodableValue(reply), &writer);
  return bytes;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void setEngine(const wchar_t* engine) {
  ::SetEnvironmentVariableW(kScanEngineVariable, engine);
}

struct Call {
  std::string name;
  std::function<EncodableMap(ServiceState&)> run;
};

int compareRoot(const std::string& out, const std::wstring& root, int rootNumber, bool duplicates) {
  ServiceState state;
  const std::string rootText = win::toUtf8(root);
  setEngine(L"mft");
  if (scanFileSystemFor(state, root).engine() != ScanEngine::Mft) {
    std::fprintf(stderr, "%s: the table engine was not used\n", rootText.c_str());
    return 1;
  }
  const std::vector<Call> calls{
      {"sizeOf", [&](ServiceState& s) { return sizeOf(s, root); }},
      {"analyzeDisk-3", [&](ServiceState& s) { return analyzeDisk(s, rootText, 3); }},
      {"analyzeDisk-12", [&](ServiceState& s) { return analyzeDisk(s, rootText, 12); }},
      {"scanLargeFiles-0", [&](ServiceState& s) { return scanLargeFiles(s, rootText, 0); }},
      {"scanLargeFiles-1M", [&](ServiceState& s) { return scanLargeFiles(s, rootText, 1 << 20); }},
      {"scanDuplicates-0", [&](ServiceState& s) { return scanDuplicates(s, rootText, 0, 2); }},
      {"scanDuplicates-1", [&](ServiceState& s) { return scanDuplicates(s, rootText, 1, 2); }},
  };
  int failures = 0;
  for (const Call& call : calls) {
    if (!duplicates && call.name.starts_with("scanDuplicates")) continue;
    setEngine(L"walk");
    const EncodableMap walked = call.run(state);
    setEngine(L"mft");
    const EncodableMap read = call.run(state);
    const std::string name = "root" + std::to_string(rootNumber) + "-" + call.name;
    std::string walkedText, readText;
    describe(EncodableValue(walked), walkedText, 0);
    describe(EncodableValue(read), readText, 0);
    writeText(out + "\\" + name + ".walk.txt", walkedText + "\n");
    writeText(out + "\\" + name + ".mft.txt", readText + "\n");
    const bool same = encoded(walked) == encoded(read);
    std::printf("%s %s: %s\n", rootText.c_str(), call.name.c_str(), same ? "same" : "DIFFERENT");
    failures += same ? 0 : 1;
  }
  return failures;
}

// Every entry below `root` as the table lists it, for the independent oracle.
void writeListing(const std::string& out, const std::wstring& root) {
  ServiceState state;
  setEngine(L"mft");
  const ScanFileSystem files = scanFileSystemFor(state, root);
  std::string text;
  fs::walkTree(files.get(), root, state.cancelFlag, [&](const fs::WalkEntry& item) {
    const char* kind = item.kind == fs::EntryKind::Folder ? "d" : fs::isLink(item.kind) ? "l" : "f";
    text += win::toUtf8(item.path) + "\t" + kind + "\t" + std::to_string(item.entry.size) + "\n";
    return true;
  });
  writeText(out + "\\mft-listing.txt", text);
}

}  // namespace
}  // namespace tidvale

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: scan_engine_compare OUT_FOLDER ROOT...\n");
    return 2;
  }
  const std::string out = tidvale::win::toUtf8(argv[1]);
  int failures = 0;
  int rootNumber = 0;
  for (int i = 2; i < argc; ++i) {
    const bool duplicates = i + 1 >= argc || std::wstring_view(argv[i + 1]) != L"--no-duplicates";
    failures += tidvale::compareRoot(out, argv[i], ++rootNumber, duplicates);
    if (!duplicates) ++i;
  }
  tidvale::writeListing(out, argv[2]);
  return failures == 0 ? 0 : 1;
}
