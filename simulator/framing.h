#pragma once
// Cutting RTU requests out of the bytes a serial line delivers.
//
// The simulator frames requests itself, request by request, so that a request
// to another station on the same line (which it must not answer) still leaves
// it in step for the next one. Only the request lengths of FC03, FC06 and FC16
// are known from their heads; any other data is delimited by the line going
// quiet (the RTU inter-frame silence), which the caller observes.
//
// Both functions read only data[0 .. size) and accept any input, including
// size 0 and arbitrary bytes.
#include <cstddef>
#include <cstdint>

namespace framing {

inline constexpr std::size_t kMaxFrame = 256;  // largest RTU frame: station, PDU <= 253, CRC
inline constexpr std::size_t kMinFrame = 4;    // station, function, CRC

enum class Verdict {
  NeedMore,  // no decision until more bytes arrive (or the line goes quiet)
  Frame,     // data[0 .. length) is a frame with a good CRC
  Skip,      // drop data[0 .. length): it cannot start a frame
};

struct Scan {
  Verdict verdict;
  std::size_t length;  // 0 for NeedMore; >= 1 and <= size otherwise
};

// What the bytes received so far (oldest first) hold at their start.
Scan scan(const std::uint8_t* data, std::size_t size);

// The same once the line has been quiet for an inter-frame silence: whatever
// is pending is all there is, so it is one frame or it is dropped whole.
Scan scanAtSilence(const std::uint8_t* data, std::size_t size);

}  // namespace framing
