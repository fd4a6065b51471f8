#include "automation/variant.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "automation/wide_string.h"

namespace automation {

Variant Variant::null() { return Variant(kVtNull, std::monostate{}); }
Variant Variant::i1(std::int8_t v) { return Variant(kVtI1, std::int64_t{v}); }
Variant Variant::i2(std::int16_t v) { return Variant(kVtI2, std::int64_t{v}); }
Variant Variant::i4(std::int32_t v) { return Variant(kVtI4, std::int64_t{v}); }
Variant Variant::i8(std::int64_t v) { return Variant(kVtI8, v); }
Variant Variant::ui1(std::uint8_t v) { return Variant(kVtUI1, std::uint64_t{v}); }
Variant Variant::ui2(std::uint16_t v) { return Variant(kVtUI2, std::uint64_t{v}); }
Variant Variant::ui4(std::uint32_t v) { return Variant(kVtUI4, std::uint64_t{v}); }
Variant Variant::ui8(std::uint64_t v) { return Variant(kVtUI8, v); }
Variant Variant::r4(float v) { return Variant(kVtR4, double{v}); }
Variant Variant::r8(double v) { return Variant(kVtR8, v); }
Variant Variant::boolean(bool v) { return Variant(kVtBool, std::int64_t{v ? -1 : 0}); }
Variant Variant::text(std::u16string v) { return Variant(kVtText, std::move(v)); }
Variant Variant::byteArray(std::vector<std::uint8_t> bytes) {
  return Variant(kVtArray | kVtUI1, std::move(bytes));
}
Variant Variant::arrayOf(VarType elementType, std::size_t count) {
  return Variant(kVtArray | elementType, std::vector<std::uint8_t>(count));
}

namespace {

Status fromWide(std::int64_t v, std::int32_t* out) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return status::kOverflow;
  *out = static_cast<std::int32_t>(v);
  return status::kOk;
}

Status fromReal(double v, std::int32_t* out) {
  if (!std::isfinite(v)) return status::kOverflow;
  const double rounded = std::nearbyint(v);  // default rounding mode: halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return status::kOverflow;
  *out = static_cast<std::int32_t>(rounded);
  return status::kOk;
}

// A number as the user would type it: blanks around it, a sign, digits, the
// locale's decimal separator and fraction digits, an optional exponent.
std::optional<double> parseLocaleNumber(const std::string& text) {
  const char* point = std::localeconv()->decimal_point;
  const char separator = (point && point[0]) ? point[0] : '.';
  std::size_t i = 0, end = text.size();
  while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  std::string canonical;
  if (i < end && (text[i] == '+' || text[i] == '-')) canonical += text[i++];
  bool digits = false;
  while (i < end && text[i] >= '0' && text[i] <= '9') canonical += text[i++], digits = true;
  if (i < end && text[i] == separator) {
    canonical += separator;
    ++i;
    while (i < end && text[i] >= '0' && text[i] <= '9') canonical += text[i++], digits = true;
  }
  if (!digits) return std::nullopt;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    canonical += text[i++];
    if (i < end && (text[i] == '+' || text[i] == '-')) canonical += text[i++];
    bool exponentDigits = false;
    while (i < end && text[i] >= '0' && text[i] <= '9') canonical += text[i++], exponentDigits = true;
    if (!exponentDigits) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  // strtod reads the same locale's separator, so the canonical text parses whole.
  // Out of range it answers +-HUGE_VAL (refused later) or, for a magnitude
  // below the smallest double, a value that rounds to 0 like any tiny number.
  char* used = nullptr;
  const double value = std::strtod(canonical.c_str(), &used);
  if (used != canonical.c_str() + canonical.size()) return std::nullopt;
  return value;
}

}  // namespace

Status changeToInt32(const Variant& value, std::int32_t* out) {
  if (value.isArray()) return status::kTypeMismatch;
  switch (value.type()) {
    case kVtEmpty:
      *out = 0;
      return status::kOk;
    case kVtI1:
    case kVtI2:
    case kVtI4:
    case kVtI8:
    case kVtBool:
      return fromWide(value.integer(), out);
    case kVtUI1:
    case kVtUI2:
    case kVtUI4:
    case kVtUI8:
      if (value.unsignedInteger() > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return status::kOverflow;
      *out = static_cast<std::int32_t>(value.unsignedInteger());
      return status::kOk;
    case kVtR4:
    case kVtR8:
      return fromReal(value.real(), out);
    case kVtText: {
      const auto number = parseLocaleNumber(toUtf8(value.text()));
      if (!number) return status::kTypeMismatch;
      return fromReal(*number, out);
    }
    default:
      return status::kTypeMismatch;  // null and anything we do not know
  }
}

}  // namespace automation
