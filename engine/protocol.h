#pragma once
// The engine's line protocol on standard input and output: one JSON object per line.
//   in:  {"op":"send","channel":NAME,"id":N,"data":B64}   {"op":"quit"}
//   out: {"op":"registrar","name":NAME}  {"op":"ready"}  {"op":"reply","id":N,"data":B64}
//        {"op":"message","channel":NAME,"data":B64}  {"op":"error","message":TEXT}
// Pure functions, any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tidvale::engine {

struct SendCommand {
  std::string channel;
  long long id = 0;
  std::vector<uint8_t> data;
};
struct QuitCommand {};
struct InputError {
  std::string message;
};
using InputLine = std::variant<SendCommand, QuitCommand, InputError>;

// Reads one input line (without its "\n"; a trailing "\r" is tolerated). Members other than
// those of the operation are ignored. Never throws; anything unusable gives an InputError.
InputLine parseInputLine(std::string_view line);

// Output lines, without the line end.
std::string registrarLine(std::string_view name);
std::string readyLine();
std::string replyLine(long long id, const uint8_t* data, size_t size);
std::string messageLine(std::string_view channel, const uint8_t* data, size_t size);
std::string errorLine(std::string_view message);

}  // namespace tidvale::engine
