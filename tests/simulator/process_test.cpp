// tarvik-sim as a process: raw bytes over its pseudo-terminal and over TCP.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/port_alias.h"
#include "simulator/crc16.h"
#include "simulator/fault_plan.h"
#include "simulator/register_model.h"
#include "tests/fixtures/simulator_harness.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using simtest::SimulatorProcess;

constexpr auto kGuard = 10s;

// A file descriptor that is closed on every path out of a test.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

void writeAll(int fd, const Bytes& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `wanted` bytes came or nothing came for `quiet`.
Bytes readUpTo(int fd, std::size_t wanted, std::chrono::milliseconds quiet) {
  Bytes bytes;
  while (bytes.size() < wanted) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
    std::uint8_t chunk[512];
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, wanted - bytes.size()));
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

int openPty(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fd;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

Bytes frame(std::uint8_t station, Bytes pdu) { return simcore::rtuFrame(station, pdu); }

const Bytes kReadHead = {0x03, 0x01, 0x00, 0x00, 0x02};
const Bytes kReadHeadAnswer = {0x03, 0x04, 0x06, 0x05, 0x03, 0xE8};

// A fresh folder for files and the alias folder; removed afterwards.
class SimProcess : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/vark-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) oldRuntime_ = old;
    // The child inherits this, so no test touches the real alias folder.
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (oldRuntime_) ::setenv("XDG_RUNTIME_DIR", oldRuntime_->c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(folder_);
  }
  std::filesystem::path folder_;
  std::optional<std::string> oldRuntime_;
};

TEST_F(SimProcess, AnswersARawReadOverThePtyAndLogsIt) {
  SimulatorProcess sim({"--pty"});
  ASSERT_EQ(sim.where().rfind("/dev/pts/", 0), 0u) << sim.where();
  Fd port(openPty(sim.where()));
  ASSERT_GE(port.fd, 0);
  const Bytes expected = frame(8, kReadHeadAnswer);
  writeAll(port.fd, frame(8, kReadHead));
  EXPECT_EQ(readUpTo(port.fd, expected.size(), kGuard), expected);
  ASSERT_TRUE(sim.waitForLines(1, kGuard));
  const auto line = sim.lines().at(0);
  EXPECT_NE(line.find(" station 8 FC03 0x0100+2 ok"), std::string::npos) << line;

  // A client closing and reopening the port finds the simulator still there.
  ::close(port.fd);
  port.fd = openPty(sim.where());
  writeAll(port.fd, frame(8, {0x03, 0x01, 0x10, 0x00, 0x01}));
  EXPECT_EQ(readUpTo(port.fd, 5, kGuard), frame(8, {0x83, 0x02}));
}

TEST_F(SimProcess, IgnoresOtherStationsAndStaysInStep) {
  SimulatorProcess sim({"--station", "8"});
  Fd port(openPty(sim.where()));
  // A write to station 9 whose payload looks like a read head for station 8.
  Bytes both = frame(9, {0x10, 0x01, 0x00, 0x00, 0x03, 0x06, 0x08, 0x03, 0x01, 0x00, 0x00, 0x02});
  const Bytes ours = frame(8, kReadHead);
  both.insert(both.end(), ours.begin(), ours.end());
  writeAll(port.fd, both);
  const Bytes expected = frame(8, kReadHeadAnswer);
  EXPECT_EQ(readUpTo(port.fd, expected.size() + 1, 300ms), expected);
  ASSERT_TRUE(sim.waitForLines(2, kGuard));
  const auto lines = sim.lines();
  EXPECT_NE(lines[0].find("station 9 FC16 0x0100+3 ignored"), std::string::npos) << lines[0];
  EXPECT_EQ(sim.transactionCount(), 1u);
}

struct FaultCase {
  const char* kind;
  // Judges what arrived instead of `correct`.
  void (*check)(const Bytes& got, const Bytes& correct);
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.kind; }

class SimFaults : public SimProcess, public testing::WithParamInterface<FaultCase> {};

TEST_P(SimFaults, SpoilsTheAnswerAsAsked) {
  SimulatorProcess sim({"--fault", GetParam().kind, "--late-ms", "1000"});
  Fd port(openPty(sim.where()));
  const Bytes correct = frame(8, kReadHeadAnswer);
  writeAll(port.fd, frame(8, kReadHead));
  if (std::string(GetParam().kind) == "late") {
    EXPECT_TRUE(readUpTo(port.fd, 1, 200ms).empty());
  }
  // The line comes once the answer has been written, so all of it is there by now.
  ASSERT_TRUE(sim.waitForLines(1, kGuard));
  const Bytes got = readUpTo(port.fd, 512, 100ms);
  GetParam().check(got, correct);
  EXPECT_NE(sim.lines()[0].find(std::string("fault ") + GetParam().kind + " (answer ok)"), std::string::npos)
      << sim.lines()[0];
}

bool crcGood(const Bytes& f) {
  if (f.size() < 4) return false;
  const auto crc = simcore::crc16(f.data(), f.size() - 2);
  return f[f.size() - 2] == (crc & 0xFF) && f[f.size() - 1] == (crc >> 8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimFaults,
    testing::Values(
        FaultCase{"drop", [](const Bytes& got, const Bytes&) { EXPECT_TRUE(got.empty()); }},
        FaultCase{"crc",
                  [](const Bytes& got, const Bytes& correct) {
                    ASSERT_EQ(got.size(), correct.size());
                    EXPECT_FALSE(crcGood(got));
                    EXPECT_TRUE(std::equal(correct.begin(), correct.end() - 2, got.begin()));
                  }},
        FaultCase{"station",
                  [](const Bytes& got, const Bytes& correct) {
                    ASSERT_EQ(got.size(), correct.size());
                    EXPECT_TRUE(crcGood(got));
                    EXPECT_EQ(got[0], 9);
                    EXPECT_TRUE(std::equal(correct.begin() + 1, correct.end() - 2, got.begin() + 1));
                  }},
        FaultCase{"late", [](const Bytes& got, const Bytes& correct) { EXPECT_EQ(got, correct); }},
        FaultCase{"garbage",
                  [](const Bytes& got, const Bytes& correct) {
                    EXPECT_FALSE(got.empty());
                    EXPECT_NE(got, correct);
                    EXPECT_FALSE(crcGood(got));
                  }},
        FaultCase{"truncate",
                  [](const Bytes& got, const Bytes& correct) {
                    ASSERT_FALSE(got.empty());
                    ASSERT_LT(got.size(), correct.size());
                    EXPECT_TRUE(std::equal(got.begin(), got.end(), correct.begin()));
                  }}),
    [](const auto& info) { return std::string(info.param.kind); });

TEST_F(SimProcess, EveryNthFaultAndADroppedWriteStillHappened) {
  SimulatorProcess sim({"--fault", "drop", "--fault-every", "2"});
  Fd port(openPty(sim.where()));
  const Bytes read = frame(8, {0x03, 0x02, 0x02, 0x00, 0x01});
  writeAll(port.fd, read);
  EXPECT_EQ(readUpTo(port.fd, 7, kGuard), frame(8, {0x03, 0x02, 0x00, 0x00}));
  writeAll(port.fd, frame(8, {0x06, 0x02, 0x02, 0x00, 0x3C}));  // second: answer dropped
  ASSERT_TRUE(sim.waitForLines(2, kGuard));
  EXPECT_TRUE(readUpTo(port.fd, 1, 100ms).empty());
  writeAll(port.fd, read);
  EXPECT_EQ(readUpTo(port.fd, 7, kGuard), frame(8, {0x03, 0x02, 0x00, 0x3C}));
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(SimProcess, FlashStoresOnlyOnTheSaveMarkerAndLoadsAtStart) {
  const auto flash = folder_ / "flash.bin";
  auto expected = simcore::defaultConfig();
  {
    SimulatorProcess sim({"--flash", flash.string()});
    Fd port(openPty(sim.where()));
    // Without the marker: running block only, no file.
    writeAll(port.fd, frame(8, {0x06, 0x01, 0x00, 0x00, 0x07}));
    ASSERT_EQ(readUpTo(port.fd, 8, kGuard).size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(flash));
    // Answer delay 9 together with the marker in one write.
    writeAll(port.fd, frame(8, {0x10, 0x01, 0x00, 0x00, 0x04, 0x08, 0x06, 0x09, 0x03, 0xE8, 0x61, 0x73, 0x65, 0x76}));
    ASSERT_EQ(readUpTo(port.fd, 8, kGuard).size(), 8u);
    expected[0] = 0x09;
    EXPECT_EQ(fileBytes(flash), Bytes(expected.begin(), expected.end()));
    // The running block no longer holds the marker.
    writeAll(port.fd, frame(8, {0x03, 0x01, 0x02, 0x00, 0x02}));
    EXPECT_EQ(readUpTo(port.fd, 9, kGuard), frame(8, {0x03, 0x04, 0, 0, 0, 0}));
    // A later write without the marker leaves the stored block alone.
    writeAll(port.fd, frame(8, {0x06, 0x01, 0x00, 0x00, 0x01}));
    ASSERT_EQ(readUpTo(port.fd, 8, kGuard).size(), 8u);
    EXPECT_EQ(fileBytes(flash), Bytes(expected.begin(), expected.end()));
  }
  SimulatorProcess again({"--flash", flash.string()});
  Fd port(openPty(again.where()));
  writeAll(port.fd, frame(8, {0x03, 0x01, 0x00, 0x00, 0x01}));
  EXPECT_EQ(readUpTo(port.fd, 7, kGuard), frame(8, {0x03, 0x02, 0x06, 0x09}));
}

TEST_F(SimProcess, RefusesAFlashFileOfTheWrongSize) {
  const auto flash = folder_ / "flash.bin";
  std::ofstream(flash, std::ios::binary) << "too short";
  try {
    SimulatorProcess sim({"--flash", flash.string()});
    FAIL() << "started with a 9-byte flash file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("holds 9 bytes, not 32"), std::string::npos) << error.what();
  }
}

TEST_F(SimProcess, BadUsageExitsWithTwo) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--station", "0"}, {"--fault", "slow"}, {"--bogus"}}) {
    try {
      SimulatorProcess sim(args);
      ADD_FAILURE() << "started with " << args[0];
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find("--help"), std::string::npos) << error.what();
    }
  }
}

TEST_F(SimProcess, SigtermRemovesItsAliasAndExitsCleanly) {
  SimulatorProcess sim({"--pty", "--name", "COM7"});
  EXPECT_EQ(portalias::folder(), (folder_ / "vark/ports").string());
  EXPECT_EQ(portalias::resolve("COM7"), sim.where());
  sim.stop();
  ASSERT_TRUE(WIFEXITED(sim.exitStatus()));
  EXPECT_EQ(WEXITSTATUS(sim.exitStatus()), 0);
  EXPECT_FALSE(portalias::resolve("COM7"));
}

TEST_F(SimProcess, KilledLeavesTheAliasThatAnotherOneThenTakesOver) {
  SimulatorProcess first({"--name", "COM7"});
  first.kill();
  EXPECT_EQ(portalias::resolve("COM7"), first.where());
  SimulatorProcess second({"--name", "COM7"});
  EXPECT_EQ(portalias::resolve("COM7"), second.where());
  second.stop();
  EXPECT_FALSE(portalias::resolve("COM7"));
}

Bytes mbap(std::uint16_t transaction, std::uint8_t unit, const Bytes& pdu) {
  Bytes bytes{static_cast<std::uint8_t>(transaction >> 8), static_cast<std::uint8_t>(transaction), 0, 0,
              0, static_cast<std::uint8_t>(pdu.size() + 1), unit};
  bytes.insert(bytes.end(), pdu.begin(), pdu.end());
  return bytes;
}

TEST_F(SimProcess, TcpAnswersMbapOnLoopbackAndRefusesOtherUnits) {
  SimulatorProcess sim({"--tcp", "0"});
  const auto colon = sim.where().rfind(':');
  ASSERT_EQ(sim.where().substr(0, colon), "127.0.0.1");
  const int port = std::stoi(sim.where().substr(colon + 1));
  ASSERT_GT(port, 0);
  Fd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(socket.fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  writeAll(socket.fd, mbap(0x1234, 8, kReadHead));
  const Bytes expected = mbap(0x1234, 8, kReadHeadAnswer);
  EXPECT_EQ(readUpTo(socket.fd, expected.size(), kGuard), expected);

  writeAll(socket.fd, mbap(0x1235, 9, kReadHead));
  EXPECT_EQ(readUpTo(socket.fd, 9, kGuard), mbap(0x1235, 9, {0x83, 0x0B}));
}

}  // namespace
