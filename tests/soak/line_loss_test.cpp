// The line goes away in the middle of a session: the simulator crashes or is
// stopped while the driver holds the port, and comes back under the same
// alias. The call in between fails and says so; the next call after the
// restart goes through without a new SetConnection.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "device/config_block.h"
#include "simulator/register_model.h"
#include "tests/fixtures/simulator_harness.h"
#include "tests/soak/soak_fixture.h"

namespace {

using namespace soak;
using simtest::SimulatorProcess;
namespace st = automation::status;

enum class Loss { Killed, Stopped };

struct LossCase {
  const char* name;
  Loss loss;
  int callsWhileAway;  // calls made while no simulator is there at all
};

const LossCase kCases[] = {
    {"KilledAndBackAtOnce", Loss::Killed, 0},
    {"KilledAndAwayForTwoCalls", Loss::Killed, 2},
    {"StoppedAndBackAtOnce", Loss::Stopped, 0},
    {"StoppedAndAwayForTwoCalls", Loss::Stopped, 2},
};

void PrintTo(const LossCase& c, std::ostream* out) { *out << c.name; }

std::unique_ptr<SimulatorProcess> startSimulator() {
  return std::make_unique<SimulatorProcess>(std::vector<std::string>{"--pty", "--name", "COM3"});
}

Bytes defaultConfigBytes() {
  const auto block = simcore::defaultConfig();
  return Bytes(block.begin(), block.end());
}

class LineLoss : public testing::TestWithParam<LossCase> {};

TEST_P(LineLoss, FailsClearlyThenCarriesOnAfterTheRestart) {
  const LossCase& c = GetParam();
  auto sim = startSimulator();
  auto tarvik = makeDriver();
  ASSERT_TRUE(tarvik);
  ASSERT_EQ(tarvik->SetConnection(text("serialPort:COM3/38400/8/2;timeout=100")), st::kOk) << takeFailure().description;
  ASSERT_EQ(tarvik->SetAddress(8), st::kOk);
  Bytes got;
  ASSERT_EQ(readBlock(*tarvik, config::kBlock, 0, config::kSize, &got), st::kOk) << takeFailure().description;

  if (c.loss == Loss::Killed) sim->kill();
  else sim->stop();
  sim.reset();

  if (c.callsWhileAway == 0) sim = startSimulator();
  // The call that meets the lost line.
  ASSERT_LT(readBlock(*tarvik, config::kBlock, 0, config::kSize, &got), 0);
  Failure failure = takeFailure();
  EXPECT_NE(failure.description.find("Lost the line to COM3 ("), std::string::npos) << failure.description;

  for (int i = 0; i < c.callsWhileAway; ++i) {
    ASSERT_LT(readBlock(*tarvik, config::kBlock, 0, config::kSize, &got), 0);
    failure = takeFailure();
    // Nothing is there: the alias went with the simulator or points at a dead pty.
    EXPECT_NE(failure.description.find("The line is still lost: COM3"), std::string::npos) << failure.description;
  }
  if (!sim) sim = startSimulator();

  ASSERT_EQ(readBlock(*tarvik, config::kBlock, 0, config::kSize, &got), st::kOk) << takeFailure().description;
  EXPECT_EQ(got, defaultConfigBytes());
  // And the session goes on as before.
  EXPECT_EQ(tarvik->WriteBlock(2, 4, automation::Variant::i4(0x5A)), st::kOk) << takeFailure().description;
  // Both reached the simulator that came back, not some leftover of the old line.
  ASSERT_TRUE(sim->waitForLines(2, std::chrono::seconds(5)));
  EXPECT_NE(sim->lines()[0].find("FC03 0x0100+16 ok"), std::string::npos) << sim->lines()[0];
  EXPECT_NE(sim->lines()[1].find("FC06 0x0202+1 ok"), std::string::npos) << sim->lines()[1];
}

INSTANTIATE_TEST_SUITE_P(Cases, LineLoss, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LossCase>& info) { return std::string(info.param.name); });

}  // namespace
