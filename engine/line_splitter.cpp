#include "engine/line_splitter.h"

namespace tidvale::engine {

LineSplitter::LineSplitter(size_t maxLineBytes, LineHandler onLine, OverflowHandler onOverflow)
    : maxLineBytes_(maxLineBytes), onLine_(std::move(onLine)), onOverflow_(std::move(onOverflow)) {}

void LineSplitter::feed(std::string_view chunk) {
  while (!chunk.empty()) {
    const size_t end = chunk.find('\n');
    const std::string_view piece = chunk.substr(0, end);
    if (!discarding_) {
      if (pending_.size() + piece.size() > maxLineBytes_) {
        pending_.clear();
        pending_.shrink_to_fit();
        discarding_ = true;
        onOverflow_();
      } else {
        pending_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    if (!discarding_) onLine_(pending_);
    pending_.clear();
    discarding_ = false;
    chunk.remove_prefix(end + 1);
  }
}

void LineSplitter::finish() {
  if (!discarding_ && !pending_.empty()) onLine_(pending_);
  pending_.clear();
  discarding_ = false;
}

}  // namespace tidvale::engine
