#pragma once
// Automation variants: the kinds that cross the driver interface, and the
// conversion to a 32-bit integer that the window applies to every value.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "automation/status.h"

namespace automation {

// Variant type codes; the numbers are part of the driver interface
// (17 and 18 are passed to the driver as arguments).
enum VarType : std::uint16_t {
  kVtEmpty = 0,
  kVtNull = 1,
  kVtI2 = 2,
  kVtI4 = 3,
  kVtR4 = 4,
  kVtR8 = 5,
  kVtText = 8,
  kVtBool = 11,
  kVtI1 = 16,
  kVtUI1 = 17,
  kVtUI2 = 18,
  kVtUI4 = 19,
  kVtI8 = 20,
  kVtUI8 = 21,
  kVtArray = 0x2000,
};

class Variant {
 public:
  Variant() = default;  // empty

  static Variant null();
  static Variant i1(std::int8_t v);
  static Variant i2(std::int16_t v);
  static Variant i4(std::int32_t v);
  static Variant i8(std::int64_t v);
  static Variant ui1(std::uint8_t v);
  static Variant ui2(std::uint16_t v);
  static Variant ui4(std::uint32_t v);
  static Variant ui8(std::uint64_t v);
  static Variant r4(float v);
  static Variant r8(double v);
  static Variant boolean(bool v);
  static Variant text(std::u16string v);
  // One-dimensional array of unsigned bytes, lower bound 0.
  static Variant byteArray(std::vector<std::uint8_t> bytes);
  // An array of another element kind; its elements are never looked at.
  static Variant arrayOf(VarType elementType, std::size_t count);

  std::uint16_t type() const { return type_; }
  bool isArray() const { return (type_ & kVtArray) != 0; }
  bool isEmpty() const { return type_ == kVtEmpty; }

  // Accessors for the kind the variant holds; callers check type() first.
  std::int64_t integer() const { return std::get<std::int64_t>(value_); }
  std::uint64_t unsignedInteger() const { return std::get<std::uint64_t>(value_); }
  double real() const { return std::get<double>(value_); }
  const std::u16string& text() const { return std::get<std::u16string>(value_); }
  const std::vector<std::uint8_t>& bytes() const { return std::get<std::vector<std::uint8_t>>(value_); }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  using Value = std::variant<std::monostate, std::int64_t, std::uint64_t, double, std::u16string,
                             std::vector<std::uint8_t>>;
  Variant(std::uint16_t type, Value value) : type_(type), value_(std::move(value)) {}

  std::uint16_t type_ = kVtEmpty;
  Value value_;
};

// Converts to a 32-bit signed integer: integer kinds as they are, reals
// rounded to nearest with halves to even, empty gives 0, booleans 0 / -1,
// text as a number in the user's locale. Null, arrays, unparsable text and
// values outside the 32-bit range are refused.
Status changeToInt32(const Variant& value, std::int32_t* out);

}  // namespace automation
