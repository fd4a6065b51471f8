// Thousands of transactions through the real driver while the simulator
// spoils one answer in ten, every kind mixed. Whatever the line does, a read
// that succeeds returns what the module holds, and a failure comes back in
// bounded time with a message.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "device/config_block.h"
#include "device/io_bytes.h"
#include "simulator/register_model.h"
#include "tests/fixtures/simulator_harness.h"
#include "tests/soak/soak_fixture.h"

namespace {

using automation::Variant;
using namespace soak;

constexpr int kTimeoutMs = 40;
constexpr int kRetries = 1;
constexpr int kLateMs = 55;  // just beyond the time-out: the answer the drain must keep out
// Per failing call: every attempt's time-out, the quiet wait a late answer
// costs, and a byte time-out for a frame that stops short; the slack is wide
// because this bounds behaviour (no hang, no endless retry), not speed.
constexpr auto kFailureBound = std::chrono::milliseconds((kRetries + 1) * kTimeoutMs + 1500);

enum class Op { ReadConfig, WriteConfig, WriteOutputs, ReadInputs };

const char* opName(Op op) {
  switch (op) {
    case Op::ReadConfig: return "config read";
    case Op::WriteConfig: return "config write";
    case Op::WriteOutputs: return "output write";
    case Op::ReadInputs: return "input read";
  }
  return "?";
}

struct Tally {
  int calls = 0;
  int succeeded = 0;
  std::map<std::string, int> failures;  // by description, for the summary
  Clock::duration slowestFailure{};
};

// What the module holds, as far as our writes tell. A write whose answer was
// spoiled still took effect in the simulator, so every write is applied here.
struct Model {
  Bytes config;
  std::uint8_t outputs = 0;
};

Bytes defaultConfigBytes() {
  const auto block = simcore::defaultConfig();
  return Bytes(block.begin(), block.end());
}

Bytes randomConfig(std::mt19937& random) {
  Bytes bytes(config::kSize);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  // Never the save command: this run is about the line, not the flash.
  if (std::equal(config::kSaveMarker.begin(), config::kSaveMarker.end(), bytes.begin() + config::kSaveMarkerOffset))
    bytes[config::kSaveMarkerOffset] = 0;
  return bytes;
}

void soakRun(std::uint64_t seed, int transactions, Tally* tally) {
  simtest::SimulatorProcess sim({"--pty", "--loopback", "--quiet", "--fault", "drop,crc,station,late,garbage,truncate",
                                 "--fault-probability", "0.1", "--seed", std::to_string(seed), "--late-ms",
                                 std::to_string(kLateMs)});
  auto tarvik = makeDriver();
  ASSERT_TRUE(tarvik);
  const std::string connection = "serialPort:" + sim.where() + "/38400/8/2;timeout=" + std::to_string(kTimeoutMs) +
                                 ";retries=" + std::to_string(kRetries);
  ASSERT_EQ(tarvik->SetConnection(text(connection)), automation::status::kOk) << takeFailure().description;
  ASSERT_EQ(tarvik->SetAddress(8), automation::status::kOk);

  Model model{defaultConfigBytes(), 0};
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  for (int i = 0; i < transactions; ++i) {
    const Op op = static_cast<Op>(random() % 4);
    automation::takeErrorInfo();  // start clean: a failure must leave its own
    Bytes got;
    Bytes written;
    std::uint8_t outputs = 0;
    const auto start = Clock::now();
    automation::Status status = automation::status::kOk;
    switch (op) {
      case Op::ReadConfig:
        status = readBlock(*tarvik, config::kBlock, config::kOffset, config::kSize, &got);
        break;
      case Op::WriteConfig:
        written = randomConfig(random);
        status = tarvik->WriteBlock(config::kBlock, config::kOffset, Variant::byteArray(written));
        model.config = written;
        break;
      case Op::WriteOutputs:
        outputs = static_cast<std::uint8_t>(random());
        status = tarvik->WriteBlock(io::kBlock, io::kOutputOffset, Variant::i4(outputs));
        model.outputs = outputs;
        break;
      case Op::ReadInputs:
        status = readBlock(*tarvik, io::kBlock, io::kInputOffset, io::kInputCount, &got);
        break;
    }
    const auto took = Clock::now() - start;
    ++tally->calls;
    const std::string where = "seed " + std::to_string(seed) + ", call " + std::to_string(i) + " (" + opName(op) + ")";

    if (automation::succeeded(status)) {
      ++tally->succeeded;
      if (op == Op::ReadConfig) {
        ASSERT_EQ(got, model.config) << "wrong data returned as success, " << where;
      } else if (op == Op::ReadInputs) {
        ASSERT_EQ(got, (Bytes{model.outputs, 0x00})) << "wrong data returned as success, " << where;
      }
      continue;
    }
    const Failure failure = takeFailure();
    ASSERT_TRUE(failure.present) << "a failure without error information, " << where;
    ASSERT_EQ(failure.source, std::u16string(device::kDriverClassName)) << where;
    ASSERT_FALSE(failure.description.empty()) << where;
    ASSERT_LE(took, kFailureBound) << where << ": " << failure.description;
    ++tally->failures[failure.description];
    tally->slowestFailure = std::max(tally->slowestFailure, took);
  }
}

class FaultSoak : public testing::TestWithParam<std::uint64_t> {};

// Two seeds of 5000 each, so that a parallel test run spreads them over cores.
TEST_P(FaultSoak, NoWrongDataNoHangEveryFailureExplained) {
  Tally tally;
  soakRun(GetParam(), 5000, &tally);
  std::printf("seed %llu: %d of %d calls succeeded (%.1f %%)\n", static_cast<unsigned long long>(GetParam()),
              tally.succeeded, tally.calls, tally.calls ? 100.0 * tally.succeeded / tally.calls : 0.0);
  std::printf("  slowest failure %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(tally.slowestFailure).count()));
  for (const auto& [description, count] : tally.failures) std::printf("  %5d x %s\n", count, description.c_str());
  // With one answer in ten spoiled and one retry, most calls get through.
  EXPECT_GT(tally.succeeded, tally.calls * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultSoak, testing::Values(11u, 29u));

}  // namespace
