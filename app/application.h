#pragma once
// Start-up and shut-down around the event loop.
#include <QApplication>

namespace app {

// Titles the application, initialises the automation apartment, shows Form1
// and runs the event loop; destroys the window (and with it the device link)
// before the apartment is closed. Always answers 0.
int run(QApplication& application);

}  // namespace app
