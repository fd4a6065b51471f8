#include "bench/first_frame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "bench/bench_util.h"

namespace bench {

bool FirstFrame::eventFilter(QObject* watched, QEvent* event) {
  if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow() && watched->inherits(windowClass_)) {
    seen_ = true;
    const bool quit = quitAfter_;
    QTimer::singleShot(0, [quit] {
      std::printf("frame %lld\n", static_cast<long long>(monotonicNs()));
      std::fflush(stdout);
      if (quit) QCoreApplication::quit();
    });
  }
  return false;
}

}  // namespace bench
