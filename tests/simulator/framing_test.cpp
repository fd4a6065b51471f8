#include "simulator/framing.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "simulator/crc16.h"
#include "simulator/fault_plan.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using framing::Verdict;

Bytes frame(std::uint8_t station, Bytes pdu) { return simcore::rtuFrame(station, pdu); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes kRead = frame(8, {0x03, 0x01, 0x00, 0x00, 0x10});
const Bytes kWriteOne = frame(8, {0x06, 0x02, 0x02, 0x00, 0x5A});
const Bytes kWriteTwo = frame(8, {0x10, 0x01, 0x00, 0x00, 0x02, 0x04, 0x05, 0x06, 0xE8, 0x03});

TEST(Crc16, MatchesAKnownFrame) {
  // Read 10 registers from 0 at station 1: the CRC on the wire is C5 CD.
  const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
  EXPECT_EQ(simcore::crc16(request.data(), request.size()), 0xCDC5);
}

struct ScanCase {
  const char* name;
  Bytes bytes;
  Verdict verdict;
  std::size_t length;
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }

class FramingScan : public testing::TestWithParam<ScanCase> {};

TEST_P(FramingScan, Decides) {
  const auto& c = GetParam();
  const auto scan = framing::scan(c.bytes.data(), c.bytes.size());
  EXPECT_EQ(scan.verdict, c.verdict);
  EXPECT_EQ(scan.length, c.length);
}

Bytes damaged(Bytes bytes) {
  bytes.back() ^= 0x01;
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FramingScan,
    testing::Values(
        ScanCase{"empty", {}, Verdict::NeedMore, 0},
        ScanCase{"one_byte", {0x08}, Verdict::NeedMore, 0},
        ScanCase{"read", kRead, Verdict::Frame, 8},
        ScanCase{"write_one", kWriteOne, Verdict::Frame, 8},
        ScanCase{"write_two", kWriteTwo, Verdict::Frame, 13},
        ScanCase{"other_station_is_still_a_frame", frame(9, {0x03, 0x01, 0x00, 0x00, 0x01}), Verdict::Frame, 8},
        ScanCase{"read_then_more", concat({kRead, kWriteOne}), Verdict::Frame, 8},
        ScanCase{"read_short_by_one", Bytes(kRead.begin(), kRead.end() - 1), Verdict::NeedMore, 0},
        ScanCase{"write_two_head_only", Bytes(kWriteTwo.begin(), kWriteTwo.begin() + 5), Verdict::NeedMore, 0},
        ScanCase{"write_two_payload_missing", Bytes(kWriteTwo.begin(), kWriteTwo.end() - 3), Verdict::NeedMore, 0},
        ScanCase{"bad_crc_slides_one_byte", damaged(kRead), Verdict::Skip, 1},
        ScanCase{"byte_count_too_big", {0x08, 0x10, 0x01, 0x00, 0x00, 0x7C, 0xF8, 0, 0}, Verdict::Skip, 1},
        ScanCase{"unknown_head_then_frame", concat({{0xFF, 0x13, 0x55}, kRead}), Verdict::Skip, 3},
        ScanCase{"unknown_head_alone_waits", {0x08, 0x11, 0x22}, Verdict::NeedMore, 0},
        ScanCase{"bogus_write_head_then_frame", concat({{0x00, 0x10, 0x01, 0x00, 0x00, 0x40, 0x80}, kRead}),
                 Verdict::Skip, 7}),
    [](const auto& info) { return std::string(info.param.name); });

class FramingSilence : public testing::TestWithParam<ScanCase> {};

TEST_P(FramingSilence, Decides) {
  const auto& c = GetParam();
  const auto scan = framing::scanAtSilence(c.bytes.data(), c.bytes.size());
  EXPECT_EQ(scan.verdict, c.verdict);
  EXPECT_EQ(scan.length, c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FramingSilence,
    testing::Values(ScanCase{"empty", {}, Verdict::NeedMore, 0},
                    ScanCase{"unknown_function_with_good_crc", frame(8, {0x11}), Verdict::Frame, 4},
                    ScanCase{"unknown_function_bad_crc", damaged(frame(8, {0x2B, 0x0E, 0x01, 0x00})), Verdict::Skip, 7},
                    ScanCase{"truncated_read_dropped_whole", Bytes(kRead.begin(), kRead.begin() + 6), Verdict::Skip, 6},
                    ScanCase{"complete_read", kRead, Verdict::Frame, 8}),
    [](const auto& info) { return std::string(info.param.name); });

// Feeds a stream in chunks the way the simulator's loop does and returns the
// frames it cut out.
std::vector<Bytes> cut(const Bytes& stream, std::size_t chunk) {
  std::vector<Bytes> frames;
  Bytes pending;
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    pending.insert(pending.end(), stream.begin() + at, stream.begin() + std::min(stream.size(), at + chunk));
    while (!pending.empty()) {
      const auto scan = framing::scan(pending.data(), pending.size());
      if (scan.verdict == Verdict::NeedMore) break;
      if (scan.verdict == Verdict::Frame) frames.emplace_back(pending.begin(), pending.begin() + scan.length);
      pending.erase(pending.begin(), pending.begin() + scan.length);
    }
  }
  return frames;
}

TEST(FramingStream, StaysInStepAcrossOtherStationsAndNoiseWhateverTheChunks) {
  const Bytes toOther = frame(9, {0x10, 0x01, 0x00, 0x00, 0x03, 0x06, 0x08, 0x03, 0x01, 0x00, 0x00, 0x10});
  const Bytes stream = concat({toOther, {0xFF, 0x00}, kRead, damaged(kWriteOne), kWriteTwo});
  for (std::size_t chunk : {1u, 2u, 3u, 7u, 64u}) {
    SCOPED_TRACE(chunk);
    const auto frames = cut(stream, chunk);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], toOther);
    EXPECT_EQ(frames[1], kRead);
    EXPECT_EQ(frames[2], kWriteTwo);
  }
}

TEST(FramingStream, AnyBytesGiveAnswersWithinTheBuffer) {
  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    Bytes bytes(random() % 300);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 0x10 : random());
    for (auto scanner : {framing::scan, framing::scanAtSilence}) {
      const auto scan = scanner(bytes.data(), bytes.size());
      if (scan.verdict == Verdict::NeedMore) {
        EXPECT_EQ(scan.length, 0u);
        EXPECT_LT(bytes.size(), framing::kMaxFrame);
      } else {
        ASSERT_GE(scan.length, 1u);
        ASSERT_LE(scan.length, bytes.size());
      }
      if (scan.verdict == Verdict::Frame) {
        const auto crc = simcore::crc16(bytes.data(), scan.length - 2);
        EXPECT_EQ(bytes[scan.length - 2] | (bytes[scan.length - 1] << 8), crc);
      }
    }
  }
}

}  // namespace
