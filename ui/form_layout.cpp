#include "ui/form_layout.h"

namespace ui {
namespace {

std::vector<ControlRow> buildLayout() {
  using K = ControlKind;
  std::vector<ControlRow> c{
      {"Label1", K::Label, "", "Spojení:", {16, 16, 39, 13}, -1, true},
      {"Label2", K::Label, "", "Adresa:", {16, 48, 36, 13}, -1, true},
      {"spojeni", K::Edit, "", "serialPort:COM3/38400/8/2", {56, 16, 161, 21}, 0, true},
      {"adresa", K::Edit, "", "8", {56, 48, 89, 21}, 1, true},
      {"spoj", K::Button, "", "Připojit", {152, 48, 75, 25}, 2, true},
      {"GroupBox1", K::GroupBox, "", "Konfigurace [BLOK 1]", {16, 80, 217, 305}, 3, true},
      {"GroupBox2", K::GroupBox, "", "Vstupy", {16, 392, 217, 57}, 4, true},
      {"GroupBox3", K::GroupBox, "", "Výstupy", {16, 456, 217, 57}, 5, true},

      {"Label3", K::Label, "GroupBox1", "ansdelay:", {16, 24, 45, 13}, -1, true},
      {"Label4", K::Label, "GroupBox1", "comspeed:", {8, 48, 52, 13}, -1, true},
      {"Label5", K::Label, "GroupBox1", "comtout:", {16, 72, 41, 13}, -1, true},
      {"btnConfigRead", K::Button, "GroupBox1", "Načti", {152, 16, 49, 25}, 0, false},
      {"eAnsDelay", K::Edit, "GroupBox1", "", {64, 22, 81, 21}, 1, false},
      {"eComSpeed", K::Edit, "GroupBox1", "", {64, 46, 81, 21}, 2, false},
      {"eComTout", K::Edit, "GroupBox1", "", {64, 69, 81, 21}, 3, false},
      {"btnConfigWrite", K::Button, "GroupBox1", "Zapiš", {152, 40, 49, 25}, 4, false},
      {"cbFlash", K::CheckBox, "GroupBox1", "Flash", {152, 72, 97, 17}, 21, false},
      {"Label14", K::Label, "GroupBox1", "log 0", {92, 96, 23, 13}, -1, true},
      {"Label6", K::Label, "GroupBox1", "log 1", {160, 96, 23, 13}, -1, true},
  };
  for (int i = 0; i < 8; ++i) {
    const int top = 24 * i;
    const QString row = QString::number(i);
    c.push_back({i == 0 ? "time0" : "Label" + QString::number(6 + i), K::Label, "GroupBox1",
                 "time " + row + ":", {40, 112 + top, 31, 13}, -1, true});
    c.push_back({"eTime" + row + "L", K::Edit, "GroupBox1", "", {80, 109 + top, 49, 21}, 20 - i, false});
    c.push_back({"eTime" + row + "H", K::Edit, "GroupBox1", "", {144, 109 + top, 49, 21}, 5 + i, false});
  }
  for (int i = 0; i < 8; ++i) {
    const QString n = QString::number(i);
    const int left = i % 4, top = 16 * (i / 4);
    c.push_back({"cbIn" + n, K::CheckBox, "GroupBox2", "in" + n, {8 + 40 * left, 16 + top, 41, 17}, i, false});
    c.push_back({"cbOut" + n, K::CheckBox, "GroupBox3", "out" + n, {8 + 48 * left, 16 + top, 41, 17}, i, false});
  }
  c.push_back({"btnRead", K::Button, "GroupBox2", "Čti", {168, 20, 41, 25}, 8, false});
  return c;
}

}  // namespace

const std::vector<ControlRow>& formLayout() {
  static const std::vector<ControlRow> layout = buildLayout();
  return layout;
}

}  // namespace ui
