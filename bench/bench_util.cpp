#include "bench/bench_util.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

namespace bench {

std::int64_t monotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void figure(const std::string& name, double value) {
  std::printf("figure %s %.3f\n", name.c_str(), value);
  std::fflush(stdout);
}

}  // namespace bench
