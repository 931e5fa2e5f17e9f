#include "channels/encodable_value.h"

#include <cmath>
#include <cstring>

namespace tidvale {
namespace {

int sign(int value) {
  return (value > 0) - (value < 0);
}

template <typename T>
int compareScalar(const T& a, const T& b) {
  return (b < a) - (a < b);
}

// A total order over doubles so that maps keyed by decoded doubles keep their invariants.
template <typename Float>
int compareFloating(Float a, Float b) {
  const bool aNan = std::isnan(a);
  const bool bNan = std::isnan(b);
  if (aNan || bNan) return static_cast<int>(aNan) - static_cast<int>(bNan);
  return (b < a) - (a < b);
}

int compareElement(const EncodableValue& a, const EncodableValue& b) {
  return EncodableValue::Compare(a, b);
}
int compareElement(double a, double b) {
  return compareFloating(a, b);
}
int compareElement(float a, float b) {
  return compareFloating(a, b);
}
template <typename T>
int compareElement(const T& a, const T& b) {
  return compareScalar(a, b);
}
int compareElement(const std::pair<const EncodableValue, EncodableValue>& a,
                   const std::pair<const EncodableValue, EncodableValue>& b) {
  const int byKey = EncodableValue::Compare(a.first, b.first);
  return byKey != 0 ? byKey : EncodableValue::Compare(a.second, b.second);
}

template <typename Container>
int compareSequence(const Container& a, const Container& b) {
  auto ai = a.begin();
  auto bi = b.begin();
  for (; ai != a.end() && bi != b.end(); ++ai, ++bi) {
    const int order = compareElement(*ai, *bi);
    if (order != 0) return order;
  }
  if (ai == a.end()) return bi == b.end() ? 0 : -1;
  return 1;
}

// Unsigned byte-wise, a proper prefix first.
int compareBytes(const std::string& a, const std::string& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (order != 0) return sign(order);
  return compareScalar(a.size(), b.size());
}

// Compares content of two values of the same alternative (checked by the caller, so `peer`
// never yields null).
struct ContentComparer {
  const EncodableVariant& other;

  template <typename T>
  const T& peer() const {
    return *std::get_if<T>(&other);
  }

  int operator()(std::monostate) const { return 0; }
  int operator()(bool value) const { return compareScalar(value, peer<bool>()); }
  int operator()(int32_t value) const { return compareScalar(value, peer<int32_t>()); }
  int operator()(int64_t value) const { return compareScalar(value, peer<int64_t>()); }
  int operator()(double value) const { return compareFloating(value, peer<double>()); }
  int operator()(const std::string& value) const {
    return compareBytes(value, peer<std::string>());
  }
  int operator()(const CustomEncodableValue& value) const {
    const auto& theirs = peer<CustomEncodableValue>();
    return (theirs < value) - (value < theirs);
  }
  template <typename Container>
  int operator()(const Container& value) const {
    return compareSequence(value, peer<Container>());
  }
};

}  // namespace

int EncodableValue::Compare(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return compareScalar(a.index(), b.index());
  return std::visit(ContentComparer{b}, static_cast<const EncodableVariant&>(a));
}

int64_t EncodableValue::LongValue() const {
  if (const auto* value = std::get_if<int32_t>(this)) return *value;
  if (const auto* value = std::get_if<int64_t>(this)) return *value;
  return 0;
}

}  // namespace tidvale
