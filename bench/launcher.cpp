// VARK started exactly as app/main.cpp starts it, with a mark at the first
// painted frame (the program itself has no such hook and reads no
// environment). Modes:
//   vark_bench_launcher              prints "frame NS" at the first frame, quits
//   vark_bench_launcher --idle SECS  clicks "spoj" with the default texts, lets
//                                    the connected window sit for SECS seconds
//                                    and prints "wakeups PER_SECOND"
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>

#include "app/application.h"
#include "bench/bench_util.h"
#include "bench/first_frame.h"
#include "driver/tarvik_driver.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace {

// Voluntary context switches of every thread of this process: each is a
// sleep the process went into, so their rate counts its wake-ups.
long long voluntarySwitches() {
  long long total = 0;
  DIR* tasks = ::opendir("/proc/self/task");
  if (!tasks) return -1;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
    std::string key;
    while (status >> key) {
      if (key == "voluntary_ctxt_switches:") {
        long long n = 0;
        status >> n;
        total += n;
        break;
      }
      status.ignore(1 << 12, '\n');
    }
  }
  ::closedir(tasks);
  return total;
}

TForm1* findForm() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<TForm1*>(widget)) return form;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  driver::registerTarvikDriver();

  const bool idle = argc == 3 && std::string(argv[1]) == "--idle";
  bench::FirstFrame mark("TForm1", !idle);
  application.installEventFilter(&mark);
  int exitCode = 0;
  if (idle) {
    const int seconds = std::atoi(argv[2]);
    ui::setErrorPresenter([&](const QString&, const QString& text) {
      std::fprintf(stderr, "vark_bench_launcher: %s\n", text.toUtf8().constData());
      exitCode = 1;
      QCoreApplication::quit();
    });
    QTimer::singleShot(0, [&, seconds] {
      TForm1* form = findForm();
      if (!form) {
        std::fprintf(stderr, "vark_bench_launcher: no TForm1 window\n");
        exitCode = 1;
        QCoreApplication::quit();
        return;
      }
      form->spoj->click();
      // A second to settle after the connect, then the window is left alone.
      QTimer::singleShot(1000, [seconds] {
        const long long before = voluntarySwitches();
        const std::int64_t start = bench::monotonicNs();
        QTimer::singleShot(seconds * 1000, [before, start] {
          const long long after = voluntarySwitches();
          const double elapsed = (bench::monotonicNs() - start) / 1e9;
          std::printf("wakeups %.3f\n", (after - before) / elapsed);
          std::fflush(stdout);
          QCoreApplication::quit();
        });
      });
    });
  }
  app::run(application);
  return exitCode;
}
