#include "service/background_call.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "core/dispatcher.h"
#include "service/cancel_keeping_methods.h"
#include "service/method_table.h"
#include "win/detached_thread.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

void deliverResult(std::shared_ptr<MethodResult> result, BackgroundReply reply) {
  postToPlatformThread([result = std::move(result), reply = std::move(reply)] {
    if (reply.handled) {
      result->Success(reply.value);
    } else {
      result->NotImplemented();
    }
  });
}

void deliverError(std::shared_ptr<MethodResult> result, std::string code, std::string message) {
  postToPlatformThread([result = std::move(result), code = std::move(code),
                        message = std::move(message)] { result->Error(code, message); });
}

}  // namespace

void startBackgroundCall(ServiceState& state, const std::string& method,
                         const EncodableValue* arguments, std::shared_ptr<MethodResult> result) {
  if (!keepsCancelFlag(method)) state.cancelFlag.store(false);
  const auto* map = arguments ? std::get_if<EncodableMap>(arguments) : nullptr;
  auto call = std::make_unique<BackgroundCall>(
      BackgroundCall{&state, method, map ? *map : EncodableMap{}, result});
  if (!win::startDetachedThread(
          [call = std::move(call)]() mutable { runBackgroundCall(std::move(call)); })) {
    result->Error("threadUnavailable", std::strerror(errno));
  }
}

void runBackgroundCall(std::unique_ptr<BackgroundCall> call) {
  BackgroundReply reply;
  try {
    win::ComApartment apartment(COINIT_APARTMENTTHREADED);
    reply = runBackgroundMethod(*call->state, call->method, call->args);
  } catch (const std::exception& error) {
    deliverError(std::move(call->result), "internal", error.what());
    return;
  } catch (...) {
    deliverError(std::move(call->result), "internal", "unknown exception");
    return;
  }
  deliverResult(std::move(call->result), std::move(reply));
}

}  // namespace tidvale
