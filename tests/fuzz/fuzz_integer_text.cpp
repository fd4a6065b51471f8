// The integer-text rule against a second, deliberately plain reading of it.
// Any disagreement aborts, and so does a refusal whose message is not exact.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "device/failure.h"
#include "device/integer_text.h"

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  const std::string_view digits = "0123456789abcdef";
  const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  const auto at = digits.find(lower);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Written from the rule alone, without looking at how the product does it.
std::optional<std::int32_t> reference(std::string_view text) {
  const auto start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);

  for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
    if (!text.starts_with(prefix)) continue;
    std::string_view digits = text.substr(prefix.size());
    if (digits.empty()) return std::nullopt;
    for (const char c : digits)
      if (hexValue(c) < 0) return std::nullopt;
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > 8) return std::nullopt;
    std::uint64_t pattern = 0;
    for (const char c : digits) pattern = pattern * 16 + static_cast<std::uint64_t>(hexValue(c));
    const std::int64_t asSigned = pattern >= 0x80000000u ? static_cast<std::int64_t>(pattern) - 0x100000000LL
                                                           : static_cast<std::int64_t>(pattern);
    return static_cast<std::int32_t>(asSigned);
  }

  bool negative = false;
  if (text.starts_with('+') || text.starts_with('-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (const char c : text)
    if (!isDecimalDigit(c)) return std::nullopt;
  while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
  if (text.size() > 10) return std::nullopt;
  std::int64_t magnitude = 0;
  for (const char c : text) magnitude = magnitude * 10 + (c - '0');
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

[[noreturn]] void mismatch(const std::string& text, const char* what) {
  std::fprintf(stderr, "integer text mismatch on '%s' (%zu bytes): %s\n", text.c_str(), text.size(), what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto expected = reference(text);
  const auto got = device::parseIntegerText(text);
  if (got != expected) mismatch(text, expected ? "reference accepts, product differs" : "reference refuses, product accepts");

  try {
    const std::int32_t value = device::integerFromText(text);
    if (!expected || value != *expected) mismatch(text, "integerFromText differs from the reference");
  } catch (const device::Failure& failure) {
    if (expected) mismatch(text, "integerFromText raised for valid text");
    // what() ends at the first NUL a fuzzed text may hold; compare just as far.
    const std::string wanted = "'" + text + "' is not a valid integer value";
    if (std::string(failure.what()) != wanted.c_str()) mismatch(text, "message is not the exact one");
  }
  return 0;
}
