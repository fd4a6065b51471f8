#include <QApplication>

#include "app/application.h"
#ifdef VARK_WITH_DRIVER
#include "driver/tarvik_driver.h"
#endif

int main(int argc, char** argv) {
  QApplication application(argc, argv);
#ifdef VARK_WITH_DRIVER
  // Our driver takes the place of the vendor's: it is registered under the
  // driver's class name before the window exists, and the window creates it
  // by that name.
  driver::registerTarvikDriver();
#endif
  return app::run(application);
}
