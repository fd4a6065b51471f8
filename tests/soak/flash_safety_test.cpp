// The simulator's flash file under crashes: killed at random moments while it
// is asked to save again and again, the file always holds one whole block
// that was saved, never a mixture, a piece or nothing once the first save is in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>

#include "device/config_block.h"
#include "simulator/register_model.h"
#include "tests/fixtures/simulator_harness.h"
#include "tests/soak/soak_fixture.h"

namespace {

using namespace soak;
namespace fs = std::filesystem;
namespace st = automation::status;

// A block that asks to be saved: the save marker at bytes 4..7.
Bytes saveRequest(std::uint8_t base) {
  Bytes block(config::kSize);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(base + i);
  std::copy(config::kSaveMarker.begin(), config::kSaveMarker.end(), block.begin() + config::kSaveMarkerOffset);
  return block;
}

// What flash holds after that save: the marker is a command, stored as zeros.
Bytes storedImage(Bytes block) {
  std::fill_n(block.begin() + config::kSaveMarkerOffset, config::kSaveMarker.size(), 0);
  return block;
}

std::optional<Bytes> fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/vark-flash-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

TEST(FlashSafety, KilledDuringSavesLeavesAWholeOldOrNewBlock) {
  TempFolder folder;
  const fs::path flash = folder.path / "flash.bin";
  const Bytes requests[2] = {saveRequest(0x40), saveRequest(0xA0)};
  const Bytes images[2] = {storedImage(requests[0]), storedImage(requests[1])};
  const auto defaults = simcore::defaultConfig();
  const Bytes defaultImage(defaults.begin(), defaults.end());

  std::mt19937 random(7);
  int roundsWithSaves = 0;
  for (int round = 0; round < 30; ++round) {
    const std::optional<Bytes> before = fileBytes(flash);
    simtest::SimulatorProcess sim({"--pty", "--quiet", "--flash", flash.string()});
    auto tarvik = makeDriver();
    ASSERT_TRUE(tarvik);
    ASSERT_EQ(tarvik->SetConnection(text("serialPort:" + sim.where() + "/38400/8/2;timeout=100;retries=0")), st::kOk)
        << takeFailure().description;
    ASSERT_EQ(tarvik->SetAddress(8), st::kOk);

    // The block it started from is the one flash held.
    Bytes loaded;
    ASSERT_EQ(readBlock(*tarvik, config::kBlock, 0, config::kSize, &loaded), st::kOk) << takeFailure().description;
    EXPECT_EQ(loaded, before.value_or(defaultImage)) << "round " << round;

    const auto killAfter = std::chrono::microseconds(random() % 40000);
    std::thread killer([&] {
      std::this_thread::sleep_for(killAfter);
      sim.kill();
    });
    int saves = 0;
    while (automation::succeeded(tarvik->WriteBlock(config::kBlock, 0, automation::Variant::byteArray(requests[(round + saves) % 2]))))
      ++saves;
    killer.join();
    takeFailure();
    if (saves > 0) ++roundsWithSaves;

    const std::optional<Bytes> after = fileBytes(flash);
    if (!before && !after) continue;  // killed before the first save ever finished
    ASSERT_TRUE(after) << "round " << round << ": the flash file vanished";
    EXPECT_TRUE(*after == images[0] || *after == images[1])
        << "round " << round << ": flash holds " << after->size() << " bytes that are neither saved block";
  }
  // Most rounds got some saves in before the kill; otherwise nothing was shown.
  EXPECT_GT(roundsWithSaves, 15);
}

}  // namespace
