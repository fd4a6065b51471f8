// A bare Qt window of one widget, started and marked the way the VARK
// launcher is, as the yardstick for start-up time and memory.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include "bench/first_frame.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  bench::FirstFrame mark("QWidget", true);
  application.installEventFilter(&mark);
  QWidget window;
  QPushButton button("OK", &window);
  window.show();
  return application.exec();
}
