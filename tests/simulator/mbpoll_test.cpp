// The simulator read and written by an independent Modbus master (Debian's
// mbpoll) over its pty: proof that it answers plain Modbus RTU, not only our
// driver.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "simulator/register_model.h"
#include "tests/fixtures/simulator_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kMbpoll = "/usr/bin/mbpoll";

// Runs mbpoll to the end (at most a 20 s guard, then killed by its pid) and
// answers its exit status and standard output.
struct MbpollRun {
  int exitCode = -1;
  std::string output;
};

MbpollRun runMbpoll(std::vector<std::string> args) {
  args.insert(args.begin(), kMbpoll);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  MbpollRun run;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  bool ended = false;  // its output closed: it is exiting
  while (!ended && Clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char chunk[1024];
    const ssize_t n = ::read(out[0], chunk, sizeof chunk);
    if (n <= 0) ended = true;
    else run.output.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  if (!ended) ::kill(pid, SIGKILL);  // past the guard: it hung
  ::waitpid(pid, &status, 0);
  if (!ended) return run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// "[256]: 	0x0605" lines: register number -> value.
std::map<int, int> registersShown(const std::string& output) {
  std::map<int, int> shown;
  const std::regex line(R"(\[(\d+)\]:\s+0x([0-9A-Fa-f]{4}))");
  for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator(); ++it)
    shown[std::stoi((*it)[1])] = std::stoi((*it)[2], nullptr, 16);
  return shown;
}

// Station 8 at 38400 8N2, polled once; values to write follow the port.
std::vector<std::string> rtu(const std::string& port, std::vector<std::string> more,
                             std::vector<std::string> values = {}) {
  std::vector<std::string> args{"-m", "rtu", "-a", "8", "-b", "38400", "-P", "none", "-s", "2", "-1", "-o", "2"};
  args.insert(args.end(), more.begin(), more.end());
  args.push_back(port);
  args.insert(args.end(), values.begin(), values.end());
  return args;
}

struct Addressing {
  const char* name;
  std::vector<std::string> options;
  int firstShown;  // the number mbpoll gives register 0x100
};

void PrintTo(const Addressing& a, std::ostream* out) { *out << a.name; }

class SimMbpoll : public testing::TestWithParam<Addressing> {};

TEST_P(SimMbpoll, ReadsTheDefaultConfigurationBlock) {
  const Addressing& a = GetParam();
  simtest::SimulatorProcess sim({"--pty"});
  std::vector<std::string> options{"-t", "4:hex", "-c", "16"};
  options.insert(options.end(), a.options.begin(), a.options.end());
  const MbpollRun run = runMbpoll(rtu(sim.where(), options));
  ASSERT_EQ(run.exitCode, 0) << run.output;

  const auto block = simcore::defaultConfig();
  std::map<int, int> expected;
  for (int i = 0; i < 16; ++i) expected[a.firstShown + i] = block[2 * i] | block[2 * i + 1] << 8;  // even byte low
  EXPECT_EQ(registersShown(run.output), expected) << run.output;
  ASSERT_TRUE(sim.waitForLines(1, std::chrono::seconds(5)));
  EXPECT_NE(sim.lines()[0].find("station 8 FC03 0x0100+16 ok"), std::string::npos) << sim.lines()[0];
}

INSTANTIATE_TEST_SUITE_P(Addressing, SimMbpoll,
                         testing::Values(Addressing{"OneBased", {"-r", "257"}, 257},
                                         Addressing{"ZeroBased", {"-0", "-r", "256"}, 256}),
                         [](const testing::TestParamInfo<Addressing>& info) { return std::string(info.param.name); });

TEST(SimMbpollWrite, OutputsWrittenByMbpollLoopBackToTheInputs) {
  simtest::SimulatorProcess sim({"--pty", "--loopback"});
  const MbpollRun written = runMbpoll(rtu(sim.where(), {"-t", "4", "-0", "-r", "514"}, {"165"}));
  ASSERT_EQ(written.exitCode, 0) << written.output;
  const MbpollRun shown = runMbpoll(rtu(sim.where(), {"-t", "4:hex", "-0", "-r", "512", "-c", "3"}));
  ASSERT_EQ(shown.exitCode, 0) << shown.output;
  // Inputs follow the outputs; the register between them reads 0.
  EXPECT_EQ(registersShown(shown.output), (std::map<int, int>{{512, 0xA5}, {513, 0}, {514, 0xA5}})) << shown.output;
  ASSERT_TRUE(sim.waitForLines(2, std::chrono::seconds(5)));
  EXPECT_NE(sim.lines()[0].find("FC06 0x0202+1 ok"), std::string::npos) << sim.lines()[0];
  EXPECT_NE(sim.lines()[1].find("FC03 0x0200+3 ok"), std::string::npos) << sim.lines()[1];
}

}  // namespace
