#include "ui/appearance.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

namespace ui {
namespace {

// Fontconfig hides this file by default; its .fon siblings lack a Unicode map.
constexpr char kLookAlikeFont[] = "/usr/share/wine/fonts/ms_sans_serif.ttf";

QPixmap drawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, size > 16);
  const qreal u = size / 16.0;
  // The module's housing with its terminal strip on top.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2b, 0x4a, 0x7a));
  p.drawRoundedRect(QRectF(1 * u, 3 * u, 14 * u, 12 * u), 1.5 * u, 1.5 * u);
  p.setBrush(QColor(0x9a, 0xa4, 0xae));
  p.drawRect(QRectF(2 * u, 1 * u, 12 * u, 2 * u));
  // Two rows of four LEDs: inputs and outputs, some lit.
  const bool lit[8] = {true, false, true, false, false, true, true, false};
  for (int i = 0; i < 8; ++i) {
    p.setBrush(lit[i] ? QColor(0x3c, 0xe0, 0x50) : QColor(0x10, 0x20, 0x30));
    p.drawRect(QRectF((2.5 + 3 * (i % 4)) * u, (6 + 4 * (i / 4)) * u, 2 * u, 2 * u));
  }
  return pixmap;
}

}  // namespace

QFont windowFont() {
  const int id = QFontDatabase::addApplicationFont(kLookAlikeFont);
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty()) return QFont("DejaVu Sans", 8);
  QFont font(families.first());
  font.setPixelSize(11);
  return font;
}

QIcon windowIcon() {
  QIcon icon;
  icon.addPixmap(drawIcon(16));
  icon.addPixmap(drawIcon(32));
  return icon;
}

}  // namespace ui
