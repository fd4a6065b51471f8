#pragma once
// Marks the first painted frame of a top-level window: once the window has
// had its first Paint and the event loop comes round again (the frame is on
// the screen by then), prints "frame NS" (monotonic) on stdout and, unless
// told to stay, quits the application.
#include <QObject>

namespace bench {

class FirstFrame : public QObject {
 public:
  FirstFrame(const char* windowClass, bool quitAfter) : windowClass_(windowClass), quitAfter_(quitAfter) {}
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const char* windowClass_;
  bool quitAfter_;
  bool seen_ = false;
};

}  // namespace bench
