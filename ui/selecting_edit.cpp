#include "ui/selecting_edit.h"

#include <QFocusEvent>

namespace ui {

void SelectingEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason) selectAll();
}

}  // namespace ui
