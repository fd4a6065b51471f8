#include "ui/tform1.h"

#include <QShowEvent>
#include <map>
#include <vector>

#include "automation/wide_string.h"
#include "device/integer_text.h"
#include "ui/appearance.h"
#include "ui/error_box.h"
#include "ui/form_layout.h"
#include "ui/selecting_edit.h"

using automation::Variant;

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("Form1");
  setWindowTitle("VARK - Tarvik");
  setWindowIcon(ui::windowIcon());
  setFont(ui::windowFont());
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFixedSize(ui::kClientWidth, ui::kClientHeight);
  move(ui::kDesignedLeft, ui::kDesignedTop);

  buildFromLayout();
  Label1 = control<QLabel>(u"Label1");
  spojeni = control<QLineEdit>(u"spojeni");
  Label2 = control<QLabel>(u"Label2");
  adresa = control<QLineEdit>(u"adresa");
  spoj = control<QPushButton>(u"spoj");
  GroupBox1 = control<QGroupBox>(u"GroupBox1");
  Label3 = control<QLabel>(u"Label3");
  btnConfigRead = control<QPushButton>(u"btnConfigRead");
  eAnsDelay = control<QLineEdit>(u"eAnsDelay");
  Label4 = control<QLabel>(u"Label4");
  eComSpeed = control<QLineEdit>(u"eComSpeed");
  eComTout = control<QLineEdit>(u"eComTout");
  Label5 = control<QLabel>(u"Label5");
  btnConfigWrite = control<QPushButton>(u"btnConfigWrite");
  time0 = control<QLabel>(u"time0");
  eTime0H = control<QLineEdit>(u"eTime0H");
  Label7 = control<QLabel>(u"Label7");
  eTime1H = control<QLineEdit>(u"eTime1H");
  Label8 = control<QLabel>(u"Label8");
  eTime2H = control<QLineEdit>(u"eTime2H");
  Label9 = control<QLabel>(u"Label9");
  eTime3H = control<QLineEdit>(u"eTime3H");
  Label10 = control<QLabel>(u"Label10");
  eTime4H = control<QLineEdit>(u"eTime4H");
  Label11 = control<QLabel>(u"Label11");
  eTime5H = control<QLineEdit>(u"eTime5H");
  Label12 = control<QLabel>(u"Label12");
  eTime6H = control<QLineEdit>(u"eTime6H");
  Label13 = control<QLabel>(u"Label13");
  eTime7H = control<QLineEdit>(u"eTime7H");
  eTime7L = control<QLineEdit>(u"eTime7L");
  eTime6L = control<QLineEdit>(u"eTime6L");
  eTime5L = control<QLineEdit>(u"eTime5L");
  eTime4L = control<QLineEdit>(u"eTime4L");
  eTime3L = control<QLineEdit>(u"eTime3L");
  eTime2L = control<QLineEdit>(u"eTime2L");
  eTime1L = control<QLineEdit>(u"eTime1L");
  eTime0L = control<QLineEdit>(u"eTime0L");
  Label6 = control<QLabel>(u"Label6");
  Label14 = control<QLabel>(u"Label14");
  GroupBox2 = control<QGroupBox>(u"GroupBox2");
  cbIn0 = control<QCheckBox>(u"cbIn0");
  cbIn1 = control<QCheckBox>(u"cbIn1");
  cbIn2 = control<QCheckBox>(u"cbIn2");
  cbIn3 = control<QCheckBox>(u"cbIn3");
  cbIn4 = control<QCheckBox>(u"cbIn4");
  cbIn5 = control<QCheckBox>(u"cbIn5");
  cbIn6 = control<QCheckBox>(u"cbIn6");
  cbIn7 = control<QCheckBox>(u"cbIn7");
  btnRead = control<QPushButton>(u"btnRead");
  GroupBox3 = control<QGroupBox>(u"GroupBox3");
  cbOut0 = control<QCheckBox>(u"cbOut0");
  cbOut1 = control<QCheckBox>(u"cbOut1");
  cbOut2 = control<QCheckBox>(u"cbOut2");
  cbOut3 = control<QCheckBox>(u"cbOut3");
  cbOut4 = control<QCheckBox>(u"cbOut4");
  cbOut5 = control<QCheckBox>(u"cbOut5");
  cbOut6 = control<QCheckBox>(u"cbOut6");
  cbOut7 = control<QCheckBox>(u"cbOut7");
  cbFlash = control<QCheckBox>(u"cbFlash");
  for (std::size_t i = 0; i < config::kFields.size(); ++i)
    configBoxes_[i] = findChild<QLineEdit*>(config::kFields[i].box);
  for (int i = 0; i < io::kChannels; ++i) {
    inputBoxes_[i] = findChild<QCheckBox*>(QString("cbIn%1").arg(i));
    outputBoxes_[i] = findChild<QCheckBox*>(QString("cbOut%1").arg(i));
  }
  connectionControls_ = {spoj, spojeni, adresa};
  connectedControls_ = {eAnsDelay, eComSpeed, eComTout, btnConfigRead, btnConfigWrite,
                        eTime0H, eTime1H, eTime2H, eTime3H, eTime4H, eTime5H, eTime6H, eTime7H,
                        eTime0L, eTime1L, eTime2L, eTime3L, eTime4L, eTime5L, eTime6L, eTime7L,
                        btnRead, cbOut0, cbOut1, cbOut2, cbOut3, cbOut4, cbOut5, cbOut6, cbOut7};
  bindHandlers();
}

template <class T>
T* TForm1::control(const char16_t* name) {
  return findChild<T*>(QString::fromUtf16(name));
}

void TForm1::buildFromLayout() {
  // Tab order runs through the window's controls, descending into each group
  // box at its place; collect focusable controls per parent first.
  std::map<QString, std::map<int, QWidget*>> byParentAndTab;
  for (const ui::ControlRow& row : ui::formLayout()) {
    QWidget* parent = row.parent.isEmpty() ? this : findChild<QWidget*>(row.parent);
    QWidget* widget = nullptr;
    switch (row.kind) {
      case ui::ControlKind::Label: widget = new QLabel(row.text, parent); break;
      case ui::ControlKind::Edit: widget = new ui::SelectingEdit(row.text, parent); break;
      case ui::ControlKind::GroupBox: widget = new QGroupBox(row.text, parent); break;
      case ui::ControlKind::CheckBox: widget = new QCheckBox(row.text, parent); break;
      case ui::ControlKind::Button: {
        auto* button = new QPushButton(row.text, parent);
        // Enter clicks the focused button; no button is the default one.
        button->setAutoDefault(true);
        widget = button;
        break;
      }
    }
    widget->setObjectName(row.name);
    widget->setGeometry(row.geometry);
    widget->setEnabled(row.enabled);
    if (row.tabOrder >= 0) byParentAndTab[row.parent][row.tabOrder] = widget;
  }

  std::vector<QWidget*> chain;
  for (const auto& [tab, widget] : byParentAndTab[""]) {
    if (byParentAndTab.count(widget->objectName()) == 0) {
      chain.push_back(widget);
      continue;
    }
    for (const auto& [innerTab, inner] : byParentAndTab[widget->objectName()]) chain.push_back(inner);
  }
  for (std::size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::bindHandlers() {
  connect(spoj, &QPushButton::clicked, this, [this] { dispatch(&TForm1::spojClick); });
  connect(btnConfigRead, &QPushButton::clicked, this, [this] { dispatch(&TForm1::btnConfigReadClick); });
  connect(btnConfigWrite, &QPushButton::clicked, this, [this] { dispatch(&TForm1::btnConfigWriteClick); });
  connect(btnRead, &QPushButton::clicked, this, [this] { dispatch(&TForm1::btnReadClick); });
  // toggled, not clicked: a box's handler runs on every change of its state.
  using Handler = void (TForm1::*)();
  const std::array<Handler, io::kChannels> outputHandlers{
      &TForm1::cbOut0Click, &TForm1::cbOut1Click, &TForm1::cbOut2Click, &TForm1::cbOut3Click,
      &TForm1::cbOut4Click, &TForm1::cbOut5Click, &TForm1::cbOut6Click, &TForm1::cbOut7Click};
  for (int i = 0; i < io::kChannels; ++i) {
    const Handler handler = outputHandlers[i];
    connect(outputBoxes_[i], &QCheckBox::toggled, this, [this, handler] { dispatch(handler); });
  }
}

void TForm1::dispatch(void (TForm1::*handler)()) {
  try {
    (this->*handler)();
  } catch (const std::exception& failure) {
    ui::showErrorBox(failure.what());
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (activatedOnce_) return;
  activatedOnce_ = true;
  spojeni->setFocus(Qt::OtherFocusReason);
  spojeni->selectAll();
}

std::uint8_t TForm1::dejOuty() const {
  io::Marks marks{};
  for (int i = 0; i < io::kChannels; ++i) marks[i] = outputBoxes_[i]->isChecked();
  return io::outputMask(marks);
}

void TForm1::spojClick() {
  // 1. Create the driver; the handler's own reference lives until it returns.
  const std::shared_ptr<automation::Dispatch> created = device::createDriver();
  link_.release();
  link_.attach(created);
  // 2. The connection text goes through unchanged.
  link_.setConnection(automation::makeWideString(spojeni->text().toStdU16String()));
  // 3. Only now is the address read.
  link_.setAddress(device::integerFromText(adresa->text().toStdString()));
  // 4. and 5. Connected.
  for (QWidget* control : connectionControls_) control->setEnabled(false);
  for (QWidget* control : connectedControls_) control->setEnabled(true);
}

void TForm1::btnConfigReadClick() {
  const Variant data = link_.readBlock(config::kBlock, config::kOffset, config::kSize);
  if (!data.isArray()) return;
  // Each box is set as soon as its value arrives, so a failure part-way
  // leaves the earlier boxes filled.
  for (std::size_t i = 0; i < config::kFields.size(); ++i) {
    const config::Field& field = config::kFields[i];
    const std::int32_t value = device::integerFromVariant(link_.getValue(field.offset, field.type()));
    configBoxes_[i]->setText(QString::number(config::shownValue(field, value)));
  }
  cbFlash->setEnabled(true);
}

void TForm1::btnConfigWriteClick() {
  // Every box is converted before anything is sent, in the block table's order.
  config::Values values{};
  for (std::size_t i = 0; i < config::kFields.size(); ++i)
    values[i] = device::integerFromText(configBoxes_[i]->text().toStdString());
  link_.writeBlock(config::kBlock, config::kOffset,
                   Variant::byteArray(config::encode(values, cbFlash->isChecked())));
}

void TForm1::btnReadClick() {
  const Variant data = link_.readBlock(io::kBlock, io::kInputOffset, io::kInputCount);
  if (!data.isArray()) return;
  const std::int32_t inputs = device::integerFromVariant(link_.getValue(io::kInputOffset, io::kInputType));
  const io::Marks marks = io::inputMarks(inputs);
  for (int i = 0; i < io::kChannels; ++i) inputBoxes_[i]->setChecked(marks[i]);
}

// The eight output handlers do the same: the whole output byte goes out.
void TForm1::writeOutputs() { link_.writeBlock(io::kBlock, io::kOutputOffset, Variant::i4(dejOuty())); }
void TForm1::cbOut0Click() { writeOutputs(); }
void TForm1::cbOut1Click() { writeOutputs(); }
void TForm1::cbOut2Click() { writeOutputs(); }
void TForm1::cbOut3Click() { writeOutputs(); }
void TForm1::cbOut4Click() { writeOutputs(); }
void TForm1::cbOut5Click() { writeOutputs(); }
void TForm1::cbOut6Click() { writeOutputs(); }
void TForm1::cbOut7Click() { writeOutputs(); }
