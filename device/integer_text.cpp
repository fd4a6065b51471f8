#include "device/integer_text.h"

#include "device/failure.h"

namespace device {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Any number of leading zeros, then at most eight digits: a 32-bit pattern.
std::optional<std::int32_t> parseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::size_t i = 0;
  while (i < digits.size() && digits[i] == '0') ++i;
  if (digits.size() - i > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    const int d = hexDigit(c);
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(d);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> parseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

std::optional<std::int32_t> parseIntegerText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return parseHex(text.substr(1));
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return parseHex(text.substr(2));
  return parseDecimal(text);
}

std::int32_t integerFromText(const std::string& text) {
  if (const auto value = parseIntegerText(text)) return *value;
  std::string message = messages::kInvalidInteger;
  message.replace(message.find("%s"), 2, text);
  throw Failure(message);
}

}  // namespace device
