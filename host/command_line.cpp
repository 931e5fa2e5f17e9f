#include "host/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>

#include "win/unique_resource.h"

namespace tidvale::host {

std::string argumentToUtf8(const wchar_t* argument) {
  if (!argument) return {};
  const int length = static_cast<int>(::wcsnlen(argument, kMaxArgumentUnits));
  const int needed = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argument, length, nullptr,
                                           0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string converted(static_cast<size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argument, length,
                                            converted.data(), needed, nullptr, nullptr);
  if (written <= 0) return {};
  converted.resize(static_cast<size_t>(written));
  return converted;
}

std::vector<std::string> entrypointArguments(const wchar_t* commandLine) {
  std::vector<std::string> arguments;
  if (!commandLine) return arguments;
  int count = 0;
  const win::UniqueArgv argv(::CommandLineToArgvW(commandLine, &count));
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(argumentToUtf8(argv.get()[i]));
  return arguments;
}

}  // namespace tidvale::host
