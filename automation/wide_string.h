#pragma once
// Automation strings are UTF-16; a null string is the automation form of "".
#include <optional>
#include <string>
#include <string_view>

namespace automation {

using WideString = std::optional<std::u16string>;

// An empty text becomes the null string.
WideString makeWideString(std::u16string text);
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace automation
