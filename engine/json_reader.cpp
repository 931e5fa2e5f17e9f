#include "engine/json_reader.h"

#include <cstring>
#include <utility>
#include <vector>

namespace tidvale::engine {
namespace {

using nlohmann::json;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string atOffset(std::string_view what, size_t offset) {
  return std::string(what) + " at offset " + std::to_string(offset);
}

// Builds the value from the parser's events, stopping the parse (by returning false) at the
// first thing the protocol refuses.
class BoundedBuilder final : public nlohmann::json_sax<json> {
 public:
  json& value() { return root_; }
  std::string& error() { return error_; }

  bool null() override { return place(nullptr); }
  bool boolean(bool value) override { return place(value); }
  bool number_integer(number_integer_t value) override { return place(value); }
  bool number_unsigned(number_unsigned_t value) override { return place(value); }
  bool number_float(number_float_t value, const string_t&) override { return place(value); }
  bool string(string_t& value) override { return place(std::move(value)); }
  bool binary(binary_t&) override { return refuse("binary value"); }  // JSON text has none

  bool start_object(std::size_t) override { return open(json::object()); }
  bool start_array(std::size_t) override { return open(json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    json& object = *open_.back();
    if (object.contains(name)) return refuse("duplicate member name");
    member_ = &object[name];
    return true;
  }

  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& failure) override {
    // what() reads "[json.exception.parse_error.101] parse error at line 1, column 9: ...".
    std::string_view text = failure.what();
    if (const size_t tagEnd = text.find("] "); tagEnd != std::string_view::npos) {
      text.remove_prefix(tagEnd + 2);
    }
    return refuse(std::string(text.substr(0, kMaxJsonErrorBytes)));
  }

 private:
  // Puts a finished scalar or a new container where the parse stands; its address is stable
  // until its parent changes, which only happens after it is closed.
  json* placeValue(json&& value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    *member_ = std::move(value);
    return member_;
  }

  bool place(json&& value) {
    placeValue(std::move(value));
    return true;
  }

  bool open(json&& container) {
    if (open_.size() >= kMaxJsonDepth) return refuse("nesting too deep");
    open_.push_back(placeValue(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  bool refuse(std::string why) {
    error_ = std::move(why);
    return false;
  }

  json root_;
  std::vector<json*> open_;  // containers not yet closed, outermost first
  json* member_ = nullptr;   // the slot of the member whose name was read last
  std::string error_;
};

}  // namespace

JsonReadResult readJson(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) return {nullptr, atOffset("byte order mark", 0)};
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    return {nullptr, atOffset("NUL byte", static_cast<const char*>(nul) - text.data())};
  }
  BoundedBuilder builder;
  const bool parsed = json::sax_parse(text.begin(), text.end(), &builder);
  // Every way the parse stops early (the library's errors and the builder's refusals) sets the
  // builder's error.
  if (!parsed) return {nullptr, std::move(builder.error())};
  return {std::move(builder.value()), {}};
}

}  // namespace tidvale::engine
