// Window tests run offscreen, inside an initialised apartment, as in the program.
#include <gtest/gtest.h>

#include <QApplication>

#include "automation/registry.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  automation::initializeApartment();
  const int result = RUN_ALL_TESTS();
  automation::uninitializeApartment();
  return result;
}
