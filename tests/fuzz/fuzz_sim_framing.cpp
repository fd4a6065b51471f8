// The simulator's RTU framing on arbitrary line bytes: it must stay inside the
// input, claim only frames with a good CRC, and a receive loop built on it
// must always make progress.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "simulator/crc16.h"
#include "simulator/framing.h"

namespace {

[[noreturn]] void fail(const char* what, std::size_t size, std::size_t length) {
  std::fprintf(stderr, "framing: %s (input %zu bytes, claimed %zu)\n", what, size, length);
  std::abort();
}

void checkVerdict(const framing::Scan& s, const std::uint8_t* data, std::size_t size) {
  using framing::Verdict;
  if (s.length > size) fail("claims more bytes than the input holds", size, s.length);
  if (s.verdict == Verdict::NeedMore) {
    if (s.length != 0) fail("NeedMore with a length", size, s.length);
    return;
  }
  if (s.length == 0) fail("a decision that consumes nothing", size, s.length);
  if (s.verdict != Verdict::Frame) return;
  if (s.length < framing::kMinFrame || s.length > framing::kMaxFrame) fail("frame of impossible length", size, s.length);
  const std::uint16_t crc = simcore::crc16(data, s.length - 2);
  if (data[s.length - 2] != (crc & 0xFF) || data[s.length - 1] != (crc >> 8))
    fail("frame with a bad CRC", size, s.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  // An exact-size copy, so that AddressSanitizer sees any read past the end.
  const std::vector<std::uint8_t> copy(bytes, bytes + size);
  const std::uint8_t* data = copy.data();

  const framing::Scan whole = framing::scan(data, size);
  checkVerdict(whole, data, size);
  // A frame is decided by its own bytes: cut down to exactly it, it is still that frame.
  if (whole.verdict == framing::Verdict::Frame) {
    const std::vector<std::uint8_t> frame(data, data + whole.length);
    const framing::Scan alone = framing::scan(frame.data(), frame.size());
    if (alone.verdict != framing::Verdict::Frame || alone.length != whole.length)
      fail("a frame is not a frame on its own", size, whole.length);
  }
  if (size > 0 && framing::scanAtSilence(data, size).verdict == framing::Verdict::NeedMore)
    fail("still waiting after the line went quiet", size, 0);

  // The receive loop: consume decisions, and at silence take what is left.
  std::size_t at = 0;
  while (at < size) {
    const std::size_t left = size - at;
    std::vector<std::uint8_t> rest(data + at, data + size);
    framing::Scan s = framing::scan(rest.data(), left);
    checkVerdict(s, rest.data(), left);
    if (s.verdict == framing::Verdict::NeedMore) {
      s = framing::scanAtSilence(rest.data(), left);
      checkVerdict(s, rest.data(), left);
      if (s.verdict == framing::Verdict::NeedMore) fail("no progress at silence", left, 0);
    }
    at += s.length;
  }
  return 0;
}
