#pragma once
// The one rule by which every number the operator types is read: leading
// spaces, then a signed decimal or an unsigned hexadecimal ($, x, X, 0x, 0X)
// number filling the rest of the text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace device {

std::optional<std::int32_t> parseIntegerText(std::string_view text);

// As parseIntegerText, raising "'<text>' is not a valid integer value".
std::int32_t integerFromText(const std::string& text);

}  // namespace device
