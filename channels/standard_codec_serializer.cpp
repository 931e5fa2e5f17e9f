#include "channels/standard_codec_serializer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <type_traits>

namespace tidvale {
namespace {

// Typed lists are copied to and from the wire as raw memory.
static_assert(std::endian::native == std::endian::little, "the wire format is little-endian");

constexpr uint8_t kSize16 = 254;
constexpr uint8_t kSize32 = 255;
constexpr size_t kMaxSize16 = 0xFFFF;

// Per-thread state of the outermost read in progress: nesting depth and how much of the
// allowances for truncated input is left. Thread-local rather than threaded through the calls so
// that subclasses overriding ReadValueOfType share it without a change of signature.
struct DecodeState {
  int scopes = 0;
  int depth = 0;
  size_t bytesAllowance = kMadeUpBytesAllowance;
  size_t elementsAllowance = kMadeUpElementsAllowance;
  bool depthReported = false;
};
thread_local DecodeState decodeState;

// Marks a read in progress; the outermost one starts with a fresh state. Looks the thread's
// state up once (thread-local access is a call on some targets).
class DecodeScope {
 public:
  DecodeScope() : state_(decodeState) {
    if (state_.scopes++ == 0) state_ = DecodeState{1};
  }
  ~DecodeScope() { --state_.scopes; }
  DecodeScope(const DecodeScope&) = delete;
  DecodeScope& operator=(const DecodeScope&) = delete;
  DecodeState& state() const { return state_; }

 private:
  DecodeState& state_;
};

// One level of list or map nesting; `admitted` is false when the cap is reached.
class NestingLevel {
 public:
  explicit NestingLevel(DecodeState& state)
      : state_(state), admitted_(state.depth < kMaxNestingDepth) {
    if (admitted_) {
      ++state_.depth;
    } else if (!state_.depthReported) {
      state_.depthReported = true;
      std::cerr << kNestingTooDeepMessage << "\n";
    }
  }
  ~NestingLevel() {
    if (admitted_) --state_.depth;
  }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
  bool admitted() const { return admitted_; }

 private:
  DecodeState& state_;
  bool admitted_;
};

// Takes `amount` from `allowance` when it is all there.
bool take(size_t& allowance, size_t amount) {
  if (amount > allowance) return false;
  allowance -= amount;
  return true;
}

// Whether the next element's type byte may be read: it is there, or it may be made up.
bool admitElement(ByteStreamReader* stream, DecodeState& state) {
  if (stream->RemainingBytes() > 0 || take(state.elementsAllowance, 1)) return true;
  std::cerr << kInvalidReadMessage << "\n";
  return false;
}

template <typename T>
T readScalar(ByteStreamReader* stream) {
  T value{};
  stream->ReadBytes(reinterpret_cast<uint8_t*>(&value), sizeof(T));
  return value;
}

template <typename T>
void writeScalar(T value, ByteStreamWriter* stream) {
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

// Sizes a container of `count` elements and fills it from the stream, or, for truncated input,
// applies the made-up-bytes rule (see kMadeUpBytesAllowance).
template <typename Container>
Container readRun(ByteStreamReader* stream, size_t count, DecodeState& state) {
  using Element = typename Container::value_type;
  static_assert(std::is_trivially_copyable_v<Element>);
  constexpr size_t maxCount = std::numeric_limits<size_t>::max() / sizeof(Element);
  const size_t bytes = count <= maxCount ? count * sizeof(Element) : 0;
  const bool fits = count <= maxCount && bytes <= stream->RemainingBytes();
  if (!fits && (count > maxCount || !take(state.bytesAllowance, bytes))) {
    std::cerr << kInvalidReadMessage << "\n";
    return Container();
  }
  Container value(count, Element{});
  if (bytes > 0) stream->ReadBytes(reinterpret_cast<uint8_t*>(value.data()), bytes);
  return value;
}

// A typed list's elements start at a multiple of their size, even when there are none.
template <typename Container>
Container readTypedList(ByteStreamReader* stream, size_t count, DecodeState& state) {
  stream->ReadAlignment(sizeof(typename Container::value_type));
  return readRun<Container>(stream, count, state);
}

template <typename Container>
void writeRun(const Container& value, ByteStreamWriter* stream) {
  if (value.empty()) return;
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(value.data()),
                     value.size() * sizeof(typename Container::value_type));
}

// Writes every alternative but lists and maps, whose elements go back through the (virtual)
// WriteValue so that subclasses see nested custom values.
struct PayloadWriter {
  const StandardCodecSerializer& serializer;
  ByteStreamWriter* stream;
  void (*writeSize)(size_t, ByteStreamWriter*);

  void type(WireType wireType) const { stream->WriteByte(static_cast<uint8_t>(wireType)); }

  template <typename Container>
  void typedList(WireType wireType, const Container& value) const {
    type(wireType);
    writeSize(value.size(), stream);
    // An empty typed list carries no padding.
    if (!value.empty()) stream->WriteAlignment(sizeof(typename Container::value_type));
    writeRun(value, stream);
  }

  void operator()(std::monostate) const { type(WireType::kNull); }
  void operator()(bool value) const { type(value ? WireType::kTrue : WireType::kFalse); }
  void operator()(int32_t value) const {
    type(WireType::kInt32);
    writeScalar(value, stream);
  }
  void operator()(int64_t value) const {
    type(WireType::kInt64);
    writeScalar(value, stream);
  }
  void operator()(double value) const {
    type(WireType::kFloat64);
    stream->WriteAlignment(sizeof(double));
    writeScalar(value, stream);
  }
  void operator()(const std::string& value) const {
    type(WireType::kString);
    writeSize(value.size(), stream);
    if (!value.empty()) {
      stream->WriteBytes(reinterpret_cast<const uint8_t*>(value.data()), value.size());
    }
  }
  void operator()(const std::vector<uint8_t>& value) const {
    type(WireType::kUInt8List);
    writeSize(value.size(), stream);
    writeRun(value, stream);
  }
  void operator()(const std::vector<int32_t>& value) const {
    typedList(WireType::kInt32List, value);
  }
  void operator()(const std::vector<int64_t>& value) const {
    typedList(WireType::kInt64List, value);
  }
  void operator()(const std::vector<double>& value) const {
    typedList(WireType::kFloat64List, value);
  }
  void operator()(const std::vector<float>& value) const {
    typedList(WireType::kFloat32List, value);
  }
  void operator()(const EncodableList& value) const {
    type(WireType::kList);
    writeSize(value.size(), stream);
    for (const EncodableValue& element : value) serializer.WriteValue(element, stream);
  }
  void operator()(const EncodableMap& value) const {
    type(WireType::kMap);
    writeSize(value.size(), stream);
    for (const auto& [key, element] : value) {
      serializer.WriteValue(key, stream);
      serializer.WriteValue(element, stream);
    }
  }
  void operator()(const CustomEncodableValue&) const {
    std::cerr << kUnhandledCustomTypeMessage << "\n";
    type(WireType::kNull);
  }
};

}  // namespace

StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  // Never destroyed: detached threads may still encode while the process exits.
  static const StandardCodecSerializer* const instance = new StandardCodecSerializer();
  return *instance;
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  // The decode state starts in ReadValueOfType; reading the type byte needs none.
  const uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  std::visit(PayloadWriter{*this, stream, &StandardCodecSerializer::WriteSize},
             static_cast<const EncodableVariant&>(value));
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  DecodeScope scope;
  switch (static_cast<WireType>(type)) {
    case WireType::kNull:
      return EncodableValue();
    case WireType::kTrue:
      return EncodableValue(true);
    case WireType::kFalse:
      return EncodableValue(false);
    case WireType::kInt32:
      return EncodableValue(readScalar<int32_t>(stream));
    case WireType::kInt64:
      return EncodableValue(readScalar<int64_t>(stream));
    case WireType::kFloat64:
      stream->ReadAlignment(sizeof(double));
      return EncodableValue(readScalar<double>(stream));
    case WireType::kLargeInt:
    case WireType::kString:
      return EncodableValue(readRun<std::string>(stream, ReadSize(stream), scope.state()));
    case WireType::kUInt8List:
      return EncodableValue(readRun<std::vector<uint8_t>>(stream, ReadSize(stream), scope.state()));
    case WireType::kInt32List:
      return EncodableValue(
          readTypedList<std::vector<int32_t>>(stream, ReadSize(stream), scope.state()));
    case WireType::kInt64List:
      return EncodableValue(
          readTypedList<std::vector<int64_t>>(stream, ReadSize(stream), scope.state()));
    case WireType::kFloat64List:
      return EncodableValue(
          readTypedList<std::vector<double>>(stream, ReadSize(stream), scope.state()));
    case WireType::kFloat32List:
      return EncodableValue(
          readTypedList<std::vector<float>>(stream, ReadSize(stream), scope.state()));
    case WireType::kList: {
      NestingLevel level(scope.state());
      if (!level.admitted()) return EncodableValue();
      const size_t count = ReadSize(stream);
      EncodableList list;
      list.reserve(std::min(count, stream->RemainingBytes()));
      for (size_t i = 0; i < count && admitElement(stream, scope.state()); ++i) {
        list.push_back(ReadValue(stream));
      }
      return EncodableValue(std::move(list));
    }
    case WireType::kMap: {
      NestingLevel level(scope.state());
      if (!level.admitted()) return EncodableValue();
      const size_t count = ReadSize(stream);
      EncodableMap map;
      for (size_t i = 0; i < count && admitElement(stream, scope.state()); ++i) {
        EncodableValue key = ReadValue(stream);
        if (!admitElement(stream, scope.state())) break;
        // try_emplace keeps an existing entry, so the first occurrence of a key wins.
        map.try_emplace(std::move(key), ReadValue(stream));
      }
      return EncodableValue(std::move(map));
    }
  }
  std::cerr << kUnknownTypeMessage << static_cast<unsigned>(type) << "\n";
  return EncodableValue();
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) {
  const uint8_t first = stream->ReadByte();
  if (first < kSize16) return first;
  uint8_t bytes[4] = {};
  const size_t width = first == kSize16 ? 2 : 4;
  stream->ReadBytes(bytes, width);
  size_t size = 0;
  for (size_t i = width; i-- > 0;) size = (size << 8) | bytes[i];
  return size;
}

void StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) {
  if (size < kSize16) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= kMaxSize16) {
    stream->WriteByte(kSize16);
    writeScalar(static_cast<uint16_t>(size), stream);
  } else {
    stream->WriteByte(kSize32);
    writeScalar(static_cast<uint32_t>(size), stream);
  }
}

}  // namespace tidvale
