#include "device/config_block.h"

#include <algorithm>

namespace config {

std::uint32_t shownValue(const Field& field, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return field.size == 1 ? (bits & 0xFFu) : (bits & 0xFFFFu);
}

std::vector<std::uint8_t> encode(const Values& values, bool save) {
  std::vector<std::uint8_t> image(kSize, 0);
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    const auto bits = static_cast<std::uint32_t>(values[i]);
    for (int byte = 0; byte < kFields[i].size; ++byte)
      image[kFields[i].offset + byte] = static_cast<std::uint8_t>(bits >> (8 * byte));
  }
  if (save) std::copy(kSaveMarker.begin(), kSaveMarker.end(), image.begin() + kSaveMarkerOffset);
  return image;
}

}  // namespace config
