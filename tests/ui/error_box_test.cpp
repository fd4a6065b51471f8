#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/form_fixture.h"
#include "ui/error_box.h"

namespace {

TEST(ErrorBox, FinalFullStopRule) {
  const std::pair<QString, QString> cases[] = {
      {"Port busy", "Port busy."},   {"Code 7", "Code 7."},     {"Done.", "Done."},   {"Wow!", "Wow!"},
      {"(none)", "(none)"},          {"a,", "a,"},              {"line\n", "line\n"}, {"Why?", "Why?."},
      {"ends in space ", "ends in space "}, {"", ""},          {"'x' is bad", "'x' is bad."},
      {"chyba ř", "chyba ř."},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(ui::shownMessage(message), shown) << message.toStdString();
}

TEST(ErrorBox, ApplicationTitleFromTheProgramFile) {
  const std::pair<QString, QString> cases[] = {
      {"C:/Tools/ABC.EXE", "Abc"}, {"/usr/bin/MY.TOOL.EXE", "My"}, {"/opt/vark/bin/vark", "vark"},
      {"VARK", "Vark"},            {"/x/.hidden", ""},            {"aBC.exe", "abc"},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(ui::applicationTitle(path), title) << path.toStdString();
}

TEST(ErrorBox, RealBoxIsCriticalApplicationModalAndOwnedByNoWindow) {
  ui::setApplicationTitle("Vark");
  TForm1 form;
  form.show();
  bool inspected = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    inspected = true;
    EXPECT_EQ(box->windowTitle(), "Vark");
    EXPECT_EQ(box->text(), "Module 8 did not answer.");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    box->button(QMessageBox::Ok)->click();
  });
  ui::showErrorBox("Module 8 did not answer");
  EXPECT_TRUE(inspected);
  EXPECT_TRUE(form.isEnabled());
}

TEST(Focus, FirstActivationSelectsTheConnectionTextAndTabSelectsTheNext) {
  TForm1 form;
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QApplication::focusWidget(), form.spojeni);
  EXPECT_EQ(form.spojeni->selectedText(), form.spojeni->text());

  QTest::keyClick(&form, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.adresa);
  EXPECT_EQ(form.adresa->selectedText(), "8");

  // Entered by the mouse, an edit box keeps the caret where it was put.
  form.spojeni->deselect();
  QTest::mouseClick(form.spojeni, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(QApplication::focusWidget(), form.spojeni);
  EXPECT_TRUE(form.spojeni->selectedText().isEmpty());
}

TEST(Focus, EnterClicksTheFocusedButtonAndEscapeNothing) {
  uitest::FormFixture f;
  f.form->show();
  QApplication::setActiveWindow(f.form.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(f.form.get()));
  QTest::keyClick(f.form->spojeni, Qt::Key_Escape);
  QTest::keyClick(f.form->spojeni, Qt::Key_Return);
  EXPECT_EQ(f.driver.created(), 0);
  f.form->spoj->setFocus();
  QTest::keyClick(f.form->spoj, Qt::Key_Return);
  EXPECT_EQ(f.driver.created(), 1);
}

}  // namespace
