#pragma once
// Small shared pieces of the benchmarks: a monotonic clock in nanoseconds,
// medians, and the one output format run.sh collects.
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// CLOCK_MONOTONIC, comparable across processes on the machine.
std::int64_t monotonicNs();
double median(std::vector<double> values);
// "figure NAME VALUE" on stdout, the line run.sh picks up.
void figure(const std::string& name, double value);

}  // namespace bench
