#include "software/system_message.h"

namespace tidvale::software {
namespace {

constexpr DWORD kUsEnglish = 0x409;
constexpr DWORD kSystemDefaultLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT);
constexpr DWORD kAnyLanguage = 0;

std::string formatIn(DWORD code, DWORD language) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length != 0 && text ? std::string(text, length) : std::string();
  if (text) ::LocalFree(text);
  while (!result.empty() &&
         (result.back() == ' ' || result.back() == '\t' || result.back() == '\r' ||
          result.back() == '\n' || result.back() == '\0')) {
    result.pop_back();
  }
  return result;
}

}  // namespace

std::string systemMessageText(DWORD code) {
  for (const DWORD language : {kUsEnglish, kSystemDefaultLanguage, kAnyLanguage}) {
    std::string text = formatIn(code, language);
    if (!text.empty()) return text;
  }
  return kUnknownErrorText;
}

}  // namespace tidvale::software
