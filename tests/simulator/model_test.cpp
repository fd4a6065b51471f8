#include "simulator/register_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "simulator/fault_plan.h"
#include "simulator/flash_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using simcore::Fault;

simcore::RegisterModel fixedModel() { return {simcore::defaultConfig(), simcore::Inputs::Fixed, 0x5A}; }

Bytes handle(simcore::RegisterModel& model, Bytes request) { return model.handle(request); }

struct ModelCase {
  const char* name;
  Bytes request;
  Bytes answer;
};

void PrintTo(const ModelCase& c, std::ostream* out) { *out << c.name; }

class ModelAnswers : public testing::TestWithParam<ModelCase> {};

TEST_P(ModelAnswers, OnAFreshModule) {
  auto model = fixedModel();
  EXPECT_EQ(handle(model, GetParam().request), GetParam().answer);
}

// Registers on the wire are big endian; block bytes sit low byte first.
INSTANTIATE_TEST_SUITE_P(
    Table, ModelAnswers,
    testing::Values(
        ModelCase{"read_config_head", {0x03, 0x01, 0x00, 0x00, 0x02}, {0x03, 0x04, 0x06, 0x05, 0x03, 0xE8}},
        ModelCase{"read_last_config_register", {0x03, 0x01, 0x0F, 0x00, 0x01}, {0x03, 0x02, 27, 26}},
        ModelCase{"read_io_block", {0x03, 0x02, 0x00, 0x00, 0x03}, {0x03, 0x06, 0x00, 0x5A, 0x00, 0x00, 0x00, 0x00}},
        ModelCase{"read_past_config", {0x03, 0x01, 0x0F, 0x00, 0x02}, {0x83, 0x02}},
        ModelCase{"read_before_config", {0x03, 0x00, 0xFF, 0x00, 0x01}, {0x83, 0x02}},
        ModelCase{"read_past_io", {0x03, 0x02, 0x02, 0x00, 0x02}, {0x83, 0x02}},
        ModelCase{"read_nowhere", {0x03, 0x30, 0x00, 0x00, 0x01}, {0x83, 0x02}},
        ModelCase{"read_zero", {0x03, 0x01, 0x00, 0x00, 0x00}, {0x83, 0x03}},
        ModelCase{"read_126", {0x03, 0x01, 0x00, 0x00, 0x7E}, {0x83, 0x03}},
        ModelCase{"read_125_is_a_count_but_not_an_address", {0x03, 0x01, 0x00, 0x00, 0x7D}, {0x83, 0x02}},
        ModelCase{"write_config", {0x06, 0x01, 0x00, 0x12, 0x34}, {0x06, 0x01, 0x00, 0x12, 0x34}},
        ModelCase{"write_outputs", {0x06, 0x02, 0x02, 0x00, 0x0F}, {0x06, 0x02, 0x02, 0x00, 0x0F}},
        ModelCase{"write_inputs", {0x06, 0x02, 0x00, 0x00, 0x01}, {0x86, 0x02}},
        ModelCase{"write_reserved", {0x06, 0x02, 0x01, 0x00, 0x01}, {0x86, 0x02}},
        ModelCase{"write_past_config", {0x06, 0x01, 0x10, 0x00, 0x01}, {0x86, 0x02}},
        ModelCase{"write_many", {0x10, 0x01, 0x0E, 0x00, 0x02, 0x04, 1, 2, 3, 4}, {0x10, 0x01, 0x0E, 0x00, 0x02}},
        ModelCase{"write_many_past_config", {0x10, 0x01, 0x0F, 0x00, 0x02, 0x04, 1, 2, 3, 4}, {0x90, 0x02}},
        ModelCase{"write_many_over_reserved", {0x10, 0x02, 0x01, 0x00, 0x02, 0x04, 0, 0, 0, 1}, {0x90, 0x02}},
        ModelCase{"write_many_zero", {0x10, 0x01, 0x00, 0x00, 0x00, 0x00}, {0x90, 0x03}},
        ModelCase{"write_many_count_disagrees", {0x10, 0x01, 0x00, 0x00, 0x02, 0x02, 1, 2}, {0x90, 0x03}},
        ModelCase{"read_input_registers_unsupported", {0x04, 0x02, 0x00, 0x00, 0x01}, {0x84, 0x01}},
        ModelCase{"unknown_function", {0x2B, 0x0E, 0x01, 0x00}, {0xAB, 0x01}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegisterModel, WritesLandLowByteFirstAndRefusedWritesChangeNothing) {
  auto model = fixedModel();
  handle(model, {0x10, 0x01, 0x00, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78});
  EXPECT_EQ(model.config()[0], 0x34);
  EXPECT_EQ(model.config()[1], 0x12);
  EXPECT_EQ(model.config()[2], 0x78);
  EXPECT_EQ(model.config()[3], 0x56);
  const auto before = model.config();
  handle(model, {0x10, 0x01, 0x0F, 0x00, 0x02, 0x04, 1, 2, 3, 4});
  EXPECT_EQ(model.config(), before);
}

TEST(RegisterModel, LoopbackMirrorsTheLowOutputByteIntoTheInputs) {
  simcore::RegisterModel model(simcore::defaultConfig(), simcore::Inputs::Loopback, 0);
  handle(model, {0x06, 0x02, 0x02, 0xAB, 0x5C});
  EXPECT_EQ(handle(model, {0x03, 0x02, 0x00, 0x00, 0x03}), (Bytes{0x03, 0x06, 0x00, 0x5C, 0x00, 0x00, 0xAB, 0x5C}));
}

TEST(RegisterModel, SaveMarkerIsACommandNotASetting) {
  auto model = fixedModel();
  // No marker: the running block changes, nothing to store.
  handle(model, {0x06, 0x01, 0x00, 0x00, 0x09});
  EXPECT_FALSE(model.takeFlashImage());
  // Marker in two steps: only the write that completes it asks for a save.
  handle(model, {0x06, 0x01, 0x02, 0x61, 0x73});  // "sa", low byte first
  EXPECT_FALSE(model.takeFlashImage());
  handle(model, {0x06, 0x01, 0x03, 0x65, 0x76});  // "ve"
  auto expected = simcore::defaultConfig();
  expected[0] = 0x09;
  expected[1] = 0x00;
  const auto image = model.takeFlashImage();
  ASSERT_TRUE(image);
  EXPECT_EQ(*image, expected);
  EXPECT_EQ(model.config(), expected);
  EXPECT_FALSE(model.takeFlashImage());
}

TEST(FaultPlan, EveryNthTakesTheKindsInTurn) {
  auto plan = simcore::FaultPlan::everyNth({Fault::Drop, Fault::Crc}, 2);
  std::vector<Fault> seen;
  for (int i = 0; i < 6; ++i) seen.push_back(plan.next());
  EXPECT_EQ(seen, (std::vector<Fault>{Fault::None, Fault::Drop, Fault::None, Fault::Crc, Fault::None, Fault::Drop}));
  EXPECT_EQ(simcore::FaultPlan().next(), Fault::None);
}

TEST(FaultPlan, ProbabilityIsRepeatableForASeed) {
  auto run = [](std::uint64_t seed, double p) {
    auto plan = simcore::FaultPlan::random({Fault::Drop, Fault::Late, Fault::Garbage}, p, seed);
    std::vector<Fault> seen;
    for (int i = 0; i < 200; ++i) seen.push_back(plan.next());
    return seen;
  };
  const auto first = run(42, 0.3);
  EXPECT_EQ(first, run(42, 0.3));
  EXPECT_NE(first, run(43, 0.3));
  const auto faulted = std::count_if(first.begin(), first.end(), [](Fault f) { return f != Fault::None; });
  EXPECT_GT(faulted, 20);
  EXPECT_LT(faulted, 120);
  for (Fault f : run(1, 0.0)) EXPECT_EQ(f, Fault::None);
  for (Fault f : run(1, 1.0)) EXPECT_NE(f, Fault::None);
}

TEST(FaultPlan, ParsesKindLists) {
  EXPECT_EQ(simcore::parseFaults("drop,truncate"), (std::vector<Fault>{Fault::Drop, Fault::Truncate}));
  EXPECT_FALSE(simcore::parseFaults("drop,slow"));
  EXPECT_FALSE(simcore::parseFaults(""));
  EXPECT_FALSE(simcore::parseFaults("drop,"));
}

class FlashFile : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/vark-sim-flash-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(FlashFile, MissingMeansDefaultsAndSaveReplacesInOneStep) {
  const std::string path = folder_ / "flash.bin";
  const auto loaded = flashfile::load(path);
  ASSERT_TRUE(std::holds_alternative<simcore::ConfigBlock>(loaded));
  EXPECT_EQ(std::get<simcore::ConfigBlock>(loaded), simcore::defaultConfig());

  simcore::ConfigBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(100 + i);
  ASSERT_EQ(flashfile::save(path, simcore::defaultConfig()), "");
  ASSERT_EQ(flashfile::save(path, block), "");
  EXPECT_EQ(std::get<simcore::ConfigBlock>(flashfile::load(path)), block);
  // Nothing but the file itself is left behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"flash.bin"});
}

TEST_F(FlashFile, WrongSizeIsAnErrorNamingTheFile) {
  const std::string path = folder_ / "short.bin";
  std::ofstream(path, std::ios::binary) << "abc";
  const auto loaded = flashfile::load(path);
  ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
  const auto& error = std::get<std::string>(loaded);
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("3 bytes"), std::string::npos) << error;
}

}  // namespace
