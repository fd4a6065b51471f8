// Start-up of VARK against a bare one-widget Qt window, side by side: each
// run is a fresh process, timed from just before exec to its first painted
// frame, and its peak RSS taken from wait4(). Runs alternate so that both
// see the same machine. Prints both medians and the two ratios.
//   vark_bench_startup VARK_LAUNCHER BARE_WINDOW RUNS
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"

namespace {

struct Sample {
  bool ok = false;
  double startupMs = 0;
  double rssKiB = 0;
};

Sample runOnce(const char* program) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {};
  const std::int64_t start = bench::monotonicNs();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    char* const argv[] = {const_cast<char*>(program), nullptr};
    ::execv(program, argv);
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char chunk[256];
  // A window that never paints is killed after 30 s.
  const std::int64_t guard = start + 30'000'000'000LL;
  bool ended = false;  // its output closed: it is exiting
  while (!ended && bench::monotonicNs() < guard) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    const ssize_t n = ::read(out[0], chunk, sizeof chunk);
    if (n <= 0) ended = true;
    else text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  if (!ended) ::kill(pid, SIGKILL);
  ::wait4(pid, &status, 0, &usage);
  if (!ended) return {};
  const auto at = text.find("frame ");
  if (at == std::string::npos || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  const long long frame = std::atoll(text.c_str() + at + 6);
  return {true, (frame - start) / 1e6, static_cast<double>(usage.ru_maxrss)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: vark_bench_startup VARK_LAUNCHER BARE_WINDOW RUNS\n");
    return 2;
  }
  const int runs = std::atoi(argv[3]);
  runOnce(argv[1]);  // one of each first: the files are in the page cache for all timed runs
  runOnce(argv[2]);
  std::vector<double> varkMs, bareMs, varkRss, bareRss;
  for (int i = 0; i < runs; ++i) {
    for (int which = 0; which < 2; ++which) {
      const Sample s = runOnce(argv[1 + which]);
      if (!s.ok) {
        std::fprintf(stderr, "vark_bench_startup: %s did not reach its first frame\n", argv[1 + which]);
        return 1;
      }
      (which == 0 ? varkMs : bareMs).push_back(s.startupMs);
      (which == 0 ? varkRss : bareRss).push_back(s.rssKiB);
    }
  }
  const double vm = bench::median(varkMs), bm = bench::median(bareMs);
  const double vr = bench::median(varkRss), br = bench::median(bareRss);
  std::printf("start-up to first frame, median of %d: VARK %.1f ms, bare window %.1f ms\n", runs, vm, bm);
  std::printf("peak RSS, median of %d: VARK %.0f KiB, bare window %.0f KiB\n", runs, vr, br);
  bench::figure("startup_ms.vark", vm);
  bench::figure("startup_ms.bare", bm);
  bench::figure("rss_kib.vark", vr);
  bench::figure("rss_kib.bare", br);
  bench::figure("startup_ratio", vm / bm);
  bench::figure("rss_ratio", vr / br);
  return 0;
}
