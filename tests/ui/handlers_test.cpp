#include <gtest/gtest.h>

#include <QTest>

#include "automation/status.h"
#include "tests/ui/form_fixture.h"

namespace {

using automation::Variant;
namespace status = automation::status;

// Config boxes in the order the module's values are asked for.
const char* const kConfigBoxes[19] = {"eAnsDelay", "eComSpeed", "eComTout", "eTime0L", "eTime1L", "eTime2L",
                                      "eTime3L",   "eTime4L",   "eTime5L",  "eTime6L", "eTime7L", "eTime0H",
                                      "eTime1H",   "eTime2H",   "eTime3H",  "eTime4H", "eTime5H", "eTime6H",
                                      "eTime7H"};
const std::int32_t kConfigOffsets[19] = {0, 1, 2, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31};

class Handlers : public ::testing::Test, public uitest::FormFixture {
 protected:
  void SetUp() override { connect(); }
  QLineEdit* box(const char* name) { return form->findChild<QLineEdit*>(name); }
  void setAllBoxes(const QString& text) {
    for (const char* name : kConfigBoxes) box(name)->setText(text);
  }
  std::vector<std::uint8_t> writtenImage() {
    const auto writes = driver.journal().callsOf("WriteBlock");
    EXPECT_EQ(writes.size(), 1u);
    if (writes.empty()) return {};
    EXPECT_EQ(writes[0].arguments, (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(writes[0].data.type(), automation::kVtArray | automation::kVtUI1);
    return writes[0].data.bytes();
  }
  std::vector<bool> inputMarks() {
    std::vector<bool> marks;
    for (int i = 0; i < 8; ++i) marks.push_back(form->findChild<QCheckBox*>(QString("cbIn%1").arg(i))->isChecked());
    return marks;
  }
};

TEST_F(Handlers, ConfigReadAsksNineteenValuesInOrderAndFillsTheBoxes) {
  for (int i = 0; i < 19; ++i)
    driver.script("GetValue", {status::kOk, i == 2 ? Variant::ui2(65535) : Variant::ui1(std::uint8_t(100 + i)), {}});
  form->btnConfigRead->click();

  const auto& calls = driver.journal().calls;
  ASSERT_EQ(calls.size(), 20u);
  EXPECT_EQ(calls[0].operation, "ReadBlock");
  EXPECT_EQ(calls[0].arguments, (std::vector<std::int32_t>{1, 0, 32}));
  for (int i = 0; i < 19; ++i) {
    EXPECT_EQ(calls[i + 1].operation, "GetValue");
    EXPECT_EQ(calls[i + 1].arguments, (std::vector<std::int32_t>{kConfigOffsets[i], i == 2 ? 18 : 17}));
    EXPECT_EQ(box(kConfigBoxes[i])->text(), i == 2 ? "65535" : QString::number(100 + i)) << kConfigBoxes[i];
  }
  EXPECT_TRUE(form->cbFlash->isEnabled());
  EXPECT_FALSE(form->cbFlash->isChecked());
  EXPECT_TRUE(shown.empty());
}

TEST_F(Handlers, ConfigReadShowsLowBitsOfWhateverComesBack) {
  struct Case {
    Variant value;
    const char* byteField;
    const char* comtout;
  };
  const Case cases[] = {
      {Variant(), "0", "0"},           {Variant::i4(300), "44", "300"}, {Variant::i4(-1), "255", "65535"},
      {Variant::i4(70000), "112", "4464"}, {Variant::r8(2.5), "2", "2"},  {Variant::boolean(true), "255", "65535"},
  };
  for (const Case& c : cases) {
    driver.script("GetValue", {status::kOk, c.value, {}});
    driver.script("GetValue", {status::kOk, c.value, {}});
    driver.script("GetValue", {status::kOk, c.value, {}});
    form->btnConfigRead->click();
    EXPECT_EQ(box("eAnsDelay")->text(), c.byteField);
    EXPECT_EQ(box("eComTout")->text(), c.comtout);
  }
  EXPECT_TRUE(shown.empty());
}

TEST_F(Handlers, ConfigReadOfNonArrayChangesNothing) {
  for (const Variant& data : {Variant(), Variant::i4(5), Variant::ui1(1)}) {
    setAllBoxes("old");
    driver.journal().calls.clear();
    driver.script("ReadBlock", {status::kOk, data, {}});
    form->btnConfigRead->click();
    EXPECT_EQ(operations(), std::vector<std::string>{"ReadBlock"});
    EXPECT_EQ(box("eAnsDelay")->text(), "old");
    EXPECT_FALSE(form->cbFlash->isEnabled());
  }
  // Any array passes, whatever its element type or length.
  driver.script("ReadBlock", {status::kOk, Variant::arrayOf(automation::kVtI4, 0), {}});
  form->btnConfigRead->click();
  EXPECT_EQ(box("eAnsDelay")->text(), "0");
  EXPECT_TRUE(shown.empty());
}

TEST_F(Handlers, ConfigReadFailingPartWayKeepsEarlierBoxesAndLeavesFlashOff) {
  struct Case {
    faketest::Reply fourth;
    const char* message;
  };
  const Case cases[] = {
      {{status::kOk, Variant::null(), {}}, "Invalid variant type conversion."},
      {{status::kOk, Variant::text(u"abc"), {}}, "Invalid variant type conversion."},
      {{status::kOk, Variant::byteArray({1}), {}}, "Invalid variant type conversion."},
      {{status::kDriverTimeout, {}, u"Module 8 did not answer within 300 ms (2 attempts)"},
       "Module 8 did not answer within 300 ms (2 attempts)"},
  };
  for (const Case& c : cases) {
    uitest::FormFixture f;
    f.connect();
    for (const char* name : kConfigBoxes) f.form->findChild<QLineEdit*>(name)->setText("old");
    for (int i = 0; i < 3; ++i) f.driver.script("GetValue", {status::kOk, Variant::ui1(7), {}});
    f.driver.script("GetValue", c.fourth);
    f.form->btnConfigRead->click();
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, c.message);
    EXPECT_EQ(f.form->eComTout->text(), "7");
    EXPECT_EQ(f.form->eTime0L->text(), "old");
    EXPECT_EQ(f.form->eTime7H->text(), "old");
    EXPECT_FALSE(f.form->cbFlash->isEnabled());
    EXPECT_EQ(f.driver.journal().callsOf("GetValue").size(), 4u);
  }
}

TEST_F(Handlers, FailedReadBlockChangesNothing) {
  setAllBoxes("old");
  driver.script("ReadBlock", {status::kDriverTimeout, {}, u"Module 8 did not answer within 300 ms (2 attempts)"});
  form->btnConfigRead->click();
  EXPECT_EQ(operations(), std::vector<std::string>{"ReadBlock"});
  EXPECT_EQ(box("eAnsDelay")->text(), "old");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Module 8 did not answer within 300 ms (2 attempts)");
}

TEST_F(Handlers, ConfigWriteImage) {
  struct Case {
    const char* name;
    const char* comtout;
    const char* bytes;  // for every byte field
    bool flash;
    std::uint8_t tout0, tout1, byte, marker0;
  };
  const Case cases[] = {
      {"comtout 1000", "1000", "5", false, 0xE8, 0x03, 5, 0},
      {"comtout 70000 wraps", "70000", "5", false, 0x70, 0x11, 5, 0},
      {"comtout -1", "-1", "5", false, 0xFF, 0xFF, 5, 0},
      {"byte 300 keeps low bits", "0", "300", false, 0, 0, 44, 0},
      {"byte -1", "0", "-1", false, 0, 0, 0xFF, 0},
      {"hex and flash", "$1234", "$7F", true, 0x34, 0x12, 0x7F, 0x73},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uitest::FormFixture f;
    f.connect();
    if (c.flash) {
      f.form->btnConfigRead->click();  // Flash is enabled only by a whole read
      f.form->cbFlash->setChecked(true);
      f.driver.journal().calls.clear();
    }
    for (const char* name : kConfigBoxes) f.form->findChild<QLineEdit*>(name)->setText(c.bytes);
    f.form->eComTout->setText(c.comtout);
    f.form->btnConfigWrite->click();

    const auto writes = f.driver.journal().callsOf("WriteBlock");
    ASSERT_EQ(f.operations(), std::vector<std::string>{"WriteBlock"});
    EXPECT_EQ(writes[0].arguments, (std::vector<std::int32_t>{1, 0}));
    ASSERT_EQ(writes[0].data.type(), automation::kVtArray | automation::kVtUI1);
    const std::vector<std::uint8_t>& image = writes[0].data.bytes();
    ASSERT_EQ(image.size(), 32u);
    std::vector<std::uint8_t> expected(32, 0);
    expected[0] = expected[1] = c.byte;
    expected[2] = c.tout0;
    expected[3] = c.tout1;
    if (c.flash) expected[4] = 0x73, expected[5] = 0x61, expected[6] = 0x76, expected[7] = 0x65;
    for (int i = 8; i < 16; ++i) expected[i] = c.byte;
    for (int i = 24; i < 32; ++i) expected[i] = c.byte;
    EXPECT_EQ(image, expected);
    EXPECT_TRUE(f.shown.empty());
  }
}

TEST_F(Handlers, ConfigWriteNamesTheFirstBadBoxInFillOrderAndSendsNothing) {
  setAllBoxes("1");
  box("eTime1H")->setText("zz");
  box("eTime3L")->setText("7 ");  // before eTime1H in fill order
  box("eComTout")->setText("-0");
  form->btnConfigWrite->click();
  EXPECT_TRUE(operations().empty());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "'7 ' is not a valid integer value.");
}

TEST_F(Handlers, ConfigWriteRightAfterConnectFailsOnTheEmptyFirstBox) {
  form->btnConfigWrite->click();
  EXPECT_TRUE(operations().empty());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "'' is not a valid integer value.");
}

TEST_F(Handlers, InputsShowBitsZeroToSeven) {
  struct Case {
    const char* name;
    Variant value;
    std::vector<bool> marks;
  };
  const Case cases[] = {
      {"0xA5", Variant::ui1(0xA5), {true, false, true, false, false, true, false, true}},
      {"0x1FF", Variant::i4(0x1FF), std::vector<bool>(8, true)},
      {"empty", Variant(), std::vector<bool>(8, false)},
      {"0x100", Variant::ui2(0x100), std::vector<bool>(8, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    driver.journal().calls.clear();
    driver.script("GetValue", {status::kOk, c.value, {}});
    form->btnRead->click();
    const auto& calls = driver.journal().calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments, (std::vector<std::int32_t>{2, 0, 2}));
    EXPECT_EQ(calls[1].operation, "GetValue");
    EXPECT_EQ(calls[1].arguments, (std::vector<std::int32_t>{0, 17}));
    EXPECT_EQ(inputMarks(), c.marks);
  }
  for (QCheckBox* out : form->GroupBox3->findChildren<QCheckBox*>()) EXPECT_FALSE(out->isChecked());
  EXPECT_TRUE(driver.journal().callsOf("WriteBlock").empty());
}

TEST_F(Handlers, InputReadStopsQuietlyOrFailsBeforeAnyBoxChanges) {
  driver.script("GetValue", {status::kOk, Variant::ui1(0xFF), {}});
  form->btnRead->click();
  driver.journal().calls.clear();

  driver.script("ReadBlock", {status::kOk, Variant(), {}});
  form->btnRead->click();
  EXPECT_EQ(operations(), std::vector<std::string>{"ReadBlock"});
  driver.script("ReadBlock", {status::kOk, Variant::arrayOf(automation::kVtUI1, 0), {}});
  driver.script("GetValue", {status::kOk, Variant::text(u"x"), {}});
  form->btnRead->click();
  EXPECT_EQ(inputMarks(), std::vector<bool>(8, true));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Invalid variant type conversion.");
}

TEST_F(Handlers, EveryOutputClickSendsTheWholeMaskAndReadsNothing) {
  QTest::mouseClick(form->cbOut0, Qt::LeftButton);
  form->cbOut7->setChecked(true);  // a change made by the program runs the handler too
  form->cbOut0->setFocus();
  QTest::keyClick(form->cbOut0, Qt::Key_Space);
  form->cbOut7->setChecked(true);  // no change, no write

  const auto writes = driver.journal().callsOf("WriteBlock");
  ASSERT_EQ(writes.size(), 3u);
  const std::int64_t masks[] = {0x01, 0x81, 0x80};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(writes[i].arguments, (std::vector<std::int32_t>{2, 4}));
    EXPECT_EQ(writes[i].data.type(), automation::kVtI4);
    EXPECT_EQ(writes[i].data.integer(), masks[i]);
  }
  EXPECT_EQ(operations().size(), 3u);
  EXPECT_EQ(form->dejOuty(), 0x80);
}

TEST_F(Handlers, FailedOutputWriteKeepsTheNewMark) {
  driver.script("WriteBlock", {status::kDriverTimeout, {}, u"Module 8 did not answer within 300 ms (2 attempts)"});
  form->cbOut3->click();
  EXPECT_TRUE(form->cbOut3->isChecked());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Module 8 did not answer within 300 ms (2 attempts)");
}

}  // namespace
