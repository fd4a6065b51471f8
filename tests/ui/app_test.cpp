// Start-up and shut-down around the event loop. No apartment is opened here:
// the program opens its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "app/application.h"
#include "automation/registry.h"
#include "tests/fixtures/fake_tarvik.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace {

TForm1* shownForm() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<TForm1*>(w); form && form->isVisible()) return form;
  return nullptr;
}

TEST(Application, ReleasesTheDriverBeforeClosingTheApartment) {
  faketest::FakeDriverRegistration driver;
  bool clicked = false;
  QTimer::singleShot(0, [&] {
    TForm1* form = shownForm();
    ASSERT_NE(form, nullptr);
    form->spoj->click();
    clicked = true;
    form->close();
  });
  EXPECT_EQ(app::run(*qApp), 0);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(driver.created(), 1);
  EXPECT_EQ(driver.alive(), 0);
  EXPECT_FALSE(driver.journal().releasedOutsideApartment);
  EXPECT_FALSE(automation::apartmentInitialized());
}

TEST(Application, NothingIsCreatedWhenNothingIsClicked) {
  faketest::FakeDriverRegistration driver;
  QTimer::singleShot(0, [] {
    if (TForm1* form = shownForm()) form->close();
  });
  EXPECT_EQ(app::run(*qApp), 0);
  EXPECT_EQ(driver.created(), 0);
  EXPECT_TRUE(driver.journal().events.empty());
}

TEST(Application, TitleComesFromTheProgramFile) {
  QTimer::singleShot(0, [] {
    if (TForm1* form = shownForm()) form->close();
  });
  app::run(*qApp);
  EXPECT_EQ(ui::currentApplicationTitle(), "vark_app_tests");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
