#pragma once
// Cuts a byte stream into "\n"-terminated lines, bounding the memory one line may take.
// One instance per stream, used from one thread.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tidvale::engine {

class LineSplitter {
 public:
  using LineHandler = std::function<void(std::string_view line)>;
  // Told once for each line that grew past the limit; its bytes are dropped up to its "\n".
  using OverflowHandler = std::function<void()>;

  LineSplitter(size_t maxLineBytes, LineHandler onLine, OverflowHandler onOverflow);

  // Hands every line completed by `chunk` to the line handler, without its "\n".
  void feed(std::string_view chunk);
  // End of the stream: a last line without "\n" still counts as a line.
  void finish();

 private:
  size_t maxLineBytes_;
  LineHandler onLine_;
  OverflowHandler onOverflow_;
  std::string pending_;
  bool discarding_ = false;
};

}  // namespace tidvale::engine
