#pragma once
// The value model carried by the platform channels: a tagged union whose alternative index is
// part of the value's identity (it orders values and selects the wire type).

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

namespace tidvale {

// An opaque value for codec extensions. The standard codec cannot write it (it goes on the wire as
// null, with a diagnostic line).
//
// Comparison is by the type of the held object only: two custom values holding the same type are
// equivalent whatever their contents. This keeps copies equal to their originals and gives maps a
// strict weak ordering without requiring the held type to be comparable.
class CustomEncodableValue {
 public:
  explicit CustomEncodableValue(const std::any& value) : value_(value) {}
  explicit CustomEncodableValue(std::any&& value) : value_(std::move(value)) {}

  const std::any& value() const { return value_; }
  // The held object, or null when it is not a T.
  template <typename T>
  const T* get_if() const {
    return std::any_cast<T>(&value_);
  }
  std::type_index type() const { return std::type_index(value_.type()); }

  friend bool operator==(const CustomEncodableValue& a, const CustomEncodableValue& b) {
    return a.type() == b.type();
  }
  friend bool operator<(const CustomEncodableValue& a, const CustomEncodableValue& b) {
    return a.type() < b.type();
  }

 private:
  std::any value_;
};

class EncodableValue;

}  // namespace tidvale

// Maps order their keys through EncodableValue::Compare directly. With GCC, the expression
// `a < b` on two values does not compile: overload resolution also weighs std::variant's
// operator<=>, whose constraint on the alternatives refers back to EncodableValue itself through
// EncodableList. Declared before the variant is instantiated, as the map inside it needs it.
template <>
struct std::less<tidvale::EncodableValue> {
  bool operator()(const tidvale::EncodableValue& a, const tidvale::EncodableValue& b) const;
};

namespace tidvale {

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// The alternative index is the order below; it must not change (the codec's wire types and the
// ordering of values depend on it).
using EncodableVariant =
    std::variant<std::monostate, bool, int32_t, int64_t, double, std::string, std::vector<uint8_t>,
                 std::vector<int32_t>, std::vector<int64_t>, std::vector<double>, EncodableList,
                 EncodableMap, CustomEncodableValue, std::vector<float>>;

// A channel value. Values own their contents; copies are deep.
//
// Ordering (EncodableValue::Compare, or std::less<EncodableValue>): alternative index first, then
// content. Booleans false before true; numbers by numeric value; strings byte-wise as unsigned
// bytes, a proper prefix first; typed lists, lists and maps lexicographically element by element
// (map entries by key, then value). So that maps stay sound whatever bytes arrive, a NaN orders
// after every other number and is equivalent to any other NaN, and 0.0 and -0.0 are equivalent.
// Equality is equivalence under this ordering.
class EncodableValue : public EncodableVariant {
 public:
  using EncodableVariant::EncodableVariant;

  EncodableValue() = default;
  // A string literal is a string, never a bool.
  EncodableValue(const char* text) : EncodableVariant(std::string(text)) {}
  EncodableValue& operator=(const char* text) {
    *this = EncodableValue(text);
    return *this;
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // The number as a 64-bit integer when it is a 32- or 64-bit integer; 0 otherwise.
  int64_t LongValue() const;

  // Three-way comparison under the ordering above: negative, zero or positive.
  static int Compare(const EncodableValue& a, const EncodableValue& b);

  friend bool operator==(const EncodableValue& a, const EncodableValue& b) {
    return Compare(a, b) == 0;
  }
  friend bool operator!=(const EncodableValue& a, const EncodableValue& b) {
    return Compare(a, b) != 0;
  }
};

}  // namespace tidvale

inline bool std::less<tidvale::EncodableValue>::operator()(const tidvale::EncodableValue& a,
                                                           const tidvale::EncodableValue& b) const {
  return tidvale::EncodableValue::Compare(a, b) < 0;
}
