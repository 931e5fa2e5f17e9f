#pragma once
// Test-only helpers: bytes written as hexadecimal text, and the lines a piece of code writes to
// standard error.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tidvale::test {

// "07 06 63" -> {0x07, 0x06, 0x63}; whitespace is ignored.
inline std::vector<uint8_t> hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  return bytes;
}

// {0x07, 0x06} -> "07 06", for readable failure messages.
inline std::string toHex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[4];
  for (uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += pair;
  }
  return text;
}

// Runs `action` and returns everything it wrote to standard error.
inline std::string stderrOf(const std::function<void()>& action) {
  testing::internal::CaptureStderr();
  action();
  return testing::internal::GetCapturedStderr();
}

// `line` followed by a line end, `times` times.
inline std::string repeatedLine(const std::string& line, size_t times = 1) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += line + "\n";
  return text;
}

}  // namespace tidvale::test
