#include "simulator/framing.h"

#include "driver/register_map.h"
#include "simulator/crc16.h"

namespace framing {
namespace {

bool crcGood(const std::uint8_t* frame, std::size_t length) {
  if (length < kMinFrame) return false;
  const std::uint16_t crc = simcore::crc16(frame, length - 2);
  return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

// Length of the request starting at data[0] when its function is one we know:
// 0 = unknown function, SIZE_MAX = cannot be a request, else the frame length,
// which may exceed size (then more bytes are needed).
constexpr std::size_t kUnknown = 0;
constexpr std::size_t kImpossible = static_cast<std::size_t>(-1);

std::size_t requestLength(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return kUnknown;
  switch (data[1]) {
    case 0x03:
    case 0x06:
      return 8;  // station, function, address, count or value, CRC
    case 0x10: {
      if (size < 7) return 9;  // byte count not here yet: at least head and CRC
      const std::size_t byteCount = data[6];
      if (byteCount > 2 * static_cast<std::size_t>(regmap::kMaxWriteRegisters)) return kImpossible;
      return 9 + byteCount;
    }
    default:
      return kUnknown;
  }
}

// A complete known request with a good CRC at data[0]?
bool completeFrameAt(const std::uint8_t* data, std::size_t size) {
  const std::size_t length = requestLength(data, size);
  if (length == kUnknown || length == kImpossible || length > size) return false;
  return crcGood(data, length);
}

// While the start cannot be decided yet, a complete request further on shows
// that the start was noise: skip up to it rather than wait for the line to go quiet.
Scan waitOrSkipToLaterFrame(const std::uint8_t* data, std::size_t size) {
  for (std::size_t k = 1; k + kMinFrame <= size; ++k)
    if (completeFrameAt(data + k, size - k)) return {Verdict::Skip, k};
  if (size >= kMaxFrame) return {Verdict::Skip, 1};
  return {Verdict::NeedMore, 0};
}

}  // namespace

Scan scan(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 2) return {Verdict::NeedMore, 0};
  const std::size_t length = requestLength(data, size);
  if (length == kImpossible) return {Verdict::Skip, 1};
  if (length == kUnknown || length > size) return waitOrSkipToLaterFrame(data, size);
  if (crcGood(data, length)) return {Verdict::Frame, length};
  return {Verdict::Skip, 1};
}

Scan scanAtSilence(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) return {Verdict::NeedMore, 0};
  const Scan now = scan(data, size);
  if (now.verdict != Verdict::NeedMore) return now;
  if (size <= kMaxFrame && crcGood(data, size)) return {Verdict::Frame, size};
  return {Verdict::Skip, size};
}

}  // namespace framing
