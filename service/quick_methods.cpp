#include "service/quick_methods.h"

#include <functional>
#include <string_view>

#include "service/argument_readers.h"
#include "shell/device_identity.h"
#include "shell/shell_integration.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

// "path" is read only when the arguments are a map; otherwise the path is "".
std::wstring pathArgument(const MethodCall& call) {
  const auto* args = call.arguments() ? std::get_if<EncodableMap>(call.arguments()) : nullptr;
  return win::toUtf16(argString(args, "path", ""));
}

using QuickMethod = void (*)(ServiceState&, const MethodCall&, MethodResult&);

struct QuickMethodEntry {
  std::string_view name;
  QuickMethod answer;
};

constexpr QuickMethodEntry kQuickMethods[] = {
    {"cancel",
     [](ServiceState& state, const MethodCall&, MethodResult& result) {
       state.cancelFlag.store(true);
       result.Success(EncodableValue(true));
     }},
    {"homeDir",
     [](ServiceState&, const MethodCall&, MethodResult& result) {
       result.Success(EncodableValue(win::toUtf8(win::homeFolder())));
     }},
    {"deviceId", [](ServiceState&, const MethodCall&,
                    MethodResult& result) { result.Success(EncodableValue(shell::deviceId())); }},
    {"deviceName",
     [](ServiceState&, const MethodCall&, MethodResult& result) {
       result.Success(EncodableValue(shell::deviceName()));
     }},
    {"revealPath",
     [](ServiceState&, const MethodCall& call, MethodResult& result) {
       shell::revealPath(pathArgument(call));
       result.Success(EncodableValue(true));
     }},
    {"openPath",
     [](ServiceState&, const MethodCall& call, MethodResult& result) {
       shell::openPath(pathArgument(call));
       result.Success(EncodableValue(true));
     }},
    {"pickFolder",
     [](ServiceState&, const MethodCall&, MethodResult& result) {
       if (auto folder = shell::pickFolder()) {
         result.Success(EncodableValue(std::move(*folder)));
       } else {
         result.Success();
       }
     }},
};

}  // namespace

bool answerQuickMethod(ServiceState& state, const MethodCall& call, MethodResult& result) {
  for (const QuickMethodEntry& entry : kQuickMethods) {
    if (entry.name == call.methodName()) {
      entry.answer(state, call, result);
      return true;
    }
  }
  return false;
}

}  // namespace tidvale
