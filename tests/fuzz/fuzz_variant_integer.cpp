// Variants of every kind built from the fuzzer's bytes, converted to an
// integer. Beyond not crashing, each answer must agree with what the kind's
// value says on its own terms; the adapter must raise exactly when the
// conversion refuses.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "automation/variant.h"
#include "automation/wide_string.h"
#include "device/device_link.h"
#include "device/failure.h"

namespace {

using automation::Variant;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "variant conversion: %s\n", what);
  std::abort();
}

template <class T>
T take(const std::uint8_t* data, std::size_t size) {
  T value{};
  std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
  return value;
}

void expectExactly(const Variant& v, std::int64_t value) {
  std::int32_t out = 0;
  const bool fits = value >= INT32_MIN && value <= INT32_MAX;
  const bool ok = automation::succeeded(automation::changeToInt32(v, &out));
  if (ok != fits) fail(fits ? "an integer in range was refused" : "an integer out of range was accepted");
  if (ok && out != value) fail("an integer did not round-trip");
}

void expectRounded(const Variant& v, double value) {
  std::int32_t out = 0;
  const bool ok = automation::succeeded(automation::changeToInt32(v, &out));
  // Nearest, halves to even: -2147483648.5 goes to the even minimum, 2147483647.5 out of range.
  const bool fits = std::isfinite(value) && value >= -2147483648.5 && value < 2147483647.5;
  if (ok != fits) fail(fits ? "a real in range was refused" : "a real out of range was accepted");
  if (!ok) return;
  const double distance = std::fabs(static_cast<double>(out) - value);
  if (distance > 0.5) fail("a real was not rounded to nearest");
  if (distance == 0.5 && out % 2 != 0) fail("a half was not rounded to even");
}

void checkText(const Variant& v) {
  std::int32_t out = 0;
  const bool ok = automation::succeeded(automation::changeToInt32(v, &out));
  // A plain short decimal in the C locale must come out as itself.
  const std::string utf8 = automation::toUtf8(v.text());
  bool plain = !utf8.empty() && utf8.size() <= 9;
  for (const char c : utf8) plain = plain && c >= '0' && c <= '9';
  if (plain && (!ok || out != std::stoi(utf8))) fail("a plain decimal text did not convert to itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t kind = data[0];
  ++data;
  --size;

  Variant v;
  switch (kind % 16) {
    case 0: v = Variant(); break;
    case 1: v = Variant::null(); break;
    case 2: v = Variant::i1(take<std::int8_t>(data, size)); expectExactly(v, v.integer()); break;
    case 3: v = Variant::i2(take<std::int16_t>(data, size)); expectExactly(v, v.integer()); break;
    case 4: v = Variant::i4(take<std::int32_t>(data, size)); expectExactly(v, v.integer()); break;
    case 5: v = Variant::i8(take<std::int64_t>(data, size)); expectExactly(v, v.integer()); break;
    case 6: v = Variant::ui1(take<std::uint8_t>(data, size)); break;
    case 7: v = Variant::ui2(take<std::uint16_t>(data, size)); break;
    case 8: v = Variant::ui4(take<std::uint32_t>(data, size)); break;
    case 9: v = Variant::ui8(take<std::uint64_t>(data, size)); break;
    case 10: v = Variant::r4(take<float>(data, size)); expectRounded(v, v.real()); break;
    case 11: v = Variant::r8(take<double>(data, size)); expectRounded(v, v.real()); break;
    case 12: v = Variant::boolean(size > 0 && (data[0] & 1)); break;
    case 13:
      v = Variant::text(automation::fromUtf8({reinterpret_cast<const char*>(data), size}));
      checkText(v);
      break;
    case 14: v = Variant::byteArray({data, data + size}); break;
    default: v = Variant::arrayOf(automation::kVtI4, size); break;
  }

  std::int32_t out = 0;
  const bool ok = automation::succeeded(automation::changeToInt32(v, &out));
  switch (v.type()) {
    case automation::kVtUI1:
    case automation::kVtUI2:
    case automation::kVtUI4:
    case automation::kVtUI8: {
      const bool fits = v.unsignedInteger() <= INT32_MAX;
      if (ok != fits || (ok && static_cast<std::uint64_t>(out) != v.unsignedInteger()))
        fail("an unsigned integer did not round-trip");
      break;
    }
    case automation::kVtBool:
      if (!ok || out != v.integer() || (out != 0 && out != -1)) fail("a boolean is not 0 or -1");
      break;
    case automation::kVtEmpty:
      if (!ok || out != 0) fail("empty is not 0");
      break;
    case automation::kVtNull:
      if (ok) fail("null was accepted");
      break;
    default:
      if (v.isArray() && ok) fail("an array was accepted");
      break;
  }

  // The adapter agrees with the conversion, and raises the one message it has.
  try {
    const std::int32_t adapted = device::integerFromVariant(v);
    if (!ok || adapted != out) fail("integerFromVariant differs from changeToInt32");
  } catch (const device::Failure& failure) {
    if (ok) fail("integerFromVariant raised for a convertible value");
    if (std::string(failure.what()) != "Invalid variant type conversion") fail("wrong refusal message");
  }
  return 0;
}
