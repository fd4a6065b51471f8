// The window's handlers against the simulator, through the real driver:
// how many line transactions each one causes, how long each takes against
// the wire time of its frames on an emulated 38400 baud 8N2 line, and how
// long a configuration read takes to fail when no module answers.
#include <QApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/registry.h"
#include "bench/bench_util.h"
#include "driver/tarvik_driver.h"
#include "tests/fixtures/simulator_harness.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace {

using simtest::SimulatorProcess;

constexpr double kBitsPerChar = 11;  // 8N2: start, 8 data, 2 stop
constexpr double kBaud = 38400;

double wireMs(int requestBytes, int answerBytes) { return (requestBytes + answerBytes) * kBitsPerChar * 1000 / kBaud; }

std::vector<std::string> errorsShown;

// Lets the event loop run for a while, as an operator's pause between clicks does.
void pause(int ms) {
  const std::int64_t until = bench::monotonicNs() + ms * 1000000LL;
  while (bench::monotonicNs() < until) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(1000);
  }
}

std::unique_ptr<SimulatorProcess> simulator(std::vector<std::string> extra) {
  std::vector<std::string> args{"--pty", "--name", "COM3", "--loopback"};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<SimulatorProcess>(args);
}

std::unique_ptr<TForm1> connectedForm() {
  auto form = std::make_unique<TForm1>();
  form->show();
  form->spojeni->setText("serialPort:COM3/38400/8/2");
  form->adresa->setText("8");
  form->spoj->click();
  return form;
}

bool reportErrors(const char* where) {
  if (errorsShown.empty()) return false;
  for (const auto& text : errorsShown) std::fprintf(stderr, "vark_bench_form: %s: error box: %s\n", where, text.c_str());
  errorsShown.clear();
  return true;
}

struct Handler {
  const char* name;
  std::function<void(TForm1&)> click;
  double floorMs;  // wire time of its request and answer
};

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char pattern[] = "/tmp/vark-bench-XXXXXX";
  const char* runtime = ::mkdtemp(pattern);
  if (!runtime) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime, 1);  // our own alias folder for COM3

  QApplication application(argc, argv);
  automation::initializeApartment();
  driver::registerTarvikDriver();
  ui::setErrorPresenter([](const QString&, const QString& text) { errorsShown.push_back(text.toStdString()); });
  int exitCode = 0;

  const std::vector<Handler> handlers{
      {"config_read", [](TForm1& f) { f.btnConfigRead->click(); }, wireMs(8, 5 + 32)},
      {"config_write", [](TForm1& f) { f.btnConfigWrite->click(); }, wireMs(9 + 32, 8)},
      {"input_read", [](TForm1& f) { f.btnRead->click(); }, wireMs(8, 5 + 2)},
      {"output_click", [](TForm1& f) { f.cbOut0->click(); }, wireMs(8, 8)},
  };

  {
    std::printf("Line transactions per handler (counted by the simulator)\n");
    auto sim = simulator({});
    std::size_t seen = 0;
    auto count = [&](const char* name) {
      pause(200);  // every answer is logged by then
      const std::size_t now = sim->lines().size();
      std::printf("  %-14s %zu\n", name, now - seen);
      bench::figure(std::string("transactions.") + name, static_cast<double>(now - seen));
      seen = now;
    };
    auto form = connectedForm();
    count("connect");
    for (const Handler& h : handlers) {
      h.click(*form);
      count(h.name);
    }
    if (reportErrors("transactions")) exitCode = 1;
  }

  // Median handler time, click to the last box updated (all inside the click).
  auto handlerTimes = [&](std::vector<std::string> simArgs) {
    constexpr int kRuns = 41;
    simArgs.push_back("--quiet");
    auto sim = simulator(simArgs);
    auto form = connectedForm();
    form->btnConfigRead->click();  // fills the boxes the write sends
    std::vector<double> medians;
    for (const Handler& h : handlers) {
      std::vector<double> ms;
      for (int i = 0; i < kRuns; ++i) {
        pause(30);
        const std::int64_t start = bench::monotonicNs();
        h.click(*form);
        ms.push_back((bench::monotonicNs() - start) / 1e6);
      }
      medians.push_back(bench::median(ms));
    }
    if (reportErrors("handler times")) exitCode = 1;
    return medians;
  };
  {
    std::printf("Handler time against the wire (38400 8N2 emulated, median of 41)\n");
    const auto wire = handlerTimes({"--line-speed", "38400/8/2"});
    // The same with no wire time at all: what the pseudo-terminal, the two
    // processes and the window add, measured in the same run.
    const auto bare = handlerTimes({});
    for (std::size_t i = 0; i < handlers.size(); ++i) {
      const Handler& h = handlers[i];
      std::printf("  %-14s %7.2f ms, wire %6.2f ms, ratio %.3f (without wire time %.2f ms)\n", h.name, wire[i],
                  h.floorMs, wire[i] / h.floorMs, bare[i]);
      bench::figure(std::string("wire_ratio.") + h.name, wire[i] / h.floorMs);
      bench::figure(std::string("no_wire_ms.") + h.name, bare[i]);
    }
  }

  {
    std::printf("Configuration read with no module on the line (default settings)\n");
    auto sim = simulator({"--station", "9", "--quiet"});
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
      // A fresh connect each time: right after a time-out the driver first
      // waits one time-out of quiet for a late answer, which a second click
      // at once would pay on top.
      auto form = connectedForm();
      pause(30);
      const std::int64_t start = bench::monotonicNs();
      form->btnConfigRead->click();
      ms.push_back((bench::monotonicNs() - start) / 1e6);
    }
    const double m = bench::median(ms);
    const bool failed = errorsShown.size() == ms.size();
    std::printf("  failed after %.1f ms%s\n", m, failed ? "" : " (but not every read failed!)");
    if (!errorsShown.empty()) std::printf("  message: %s\n", errorsShown.front().c_str());
    errorsShown.clear();
    if (!failed) exitCode = 1;
    bench::figure("absent_module_ms", m);
  }

  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return exitCode;
}
