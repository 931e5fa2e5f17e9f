// The engine library driven in-process: input lines go in through submitInputLine, protocol
// lines are captured, and the test thread is the platform thread that pumps messages.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/flutter_windows_api.h"
#include "engine/input_channel.h"
#include "engine/json_reader.h"
#include "engine/line_output.h"
#include "engine/protocol.h"

namespace tidvale::engine {
namespace {

constexpr wchar_t kTopLevelClass[] = L"TidvaleEngineTestTopLevel";
constexpr auto kWaitLimit = std::chrono::seconds(20);

class RecordingOutput final : public LineOutput {
 public:
  void writeLine(std::string_view line) override {
    std::lock_guard guard(lock_);
    lines_.emplace_back(line);
  }
  std::vector<std::string> lines() {
    std::lock_guard guard(lock_);
    return lines_;
  }
  size_t count(std::string_view op) {
    size_t n = 0;
    for (const auto& line : lines()) {
      const auto parsed = readJson(line);
      if (parsed.ok() && parsed.value.is_object() && parsed.value.value("op", "") == op) ++n;
    }
    return n;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> lines_;
};

struct Received {
  std::string channel;
  std::vector<uint8_t> data;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  DWORD thread = 0;
};

struct HandlerLog {
  std::vector<Received> messages;
  bool echo = false;  // Respond with the message's own bytes.
};

void recordMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                   void* userData) {
  auto* log = static_cast<HandlerLog*>(userData);
  log->messages.push_back({message->channel,
                           {message->message, message->message + message->message_size},
                           message->response_handle,
                           ::GetCurrentThreadId()});
  if (log->echo) {
    FlutterDesktopMessengerSendResponse(messenger, message->response_handle, message->message,
                                        message->message_size);
  }
}

int closeRequests = 0;
LRESULT CALLBACK topLevelProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    ++closeRequests;
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

std::string sendLine(std::string_view channel, long long id, std::string_view base64) {
  return R"({"op":"send","channel":")" + std::string(channel) + R"(","id":)" + std::to_string(id) +
         R"(,"data":")" + std::string(base64) + "\"}";
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLineOutputForTesting(&output_);
    resetInputForTesting(/*standardInputReader=*/false);
    closeRequests = 0;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = topLevelProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTopLevelClass;
    ::RegisterClassW(&windowClass);
    topLevel_ = ::CreateWindowExW(0, kTopLevelClass, L"test", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(topLevel_, nullptr);
    FlutterDesktopEngineProperties properties{};
    properties.assets_path = L"data\\flutter_assets";
    properties.icu_data_path = L"data\\icudtl.dat";
    properties.aot_library_path = L"data\\app.so";
    engine_ = FlutterDesktopEngineCreate(&properties);
    ASSERT_NE(engine_, nullptr);
    messenger_ = FlutterDesktopEngineGetMessenger(engine_);
  }

  void TearDown() override {
    if (controller_) {
      FlutterDesktopViewControllerDestroy(controller_);
    } else if (engine_) {
      FlutterDesktopEngineDestroy(engine_);
    }
    ::DestroyWindow(topLevel_);
    ::UnregisterClassW(kTopLevelClass, ::GetModuleHandleW(nullptr));
    pump();
    setLineOutputForTesting(nullptr);
    resetInputForTesting(false);
  }

  // Gives the engine a view inside the test's top-level window.
  void createView() {
    controller_ = FlutterDesktopViewControllerCreate(200, 100, engine_);
    ASSERT_NE(controller_, nullptr);
    view_ = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(controller_));
    ASSERT_NE(view_, nullptr);
    ::SetParent(view_, topLevel_);
  }

  void destroyView() {
    FlutterDesktopViewControllerDestroy(controller_);
    controller_ = nullptr;
    engine_ = nullptr;
  }

  static void pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }

  // Pumps the platform thread's messages until `done`, failing after a generous limit.
  static bool pumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (std::chrono::steady_clock::now() < deadline) {
      pump();
      if (done()) return true;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
  }

  RecordingOutput output_;
  HWND topLevel_ = nullptr;
  FlutterDesktopEngineRef engine_ = nullptr;
  FlutterDesktopMessengerRef messenger_ = nullptr;
  FlutterDesktopViewControllerRef controller_ = nullptr;
  HWND view_ = nullptr;
};

TEST_F(EngineTest, ReportsEachRegistrarRequestInOrder) {
  const auto first = FlutterDesktopEngineGetPluginRegistrar(engine_, "First");
  const auto second = FlutterDesktopEngineGetPluginRegistrar(engine_, "Second \"quoted\"");
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(engine_, nullptr), nullptr);
  EXPECT_EQ(output_.lines(),
            (std::vector<std::string>{R"({"op":"registrar","name":"First"})",
                                      R"({"op":"registrar","name":"Second \"quoted\""})"}));
}

TEST_F(EngineTest, ViewIsAChildWindowOfTheRequestedSize) {
  createView();
  EXPECT_TRUE(::GetWindowLongPtrW(view_, GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(::GetAncestor(view_, GA_ROOT), topLevel_);
  RECT frame{};
  ::GetClientRect(view_, &frame);
  EXPECT_EQ(frame.right - frame.left, 200);
  EXPECT_EQ(frame.bottom - frame.top, 100);
  LRESULT result = 0;
  EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, topLevel_, WM_SIZE,
                                                                    0, 0, &result));
  EXPECT_EQ(FlutterDesktopViewControllerCreate(10, 10, nullptr), nullptr);
}

TEST_F(EngineTest, NextFrameCallbackRunsOnceOnThePlatformThreadThenReady) {
  struct Frames {
    int count = 0;
    DWORD thread = 0;
  } frames;
  const auto onFrame = [](void* data) {
    auto* f = static_cast<Frames*>(data);
    ++f->count;
    f->thread = ::GetCurrentThreadId();
  };
  FlutterDesktopEngineSetNextFrameCallback(engine_, onFrame, &frames);
  createView();
  EXPECT_EQ(frames.count, 0) << "the frame must wait for the message loop";
  ASSERT_TRUE(pumpUntil([&] { return output_.count("ready") == 1; }));
  pump();
  EXPECT_EQ(frames.count, 1);
  EXPECT_EQ(frames.thread, ::GetCurrentThreadId());
  EXPECT_EQ(output_.lines().back(), R"({"op":"ready"})");

  // A later callback runs on a later frame, but ready is reported only once.
  FlutterDesktopEngineSetNextFrameCallback(engine_, onFrame, &frames);
  ASSERT_TRUE(pumpUntil([&] { return frames.count == 2; }));
  pump();
  EXPECT_EQ(frames.count, 2);
  EXPECT_EQ(output_.count("ready"), 1u);
}

TEST_F(EngineTest, DeliversInputInOrderOnThePlatformThreadAndRepliesWithIds) {
  HandlerLog log;
  log.echo = true;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  createView();
  constexpr int kMessages = 40;
  std::thread reader([] {
    for (int i = 0; i < kMessages; ++i) submitInputLine(sendLine("chan", 1000 + i, "AQI="));
  });
  reader.join();
  ASSERT_TRUE(pumpUntil([&] { return log.messages.size() == kMessages; }));
  std::vector<std::string> expectedReplies;
  for (int i = 0; i < kMessages; ++i) {
    EXPECT_EQ(log.messages[i].channel, "chan");
    EXPECT_EQ(log.messages[i].data, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(log.messages[i].thread, ::GetCurrentThreadId());
    expectedReplies.push_back(replyLine(1000 + i, log.messages[i].data.data(), 2));
  }
  std::vector<std::string> replies;
  for (const auto& line : output_.lines()) {
    if (line.find(R"("op":"reply")") != std::string::npos) replies.push_back(line);
  }
  EXPECT_EQ(replies, expectedReplies);
}

TEST_F(EngineTest, EachResponseHandleAnswersExactlyOnce) {
  HandlerLog log;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  createView();
  submitInputLine(sendLine("chan", 5, ""));
  submitInputLine(sendLine("chan", 5, ""));  // The same id again: a separate message.
  ASSERT_TRUE(pumpUntil([&] { return log.messages.size() == 2; }));
  ASSERT_NE(log.messages[0].handle, log.messages[1].handle);
  const uint8_t first[] = {9};
  const uint8_t second[] = {8};
  FlutterDesktopMessengerSendResponse(messenger_, log.messages[1].handle, first, 1);
  FlutterDesktopMessengerSendResponse(messenger_, log.messages[1].handle, second, 1);
  FlutterDesktopMessengerSendResponse(messenger_, log.messages[0].handle, nullptr, 0);
  FlutterDesktopMessengerSendResponse(messenger_, log.messages[0].handle, second, 1);
  EXPECT_EQ(output_.lines(),
            (std::vector<std::string>{replyLine(5, first, 1), replyLine(5, nullptr, 0)}));
}

TEST_F(EngineTest, ChannelsWithoutAHandlerGetAnEmptyReplyAtOnce) {
  HandlerLog log;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  FlutterDesktopMessengerSetCallback(messenger_, "chan", nullptr, nullptr);
  createView();
  submitInputLine(sendLine("chan", 3, "AQI="));
  submitInputLine(sendLine("other", 4, ""));
  ASSERT_TRUE(pumpUntil([&] { return output_.count("reply") == 2; }));
  EXPECT_TRUE(log.messages.empty());
  const auto lines = output_.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), R"({"op":"reply","id":3,"data":""})"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), R"({"op":"reply","id":4,"data":""})"),
            lines.end());
}

TEST_F(EngineTest, MalformedLinesAreReportedAndNotDelivered) {
  HandlerLog log;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  createView();
  submitInputLine("{\"op\":\"send\",\"channel\":\"chan\",\"id\":1,\"data\":\"A\"}");
  submitInputLine("\xFF\xFE");
  submitInputLine(sendLine("chan", 2, ""));
  ASSERT_TRUE(pumpUntil([&] { return log.messages.size() == 1; }));
  EXPECT_EQ(output_.count("error"), 2u);
}

TEST_F(EngineTest, QuitClosesTheTopLevelWindowAfterEarlierInputAndEndsInput) {
  HandlerLog log;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  createView();
  submitInputLine(sendLine("chan", 1, ""));
  submitInputLine(R"({"op":"quit"})");
  submitInputLine(sendLine("chan", 2, ""));
  submitInputLine("not even JSON");
  ASSERT_TRUE(pumpUntil([] { return closeRequests == 1; }));
  pump();
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(closeRequests, 1);
  EXPECT_EQ(output_.count("error"), 0u);
}

TEST_F(EngineTest, EndOfInputActsAsQuit) {
  createView();
  submitEndOfInput();
  ASSERT_TRUE(pumpUntil([] { return closeRequests == 1; }));
}

TEST_F(EngineTest, OutgoingMessagesAreWrittenAndSendWithReplyGetsAnEmptyReply) {
  createView();
  const uint8_t bytes[] = {0xC0, 0x01};
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger_, "tidvale/events", bytes, 2));
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger_, "tidvale/events", nullptr, 0));
  struct Reply {
    int calls = 0;
    size_t size = 1;
    DWORD thread = 0;
  } reply;
  std::thread([&] {
    EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(
        messenger_, "asks", bytes, 1,
        [](const uint8_t*, size_t size, void* data) {
          auto* r = static_cast<Reply*>(data);
          ++r->calls;
          r->size = size;
          r->thread = ::GetCurrentThreadId();
        },
        &reply));
  }).join();
  ASSERT_TRUE(pumpUntil([&] { return reply.calls == 1; }));
  pump();
  EXPECT_EQ(reply.calls, 1);
  EXPECT_EQ(reply.size, 0u);
  EXPECT_EQ(reply.thread, ::GetCurrentThreadId());
  const auto lines = output_.lines();
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{messageLine("tidvale/events", bytes, 2),
                                      messageLine("tidvale/events", nullptr, 0),
                                      messageLine("asks", bytes, 1)}));
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger_, nullptr, bytes, 1));
}

TEST_F(EngineTest, AMessengerReferenceOutlivesTheEngineSafely) {
  HandlerLog log;
  FlutterDesktopMessengerSetCallback(messenger_, "chan", recordMessage, &log);
  createView();
  submitInputLine(sendLine("chan", 1, ""));
  ASSERT_TRUE(pumpUntil([&] { return log.messages.size() == 1; }));
  const auto held = FlutterDesktopMessengerAddRef(messenger_);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(held));
  destroyView();
  const size_t linesBefore = output_.lines().size();

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(held));
  EXPECT_EQ(FlutterDesktopMessengerLock(held), held);
  FlutterDesktopMessengerSendResponse(held, log.messages[0].handle, nullptr, 0);
  FlutterDesktopMessengerUnlock(held);
  EXPECT_FALSE(FlutterDesktopMessengerSend(held, "chan", nullptr, 0));
  EXPECT_FALSE(FlutterDesktopMessengerSendWithReply(
      held, "chan", nullptr, 0, [](const uint8_t*, size_t, void*) { FAIL(); }, nullptr));
  FlutterDesktopMessengerSetCallback(held, "chan", nullptr, nullptr);
  EXPECT_EQ(output_.lines().size(), linesBefore);
  FlutterDesktopMessengerRelease(held);
}

TEST_F(EngineTest, ShutdownWaitsForAResponseInProgress) {
  // While a responder holds the messenger lock, the engine cannot go away under it.
  FlutterDesktopMessengerLock(messenger_);
  std::thread destroyer([this] { FlutterDesktopEngineDestroy(engine_); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger_));
  const auto held = FlutterDesktopMessengerAddRef(messenger_);
  FlutterDesktopMessengerUnlock(messenger_);
  destroyer.join();
  engine_ = nullptr;
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(held));
  FlutterDesktopMessengerRelease(held);
}

}  // namespace
}  // namespace tidvale::engine
