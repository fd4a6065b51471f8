#include "ui/error_box.h"

#include <QFileInfo>
#include <QMessageBox>

namespace ui {
namespace {

QString& title() {
  static QString value;
  return value;
}

ErrorPresenter& presenter() {
  static ErrorPresenter value;
  return value;
}

void presentInMessageBox(const QString& caption, const QString& text) {
  // Parentless and application-modal: the box belongs to the program, and
  // every window stays disabled while it is open.
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace

QString applicationTitle(const QString& programPath) {
  QString name = QFileInfo(programPath).fileName();
  name.truncate(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}

void setApplicationTitle(const QString& value) { title() = value; }
QString currentApplicationTitle() { return title(); }

QString shownMessage(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + '.';
  return message;
}

void showErrorBox(const std::string& message) {
  const QString text = shownMessage(QString::fromStdString(message));
  if (presenter())
    presenter()(title(), text);
  else
    presentInMessageBox(title(), text);
}

void setErrorPresenter(ErrorPresenter value) { presenter() = std::move(value); }

}  // namespace ui
