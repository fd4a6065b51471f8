#include <gtest/gtest.h>

#include <QTest>

#include "automation/registry.h"
#include "automation/status.h"
#include "tests/ui/form_fixture.h"

namespace {

using automation::Status;
namespace status = automation::status;

class Connect : public ::testing::Test, public uitest::FormFixture {
 protected:
  bool connected() const {
    return !form->spoj->isEnabled() && !form->spojeni->isEnabled() && !form->adresa->isEnabled() &&
           form->eAnsDelay->isEnabled() && form->btnRead->isEnabled() && form->cbOut7->isEnabled();
  }
  bool disconnected() const {
    return form->spoj->isEnabled() && form->spojeni->isEnabled() && form->adresa->isEnabled() &&
           !form->btnConfigRead->isEnabled() && !form->eTime0L->isEnabled() && !form->cbOut0->isEnabled();
  }
};

TEST_F(Connect, PassesBothTextsAndSwitchesToConnected) {
  form->spoj->click();

  ASSERT_EQ(operations(), (std::vector<std::string>{"SetConnection", "SetAddress"}));
  EXPECT_EQ(driver.journal().calls[0].text, std::u16string(u"serialPort:COM3/38400/8/2"));
  EXPECT_EQ(driver.journal().calls[1].arguments, std::vector<std::int32_t>{8});
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(connected());
  for (QWidget* w : form->findChildren<QLineEdit*>()) {
    const bool connectionControl = w == form->spojeni || w == form->adresa;
    EXPECT_NE(w->isEnabled(), connectionControl) << w->objectName().toStdString();
  }
  for (QCheckBox* box : form->GroupBox2->findChildren<QCheckBox*>()) EXPECT_FALSE(box->isEnabled());
  EXPECT_FALSE(form->cbFlash->isEnabled());
  for (QCheckBox* box : form->GroupBox3->findChildren<QCheckBox*>()) EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(driver.created(), 1);
  EXPECT_EQ(driver.alive(), 1);  // only the link holds it now
}

TEST_F(Connect, TextGoesThroughUnchangedAndEmptyAsNull) {
  form->spojeni->setText(u8"  tcp:[::1]:502;trace=1 ěšč ");
  form->adresa->setText("$FFFFFFFF");
  form->spoj->click();
  EXPECT_EQ(driver.journal().calls[0].text, std::u16string(u"  tcp:[::1]:502;trace=1 ěšč "));
  EXPECT_EQ(driver.journal().calls[1].arguments, std::vector<std::int32_t>{-1});

  uitest::FormFixture second;
  second.form->spojeni->clear();
  second.form->spoj->click();
  EXPECT_FALSE(second.driver.journal().calls[0].text.has_value());
}

struct AddressCase {
  const char* text;
  std::int32_t expected;
};

TEST_F(Connect, AddressesByTheIntegerRule) {
  for (const AddressCase& c : {AddressCase{"8", 8}, {"$10", 16}, {"0x10", 16}, {"-1", -1}, {"  08", 8}}) {
    uitest::FormFixture f;
    f.form->adresa->setText(c.text);
    f.form->spoj->click();
    ASSERT_EQ(f.driver.journal().callsOf("SetAddress").size(), 1u) << c.text;
    EXPECT_EQ(f.driver.journal().callsOf("SetAddress")[0].arguments[0], c.expected) << c.text;
  }
}

TEST_F(Connect, RejectedAddressNeverReachesTheDriver) {
  for (const char* text : {"", "8 ", "8\t", "+$10", "2147483648", "0x"}) {
    uitest::FormFixture f;
    f.form->adresa->setText(text);
    f.form->spoj->click();
    EXPECT_EQ(f.operations(), std::vector<std::string>{"SetConnection"}) << text;
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QString("'%1' is not a valid integer value.").arg(text));
    EXPECT_EQ(f.shown[0].caption, "Vark");
    EXPECT_TRUE(f.form->spoj->isEnabled());
    EXPECT_FALSE(f.form->btnConfigRead->isEnabled());
  }
}

TEST_F(Connect, UnregisteredClassShowsTheLookupFailureAndChangesNothing) {
  automation::unregisterClass(device::kDriverClassName);
  form->spoj->click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_FALSE(shown[0].text.isEmpty());
  EXPECT_FALSE(shown[0].text.startsWith("OLE error"));
  EXPECT_TRUE(shown[0].text.endsWith("."));
  EXPECT_EQ(driver.created(), 0);
  EXPECT_TRUE(disconnected());
}

TEST_F(Connect, FailedConnectionTextIsReportedBeforeTheAddressIsRead) {
  form->adresa->setText("not a number");
  driver.script("SetConnection", {status::kDriverPortBusy, {}, u"COM3 (/dev/pts/4) is in use by another program\r\n"});
  form->spoj->click();
  EXPECT_EQ(operations(), std::vector<std::string>{"SetConnection"});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "COM3 (/dev/pts/4) is in use by another program.");
  EXPECT_TRUE(disconnected());
}

TEST_F(Connect, FailureWithoutDescriptionFallsBackToTheStatus) {
  driver.script("SetConnection", {status::kDriverPortBusy, {}, {}});
  form->spoj->click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "OLE error 80040203.");
}

TEST_F(Connect, SecondClickReleasesTheFirstDriverBeforeUsingTheNewOne) {
  form->adresa->setText("x");
  form->spoj->click();
  form->adresa->setText("8");
  form->spoj->click();

  EXPECT_EQ(driver.journal().events,
            (std::vector<std::string>{"create 1", "SetConnection 1", "create 2", "release 1", "SetConnection 2",
                                      "SetAddress 2"}));
  EXPECT_EQ(driver.alive(), 1);
  EXPECT_TRUE(connected());
}

TEST_F(Connect, ObjectWithoutTheInterfaceLeavesTheLinkEmpty) {
  driver.script("SetConnection", {status::kFail, {}, u"No such port"});
  form->spoj->click();
  driver.offerInterface(false);
  form->spoj->click();

  EXPECT_EQ(driver.journal().events,
            (std::vector<std::string>{"create 1", "SetConnection 1", "create 2", "release 1", "release 2"}));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, "Interface not supported.");
  EXPECT_EQ(driver.alive(), 0);
  EXPECT_TRUE(disconnected());
  // The empty link refuses instead of crashing, should a handler ever reach it.
  EXPECT_THROW(form->btnConfigReadClick(), std::exception);
}

TEST_F(Connect, AfterAnErrorBoxTheWindowTakesClicksAgain) {
  form->adresa->setText("");
  form->spoj->click();
  form->adresa->setText("8");
  form->spoj->click();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_TRUE(connected());
}

TEST_F(Connect, DisabledControlsReachNothing) {
  QTest::mouseClick(form->btnConfigRead, Qt::LeftButton);
  QTest::mouseClick(form->btnRead, Qt::LeftButton);
  QTest::mouseClick(form->cbOut3, Qt::LeftButton);
  EXPECT_EQ(driver.created(), 0);
  EXPECT_FALSE(form->cbOut3->isChecked());
}

}  // namespace
