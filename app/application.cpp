#include "app/application.h"

#include "automation/registry.h"
#include "ui/appearance.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace app {

int run(QApplication& application) {
  ui::setApplicationTitle(ui::applicationTitle(QCoreApplication::applicationFilePath()));
  application.setWindowIcon(ui::windowIcon());

  // A failure here is not reported: it surfaces when the driver cannot be created.
  const bool apartmentReady = automation::succeeded(automation::initializeApartment());
  {
    TForm1 Form1;
    Form1.show();
    application.exec();
  }
  if (apartmentReady) automation::uninitializeApartment();
  return 0;
}

}  // namespace app
