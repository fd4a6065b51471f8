#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/tform1.h"

namespace {

struct Expected {
  QString name;
  const char* kind;  // Qt class
  QString parent;
  QString text;
  QRect geometry;
  bool enabled;
};

// Written out from the window's design, independently of the layout table.
std::vector<Expected> expectedControls() {
  std::vector<Expected> e{
      {"Label1", "QLabel", "Form1", "Spojení:", {16, 16, 39, 13}, true},
      {"Label2", "QLabel", "Form1", "Adresa:", {16, 48, 36, 13}, true},
      {"spojeni", "ui::SelectingEdit", "Form1", "serialPort:COM3/38400/8/2", {56, 16, 161, 21}, true},
      {"adresa", "ui::SelectingEdit", "Form1", "8", {56, 48, 89, 21}, true},
      {"spoj", "QPushButton", "Form1", "Připojit", {152, 48, 75, 25}, true},
      {"GroupBox1", "QGroupBox", "Form1", "Konfigurace [BLOK 1]", {16, 80, 217, 305}, true},
      {"GroupBox2", "QGroupBox", "Form1", "Vstupy", {16, 392, 217, 57}, true},
      {"GroupBox3", "QGroupBox", "Form1", "Výstupy", {16, 456, 217, 57}, true},
      {"Label3", "QLabel", "GroupBox1", "ansdelay:", {16, 24, 45, 13}, true},
      {"Label4", "QLabel", "GroupBox1", "comspeed:", {8, 48, 52, 13}, true},
      {"Label5", "QLabel", "GroupBox1", "comtout:", {16, 72, 41, 13}, true},
      {"btnConfigRead", "QPushButton", "GroupBox1", "Načti", {152, 16, 49, 25}, false},
      {"eAnsDelay", "ui::SelectingEdit", "GroupBox1", "", {64, 22, 81, 21}, false},
      {"eComSpeed", "ui::SelectingEdit", "GroupBox1", "", {64, 46, 81, 21}, false},
      {"eComTout", "ui::SelectingEdit", "GroupBox1", "", {64, 69, 81, 21}, false},
      {"btnConfigWrite", "QPushButton", "GroupBox1", "Zapiš", {152, 40, 49, 25}, false},
      {"cbFlash", "QCheckBox", "GroupBox1", "Flash", {152, 72, 97, 17}, false},
      {"Label14", "QLabel", "GroupBox1", "log 0", {92, 96, 23, 13}, true},
      {"Label6", "QLabel", "GroupBox1", "log 1", {160, 96, 23, 13}, true},
      {"btnRead", "QPushButton", "GroupBox2", "Čti", {168, 20, 41, 25}, false},
  };
  const char* timeLabels[8] = {"time0", "Label7", "Label8", "Label9", "Label10", "Label11", "Label12", "Label13"};
  for (int i = 0; i < 8; ++i) {
    const QString n = QString::number(i);
    e.push_back({timeLabels[i], "QLabel", "GroupBox1", "time " + n + ":", {40, 112 + 24 * i, 31, 13}, true});
    e.push_back({"eTime" + n + "L", "ui::SelectingEdit", "GroupBox1", "", {80, 109 + 24 * i, 49, 21}, false});
    e.push_back({"eTime" + n + "H", "ui::SelectingEdit", "GroupBox1", "", {144, 109 + 24 * i, 49, 21}, false});
    e.push_back({"cbIn" + n, "QCheckBox", "GroupBox2", "in" + n, {8 + 40 * (i % 4), 16 + 16 * (i / 4), 41, 17}, false});
    e.push_back({"cbOut" + n, "QCheckBox", "GroupBox3", "out" + n, {8 + 48 * (i % 4), 16 + 16 * (i / 4), 41, 17}, false});
  }
  return e;
}

QString textOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  return "?";
}

TEST(Layout, EveryControlAsDesigned) {
  TForm1 form;
  const auto expected = expectedControls();
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name.toStdString());
    auto* w = form.findChild<QWidget*>(e.name);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->metaObject()->className(), e.kind);
    EXPECT_EQ(w->parentWidget()->objectName(), e.parent);
    EXPECT_EQ(textOf(w), e.text);
    EXPECT_EQ(w->geometry(), e.geometry);
    EXPECT_EQ(w->isEnabled(), e.enabled);
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
      EXPECT_FALSE(box->isChecked());
    }
  }
  // Nothing more than the design: the window's own controls and nothing else.
  int controls = 0;
  for (QWidget* w : form.findChildren<QWidget*>())
    if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_")) ++controls;
  EXPECT_EQ(controls, static_cast<int>(expected.size()));
}

TEST(Layout, TabOrderRunsThroughTheGroupsInDesignOrder) {
  TForm1 form;
  QStringList expected{"spojeni", "adresa", "spoj", "btnConfigRead", "eAnsDelay", "eComSpeed", "eComTout",
                       "btnConfigWrite"};
  for (int i = 0; i < 8; ++i) expected << QString("eTime%1H").arg(i);
  for (int i = 7; i >= 0; --i) expected << QString("eTime%1L").arg(i);
  expected << "cbFlash";
  for (int i = 0; i < 8; ++i) expected << QString("cbIn%1").arg(i);
  expected << "btnRead";
  for (int i = 0; i < 8; ++i) expected << QString("cbOut%1").arg(i);

  QStringList chain;
  QWidget* w = form.spojeni;
  do {
    if (w->focusPolicy() & Qt::TabFocus) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != form.spojeni && chain.size() < 100);
  EXPECT_EQ(chain, expected);
}

TEST(Layout, WindowIsFixedWithoutMaximise) {
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), "VARK - Tarvik");
  EXPECT_EQ(form.size(), QSize(247, 522));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_EQ(form.pos(), QPoint(245, 137));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(form.windowIcon().availableSizes().isEmpty());
  EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(16, 16)));
  EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(32, 32)));
  EXPECT_EQ(QFontMetrics(form.font()).height(), 13);
  EXPECT_EQ(form.spoj->font(), form.font());
}

TEST(Layout, NoButtonIsDefaultAndEnterClicksTheFocusedOne) {
  TForm1 form;
  for (QPushButton* b : form.findChildren<QPushButton*>()) {
    EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
    EXPECT_TRUE(b->autoDefault()) << b->objectName().toStdString();
  }
}

}  // namespace
