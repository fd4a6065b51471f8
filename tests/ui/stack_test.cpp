// The whole stack: the window offscreen, the real driver, the simulated module
// on a pseudo-terminal under the alias COM3, clicked as an operator would.
#include <gtest/gtest.h>
#include <QApplication>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "automation/registry.h"
#include "driver/tarvik_driver.h"
#include "tests/fixtures/private_runtime_folder.h"
#include "tests/fixtures/simulator_harness.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace {

std::filesystem::path scratch;

std::vector<unsigned char> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Stack : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove(flash);
    ui::setErrorPresenter([this](const QString&, const QString& text) { errors << text; });
  }
  void TearDown() override { ui::setErrorPresenter({}); }

  const std::filesystem::path flash = scratch / "flash.bin";
  QStringList errors;
};

TEST_F(Stack, OperatorSessionAgainstTheSimulatedModule) {
  simtest::SimulatorProcess module({"--pty", "--name", "COM3", "--loopback", "--flash", flash.string()});
  TForm1 form;

  form.spoj->click();
  ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_FALSE(form.spoj->isEnabled());
  EXPECT_EQ(module.transactionCount(), 0u);  // connecting sends nothing

  form.btnConfigRead->click();
  ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_EQ(form.eAnsDelay->text(), "5");
  EXPECT_EQ(form.eComSpeed->text(), "6");
  EXPECT_EQ(form.eComTout->text(), "1000");
  EXPECT_EQ(form.eTime0L->text(), "10");
  EXPECT_EQ(form.eTime7H->text(), "27");
  EXPECT_TRUE(form.cbFlash->isEnabled());

  // Without Flash the running block changes and the flash file does not.
  form.eAnsDelay->setText("9");
  form.eComTout->setText("$1234");
  form.btnConfigWrite->click();
  form.eAnsDelay->clear();
  form.btnConfigRead->click();
  EXPECT_EQ(form.eAnsDelay->text(), "9");
  EXPECT_EQ(form.eComTout->text(), "4660");
  EXPECT_FALSE(std::filesystem::exists(flash));

  // With Flash the module keeps the block.
  form.cbFlash->setChecked(true);
  form.eAnsDelay->setText("11");
  form.btnConfigWrite->click();
  ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  const std::vector<unsigned char> kept = fileBytes(flash);
  ASSERT_EQ(kept.size(), 32u);
  EXPECT_EQ(kept[0], 11);
  EXPECT_EQ(kept[2], 0x34);
  EXPECT_EQ(kept[3], 0x12);

  // The simulated inputs follow the outputs.
  form.cbOut0->click();
  form.cbOut7->click();
  form.btnRead->click();
  ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_TRUE(form.cbIn0->isChecked());
  EXPECT_TRUE(form.cbIn7->isChecked());
  EXPECT_FALSE(form.cbIn3->isChecked());
  // Two reads and two writes of the block, two output writes, one input read.
  EXPECT_TRUE(module.waitForLines(7, std::chrono::seconds(10)));
  EXPECT_EQ(module.transactionCount(), 7u);
}

TEST_F(Stack, AbsentModuleIsReportedAndTheWindowCarriesOn) {
  simtest::SimulatorProcess module({"--pty", "--name", "COM3", "--station", "9", "--quiet"});
  TForm1 form;
  form.spoj->click();
  form.btnConfigRead->click();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("Module 8 did not answer")) << errors[0].toStdString();
  EXPECT_TRUE(form.eAnsDelay->text().isEmpty());
  EXPECT_FALSE(form.cbFlash->isEnabled());
}

TEST_F(Stack, MissingPortIsReportedAtConnect) {
  TForm1 form;
  form.spojeni->setText("serialPort:COM200/38400/8/2");
  form.spoj->click();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("COM200")) << errors[0].toStdString();
  EXPECT_TRUE(form.spoj->isEnabled());
}

}  // namespace

int main(int argc, char** argv) {
  // The port alias folder lives under the runtime folder: keep ours private.
  const testenv::PrivateRuntimeFolder runtime("stack");
  scratch = runtime.path();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  driver::registerTarvikDriver();
  automation::initializeApartment();
  const int result = RUN_ALL_TESTS();
  automation::uninitializeApartment();
  return result;
}
