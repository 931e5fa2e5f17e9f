#include "engine/protocol.h"

#include <gtest/gtest.h>

#include "engine/json_reader.h"

namespace tidvale::engine {
namespace {

TEST(ProtocolInput, ReadsSendAndQuit) {
  const auto send = parseInputLine(
      R"({"op":"send","channel":"tidvale/native","id":17,"data":"AQID","extra":[1,{}]})");
  ASSERT_TRUE(std::holds_alternative<SendCommand>(send));
  const auto& command = std::get<SendCommand>(send);
  EXPECT_EQ(command.channel, "tidvale/native");
  EXPECT_EQ(command.id, 17);
  EXPECT_EQ(command.data, (std::vector<uint8_t>{1, 2, 3}));

  const auto empty = parseInputLine(R"({"data":"","id":-3,"channel":"","op":"send"})"
                                    "\r");
  ASSERT_TRUE(std::holds_alternative<SendCommand>(empty));
  EXPECT_TRUE(std::get<SendCommand>(empty).data.empty());
  EXPECT_EQ(std::get<SendCommand>(empty).id, -3);

  EXPECT_TRUE(std::holds_alternative<QuitCommand>(parseInputLine(R"( {"op":"quit","id":1} )")));
}

TEST(ProtocolInput, AnswersEveryMalformedLineWithAnError) {
  const struct {
    std::string_view line;
    std::string_view messagePart;
  } cases[] = {
      {"", "invalid JSON"},
      {"\r", "invalid JSON"},
      {"{\"op\":\"quit\"", "invalid JSON"},
      {"[\"op\",\"quit\"]", "not an object"},
      {"\"quit\"", "not an object"},
      {"{}", "\"op\""},
      {"{\"op\":null}", "\"op\""},
      {"{\"op\":1}", "\"op\""},
      {"{\"op\":\"QUIT\"}", "unknown op \"QUIT\""},
      {"{\"op\":\"reply\",\"id\":1,\"data\":\"\"}", "unknown op"},
      {"{\"op\":\"send\",\"id\":1,\"data\":\"\"}", "\"channel\""},
      {"{\"op\":\"send\",\"channel\":5,\"id\":1,\"data\":\"\"}", "\"channel\""},
      {"{\"op\":\"send\",\"channel\":\"a\\u0000b\",\"id\":1,\"data\":\"\"}", "\"channel\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"data\":\"\"}", "\"id\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":\"1\",\"data\":\"\"}", "\"id\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1.5,\"data\":\"\"}", "\"id\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1e2,\"data\":\"\"}", "\"id\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":99999999999999999999,\"data\":\"\"}", "\"id\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1}", "\"data\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1,\"data\":null}", "\"data\""},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1,\"data\":\"AQI\"}", "base64"},
      {"{\"op\":\"send\",\"channel\":\"c\",\"id\":1,\"data\":\"!!!!\"}", "base64"},
      {"{\"op\":\"send\",\"op\":\"quit\"}", "duplicate"},
      {"\xEF\xBB\xBF{\"op\":\"quit\"}", "invalid JSON"},  // a byte order mark
  };
  for (const auto& c : cases) {
    const auto parsed = parseInputLine(c.line);
    ASSERT_TRUE(std::holds_alternative<InputError>(parsed)) << c.line;
    const std::string& message = std::get<InputError>(parsed).message;
    EXPECT_NE(message.find(c.messagePart), std::string::npos) << c.line << " -> " << message;
  }
}

TEST(ProtocolInput, IdsCoverTheSigned64BitRangeExactly) {
  // The library reads non-negative integers as unsigned and larger ones as floating point.
  const struct {
    std::string_view id;
    bool accepted;
    long long value;
  } cases[] = {
      {"0", true, 0},
      {"-0", true, 0},
      {"9223372036854775807", true, 9223372036854775807LL},
      {"-9223372036854775808", true, -9223372036854775807LL - 1},
      {"9223372036854775808", false, 0},
      {"18446744073709551615", false, 0},
      {"-9223372036854775809", false, 0},
      {"1.0", false, 0},
      {"true", false, 0},
  };
  for (const auto& c : cases) {
    const std::string line =
        R"({"op":"send","channel":"c","id":)" + std::string(c.id) + R"(,"data":""})";
    const auto parsed = parseInputLine(line);
    ASSERT_EQ(std::holds_alternative<SendCommand>(parsed), c.accepted) << c.id;
    if (c.accepted) {
      EXPECT_EQ(std::get<SendCommand>(parsed).id, c.value) << c.id;
    }
  }
}

TEST(ProtocolInput, SurvivesArbitraryBytes) {
  // Every prefix of a valid line, and the line with each byte replaced, must parse or be refused
  // without crashing; only the complete line is a command.
  const std::string line = R"({"op":"send","channel":"c\u00e9","id":12,"data":"AAEC"})";
  for (size_t length = 0; length < line.size(); ++length) {
    EXPECT_TRUE(std::holds_alternative<InputError>(parseInputLine(line.substr(0, length))))
        << length;
  }
  for (size_t pos = 0; pos < line.size(); ++pos) {
    for (const char replacement : {'\0', '"', '\\', '{', '}', ',', ':', '\xFF', '9'}) {
      std::string mutated = line;
      mutated[pos] = replacement;
      EXPECT_FALSE(std::holds_alternative<QuitCommand>(parseInputLine(mutated))) << mutated;
    }
  }
}

TEST(ProtocolOutput, LinesAreSingleLineJsonWithTheRightFields) {
  const uint8_t bytes[] = {0, 0xFF, '\n'};
  const struct {
    std::string line;
    std::string_view op;
  } cases[] = {
      {registrarLine("Name \"q\"\n"), "registrar"},
      {readyLine(), "ready"},
      {replyLine(-42, bytes, sizeof(bytes)), "reply"},
      {replyLine(7, nullptr, 0), "reply"},
      {messageLine("tidvale/events", bytes, sizeof(bytes)), "message"},
      {errorLine("bad \xFF line"), "error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.line.find('\n'), std::string::npos) << c.line;
    const auto parsed = readJson(c.line);
    ASSERT_TRUE(parsed.ok()) << c.line << ": " << parsed.error;
    EXPECT_EQ(parsed.value.value("op", ""), c.op);
  }
  const auto reply = readJson(replyLine(-42, bytes, sizeof(bytes))).value;
  ASSERT_TRUE(reply["id"].is_number_integer());
  EXPECT_EQ(reply["id"].get<long long>(), -42);
  EXPECT_EQ(reply["data"], "AP8K");
  EXPECT_EQ(readJson(replyLine(7, nullptr, 0)).value["data"], "");
  EXPECT_EQ(readJson(registrarLine("Name \"q\"\n")).value["name"], "Name \"q\"\n");
  const auto message = readJson(messageLine("tidvale/events", bytes, sizeof(bytes))).value;
  EXPECT_EQ(message["channel"], "tidvale/events");
  EXPECT_EQ(message["data"], "AP8K");
  EXPECT_EQ(readJson(errorLine("bad \xFF line")).value["message"], "bad \xEF\xBF\xBD line");
  // The exact bytes the client has always read: field order, spacing, escapes.
  EXPECT_EQ(replyLine(-42, bytes, sizeof(bytes)), R"({"op":"reply","id":-42,"data":"AP8K"})");
  EXPECT_EQ(messageLine("a\tb", nullptr, 0), R"({"op":"message","channel":"a\tb","data":""})");
  EXPECT_EQ(registrarLine("p"), R"({"op":"registrar","name":"p"})");
  EXPECT_EQ(errorLine("x\x7f"), R"({"op":"error","message":"x\u007f"})");
}

}  // namespace
}  // namespace tidvale::engine
