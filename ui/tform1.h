#pragma once
// The main window: every control of the layout, the device link, and one
// click handler per event.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "device/config_block.h"
#include "device/device_link.h"
#include "device/io_bytes.h"

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);

  // The controls, named as the layout names them.
  QLabel* Label1;
  QLineEdit* spojeni;
  QLabel* Label2;
  QLineEdit* adresa;
  QPushButton* spoj;
  QGroupBox* GroupBox1;
  QLabel* Label3;
  QPushButton* btnConfigRead;
  QLineEdit* eAnsDelay;
  QLabel* Label4;
  QLineEdit* eComSpeed;
  QLineEdit* eComTout;
  QLabel* Label5;
  QPushButton* btnConfigWrite;
  QLabel* time0;
  QLineEdit* eTime0H;
  QLabel* Label7;
  QLineEdit* eTime1H;
  QLabel* Label8;
  QLineEdit* eTime2H;
  QLabel* Label9;
  QLineEdit* eTime3H;
  QLabel* Label10;
  QLineEdit* eTime4H;
  QLabel* Label11;
  QLineEdit* eTime5H;
  QLabel* Label12;
  QLineEdit* eTime6H;
  QLabel* Label13;
  QLineEdit* eTime7H;
  QLineEdit* eTime7L;
  QLineEdit* eTime6L;
  QLineEdit* eTime5L;
  QLineEdit* eTime4L;
  QLineEdit* eTime3L;
  QLineEdit* eTime2L;
  QLineEdit* eTime1L;
  QLineEdit* eTime0L;
  QLabel* Label6;
  QLabel* Label14;
  QGroupBox* GroupBox2;
  QCheckBox* cbIn0;
  QCheckBox* cbIn1;
  QCheckBox* cbIn2;
  QCheckBox* cbIn3;
  QCheckBox* cbIn4;
  QCheckBox* cbIn5;
  QCheckBox* cbIn6;
  QCheckBox* cbIn7;
  QPushButton* btnRead;
  QGroupBox* GroupBox3;
  QCheckBox* cbOut0;
  QCheckBox* cbOut1;
  QCheckBox* cbOut2;
  QCheckBox* cbOut3;
  QCheckBox* cbOut4;
  QCheckBox* cbOut5;
  QCheckBox* cbOut6;
  QCheckBox* cbOut7;
  QCheckBox* cbFlash;

  // Bit i set exactly when cbOut<i> is checked.
  std::uint8_t dejOuty() const;

  void spojClick();
  void btnConfigReadClick();
  void btnConfigWriteClick();
  void btnReadClick();
  void cbOut0Click();
  void cbOut1Click();
  void cbOut2Click();
  void cbOut3Click();
  void cbOut4Click();
  void cbOut5Click();
  void cbOut6Click();
  void cbOut7Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  template <class T>
  T* control(const char16_t* name);
  void buildFromLayout();
  void bindHandlers();
  // Runs a handler; whatever it raises ends in the error box.
  void dispatch(void (TForm1::*handler)());
  void writeOutputs();

  std::array<QLineEdit*, config::kFields.size()> configBoxes_{};  // in the block table's order
  std::array<QCheckBox*, io::kChannels> inputBoxes_{};
  std::array<QCheckBox*, io::kChannels> outputBoxes_{};
  std::vector<QWidget*> connectionControls_;  // disabled by a connect, in this order
  std::vector<QWidget*> connectedControls_;   // then enabled, in this order
  bool activatedOnce_ = false;

  // The one reference to the driver; empty until a connect has created one.
  device::DeviceLink link_;
};
