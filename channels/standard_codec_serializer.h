#pragma once
// Flutter's standard message codec: the wire format of every channel value.

#include <cstddef>
#include <cstdint>

#include "channels/byte_streams.h"
#include "channels/encodable_value.h"

namespace tidvale {

// Wire type bytes. Type 5 is read as a string and never written.
enum class WireType : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

inline constexpr char kUnknownTypeMessage[] =
    "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
inline constexpr char kUnhandledCustomTypeMessage[] =
    "Unhandled custom type in StandardCodecSerializer::WriteValue. "
    "Custom types require codec extensions.";
inline constexpr char kNestingTooDeepMessage[] =
    "Nesting too deep in StandardCodecSerializer::ReadValueOfType; deeper values read as null.";

// Lists and maps nest at most this deep when read (the outermost is level 1). A list or map that
// would be deeper reads as null with its type byte consumed and nothing more, and
// kNestingTooDeepMessage is written once per top-level read. Every real reply is far shallower.
inline constexpr int kMaxNestingDepth = 64;

// Truncated input. A string or typed list whose declared bytes do not all remain reads, as the
// reader does for any run that does not fit, as that many zero bytes with the rest of the message
// left unread; a list or map whose elements run past the end gets a null for each missing type
// byte. So that no message can make the decoder allocate or loop far beyond its own size, one
// top-level read makes up at most kMadeUpBytesAllowance zero bytes and kMadeUpElementsAllowance
// nulls: a truncated string or typed list larger than what is left reads as empty, and a list or
// map stops at the elements read so far. Each case writes kInvalidReadMessage.
inline constexpr size_t kMadeUpBytesAllowance = 64 * 1024;
inline constexpr size_t kMadeUpElementsAllowance = 1024;

// Reads and writes single values. Stateless; the shared instance may be used from any thread.
// Reading never throws: bad data gives a null, zero-filled or shortened value and a diagnostic line
// on standard error. Subclasses add custom types by overriding WriteValue and ReadValueOfType and
// calling these for the standard types.
class StandardCodecSerializer {
 public:
  StandardCodecSerializer() = default;
  virtual ~StandardCodecSerializer();
  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The shared default instance; lives until the process exits.
  static const StandardCodecSerializer& GetInstance();

  // Reads one type byte, then the value of that type.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // Writes the type byte, then the payload. A custom value is written as null with a diagnostic.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;

  // Reads the payload of a value whose type byte has been read. An unknown type reads as null
  // with a diagnostic, consuming nothing more.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

 protected:
  // A size: one byte below 254; 254 then 16 bits; otherwise 32 bits. Missing bytes count as 0.
  static size_t ReadSize(ByteStreamReader* stream);
  static void WriteSize(size_t size, ByteStreamWriter* stream);
};

}  // namespace tidvale
