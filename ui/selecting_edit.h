#pragma once
#include <QLineEdit>

namespace ui {

// An edit box that selects its whole text when it gets the keyboard focus by
// any means but the mouse.
class SelectingEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace ui
