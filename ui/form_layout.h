#pragma once
// The main window's layout: every control with its kind, parent, text,
// geometry (pixels at 96 dpi, relative to the parent), tab order and enabled
// state at start. TForm1 is built from this table alone.
#include <QRect>
#include <QString>
#include <vector>

namespace ui {

enum class ControlKind { Label, Edit, Button, GroupBox, CheckBox };

struct ControlRow {
  QString name;
  ControlKind kind;
  QString parent;  // empty: the window itself
  QString text;    // caption, or an edit box's initial text
  QRect geometry;
  int tabOrder;  // within the parent; -1 for controls that take no focus
  bool enabled;
};

inline constexpr int kClientWidth = 247;
inline constexpr int kClientHeight = 522;
inline constexpr int kDesignedLeft = 245;
inline constexpr int kDesignedTop = 137;

// In creation order, parents before their children.
const std::vector<ControlRow>& formLayout();

}  // namespace ui
