// The driver against tarvik-sim over a pseudo-terminal (and once over TCP).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "driver/register_map.h"
#include "tests/driver/driver_fixture.h"
#include "tests/fixtures/simulator_harness.h"

namespace {

using automation::Status;
using automation::Variant;
namespace st = automation::status;
using drvtest::lastError;
using drvtest::makeDriver;
using drvtest::text;
using simtest::SimulatorProcess;

using Bytes = std::vector<std::uint8_t>;

std::string serial(const std::string& port, const std::string& settings = "") {
  return "serialPort:" + port + "/19200/8/1" + settings;
}

// A simulator on a pty and a driver connected to it at station 8.
struct Rig {
  explicit Rig(std::vector<std::string> simArgs, const std::string& settings = "")
      : sim([&] {
          simArgs.insert(simArgs.begin(), "--pty");
          return simArgs;
        }()),
        tarvik(makeDriver()) {
    if (!tarvik) throw std::runtime_error("no driver");
    if (tarvik->SetConnection(text(serial(sim.where(), settings))) != st::kOk ||
        tarvik->SetAddress(8) != st::kOk)
      throw std::runtime_error("cannot connect: " + lastError());
  }
  Status read(int block, int offset, int count, Bytes* out) {
    Variant data;
    const Status s = tarvik->ReadBlock(block, offset, count, &data);
    if (s == st::kOk) {
      EXPECT_EQ(data.type(), automation::kVtArray | automation::kVtUI1);
      *out = data.bytes();
    }
    return s;
  }
  SimulatorProcess sim;
  std::shared_ptr<device::ITarvik> tarvik;
};

TEST(DriverSim, ReadsWritesAndMapsBlocksOntoRegisters) {
  Rig rig({"--loopback"});
  Bytes config;
  ASSERT_EQ(rig.read(1, 0, 32, &config), st::kOk) << lastError();
  ASSERT_EQ(config.size(), 32u);

  Bytes pattern(32);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(0xA0 + i);
  pattern[4] = pattern[5] = 0;  // keep clear of the save command
  ASSERT_EQ(rig.tarvik->WriteBlock(1, 0, Variant::byteArray(pattern)), st::kOk) << lastError();
  Bytes back;
  ASSERT_EQ(rig.read(1, 0, 32, &back), st::kOk) << lastError();
  EXPECT_EQ(back, pattern);

  // The even byte is the register's low byte: the simulator's log shows the register.
  Bytes odd;
  ASSERT_EQ(rig.read(1, 3, 5, &odd), st::kOk) << lastError();
  EXPECT_EQ(odd, Bytes(pattern.begin() + 3, pattern.begin() + 8));
  Variant value;
  ASSERT_EQ(rig.tarvik->GetValue(3, automation::kVtUI1, &value), st::kOk);
  EXPECT_EQ(value, Variant::ui1(pattern[3]));
  ASSERT_EQ(rig.tarvik->GetValue(6, automation::kVtUI2, &value), st::kOk);
  EXPECT_EQ(value, Variant::ui2(static_cast<std::uint16_t>(pattern[6] | pattern[7] << 8)));
  EXPECT_EQ(rig.tarvik->GetValue(7, automation::kVtUI2, &value), st::kDriverBadArgument);
  EXPECT_NE(lastError().find("outside the bytes last read (block 1, bytes 3\u20137)"), std::string::npos);
  EXPECT_EQ(rig.tarvik->GetValue(2, automation::kVtUI1, &value), st::kDriverBadArgument);
  lastError();
  EXPECT_EQ(rig.tarvik->GetValue(3, automation::kVtI4, &value), st::kDriverBadArgument);
  EXPECT_NE(lastError().find("expected 17 (byte) or 18 (word)"), std::string::npos);

  // A single integer goes out as FC06 of its low 16 bits; the inputs follow the outputs.
  ASSERT_EQ(rig.tarvik->WriteBlock(2, 4, Variant::i4(0x12345A)), st::kOk) << lastError();
  Bytes io;
  ASSERT_EQ(rig.read(2, 0, 6, &io), st::kOk) << lastError();
  EXPECT_EQ(io[4], 0x5A);
  EXPECT_EQ(io[5], 0x34);
  EXPECT_EQ(io[0], 0x5A);
  EXPECT_EQ(io[2], 0);
  EXPECT_EQ(io[3], 0);
  ASSERT_TRUE(rig.sim.waitForLines(6, std::chrono::seconds(5)));
  const auto lines = rig.sim.lines();
  EXPECT_NE(lines[lines.size() - 2].find("FC06 0x0202"), std::string::npos) << lines[lines.size() - 2];
}

TEST(DriverSim, RefusesBadArgumentsWithoutSending) {
  Rig rig({});
  const std::size_t before = rig.sim.transactionCount();
  Variant data;
  auto& t = *rig.tarvik;
  const std::pair<std::function<Status()>, const char*> cases[] = {
      {[&] { return t.ReadBlock(1, 0, 0, &data); }, "count 0 is not allowed"},
      {[&] { return t.ReadBlock(1, 500, 20, &data); }, "bytes 500\u2013519 are outside block 1"},
      {[&] { return t.ReadBlock(-1, 0, 2, &data); }, "block -1 does not exist"},
      {[&] { return t.WriteBlock(1, 1, Variant::byteArray({1, 2})); }, "offset 1 is odd"},
      {[&] { return t.WriteBlock(1, 0, Variant::byteArray({1, 2, 3})); }, "odd length"},
      {[&] { return t.WriteBlock(1, 0, Variant::byteArray({})); }, "count 0 is not allowed"},
      {[&] { return t.WriteBlock(1, 3, Variant::i4(1)); }, "offset 3 is odd"},
      {[&] { return t.WriteBlock(1, 0, Variant::r8(1.5)); }, "variant type 5 is not supported"},
      {[&] { return t.WriteBlock(1, 0, Variant::arrayOf(automation::kVtI4, 2)); }, "variant type 8195 is not supported"},
      {[&] { return t.SetAddress(0); }, "Module address 0 is not valid: expected 1 to 247"},
      {[&] { return t.SetAddress(248); }, "Module address 248 is not valid"},
  };
  for (const auto& [call, fragment] : cases) {
    EXPECT_LT(call(), 0) << fragment;
    EXPECT_NE(lastError().find(fragment), std::string::npos) << fragment;
  }
  // A refused address leaves the one set before.
  EXPECT_EQ(t.ReadBlock(1, 0, 2, &data), st::kOk) << lastError();
  EXPECT_TRUE(rig.sim.waitForLines(before + 1, std::chrono::seconds(5)));
  EXPECT_EQ(rig.sim.transactionCount(), before + 1);
}


TEST(DriverSim, ReportsTheModulesExceptionByName) {
  Rig rig({});
  Bytes out;
  EXPECT_EQ(rig.read(3, 0, 2, &out), st::kDriverRefused);
  EXPECT_EQ(lastError(), "Module 8 refused the request: illegal data address (block 3, bytes 0\u20131)");
  // The refused request is not repeated.
  EXPECT_TRUE(rig.sim.waitForLines(1, std::chrono::seconds(5)));
  EXPECT_EQ(rig.sim.transactionCount(), 1u);
  // A failed read forgets what was read before.
  ASSERT_EQ(rig.read(1, 0, 2, &out), st::kOk);
  EXPECT_EQ(rig.read(3, 0, 2, &out), st::kDriverRefused);
  Variant value;
  EXPECT_EQ(rig.tarvik->GetValue(0, automation::kVtUI1, &value), st::kDriverBadArgument);
  EXPECT_NE(lastError().find("call ReadBlock first"), std::string::npos);
}

TEST(DriverSim, NotConnectedUntilConnectionAndAddress) {
  SimulatorProcess sim({"--pty"});
  auto tarvik = makeDriver();
  Variant data;
  EXPECT_EQ(tarvik->ReadBlock(1, 0, 2, &data), st::kDriverNotConnected);
  EXPECT_EQ(lastError(), "Not connected: call SetConnection first");
  EXPECT_EQ(tarvik->SetConnection(std::nullopt), st::kDriverBadConnectionText);
  EXPECT_NE(lastError().find("No connection text"), std::string::npos);
  ASSERT_EQ(tarvik->SetConnection(text(serial(sim.where()))), st::kOk) << lastError();
  EXPECT_EQ(lastError(), "");  // success leaves the slot alone
  EXPECT_EQ(tarvik->WriteBlock(2, 4, Variant::i4(1)), st::kDriverNotConnected);
  EXPECT_NE(lastError().find("SetAddress"), std::string::npos);
  ASSERT_EQ(tarvik->SetAddress(8), st::kOk);
  EXPECT_EQ(tarvik->ReadBlock(1, 0, 2, &data), st::kOk) << lastError();
}

TEST(DriverSim, AbsentStationTimesOut) {
  Rig rig({"--station", "9"});
  Bytes out;
  EXPECT_EQ(rig.read(1, 0, 2, &out), st::kDriverTimeout);
  EXPECT_EQ(lastError(), "Module 8 did not answer within 300 ms (2 attempts)");
}

TEST(DriverSim, SecondDriverOnTheSamePortIsBusy) {
  Rig rig({});
  auto second = makeDriver();
  EXPECT_EQ(second->SetConnection(text(serial(rig.sim.where()))), st::kDriverPortBusy);
  EXPECT_EQ(lastError(), rig.sim.where() + " is in use by another program");
  // Reconnecting the first one frees the port for the second.
  ASSERT_EQ(rig.tarvik->SetConnection(text("serialPort:COM250/19200/8/1")), st::kDriverPortNotFound);
  EXPECT_EQ(lastError(), "COM250 (/dev/ttyS249) does not exist");
  EXPECT_EQ(second->SetConnection(text(serial(rig.sim.where()))), st::kOk) << lastError();
}

// Opens `path` as an unprivileged user when we are root (root passes every mode).
std::pair<Status, std::string> connectUnprivileged(const std::string& path) {
  if (::geteuid() != 0) {
    auto tarvik = makeDriver();
    const Status s = tarvik->SetConnection(text(serial(path)));
    return {s, lastError()};
  }
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {0, "pipe failed"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    auto tarvik = makeDriver();
    const Status s = tarvik->SetConnection(text(serial(path)));
    const std::string message = std::to_string(s) + "\n" + lastError();
    [[maybe_unused]] auto n = ::write(pipeFds[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string got;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const auto newline = got.find('\n');
  if (newline == std::string::npos) return {0, "child failed: " + got};
  return {std::stoi(got.substr(0, newline)), got.substr(newline + 1)};
}

TEST(DriverSim, PermissionDeniedNamesTheFix) {
  const auto folder = std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "perm";
  std::filesystem::create_directories(folder);
  ::chmod(folder.c_str(), 0755);
  const std::string path = (folder / "ttyLocked").string();
  std::ofstream(path).put('x');
  ::chmod(path.c_str(), 0);
  const auto [status, message] = connectUnprivileged(path);
  EXPECT_EQ(status, st::kDriverPermissionDenied) << message;
  EXPECT_EQ(message, "Permission denied on " + path +
                         ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again");
  std::filesystem::remove_all(folder);
}

struct FaultCase {
  const char* kind;
  Status status;
  const char* message;  // fragment; empty when several outcomes are right
};

TEST(DriverSim, RetriesAnEveryOtherFaultAndReportsAPersistentOne) {
  const FaultCase cases[] = {
      {"drop", st::kDriverTimeout, "Module 8 did not answer within 300 ms (2 attempts)"},
      {"crc", st::kDriverDamagedFrame, "Module 8 answered with a damaged frame (CRC error)"},
      {"station", st::kDriverWrongStation, "Module 9 answered instead of module 8"},
      {"truncate", st::kDriverDamagedFrame, "Module 8 sent a malformed answer (the frame stopped short)"},
      {"garbage", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    {
      Rig rig({"--fault", c.kind, "--fault-every", "2", "--inputs", "3C"});
      for (int i = 0; i < 4; ++i) {
        Bytes out;
        ASSERT_EQ(rig.read(2, 0, 2, &out), st::kOk) << i << ": " << lastError();
        EXPECT_EQ(out[0], 0x3C);
      }
    }
    {
      Rig rig({"--fault", c.kind, "--fault-every", "1"});
      Bytes out;
      const Status s = rig.read(2, 0, 2, &out);
      const std::string message = lastError();
      if (c.status != 0) {
        EXPECT_EQ(s, c.status);
        EXPECT_EQ(message, c.message);
      } else {
        EXPECT_TRUE(s == st::kDriverTimeout || s == st::kDriverDamagedFrame || s == st::kDriverWrongStation)
            << s << " " << message;
        EXPECT_EQ(message.rfind("Module ", 0), 0u) << message;
      }
    }
  }
}

TEST(DriverSim, LateAnswerIsNeverTakenForTheNextRequest) {
  // Every second request is answered 400 ms late, after its 300 ms time-out.
  // Inputs at register 0x200 and the reserved 0 at 0x201 look alike on the
  // wire, so only the drain keeps the late 0 from passing for the inputs.
  Rig rig({"--fault", "late", "--fault-every", "2", "--late-ms", "400", "--inputs", "3C"},
          ";timeout=300;retries=0");
  for (int i = 0; i < 6; ++i) {
    Bytes out;
    const bool inputs = i % 2 == 0;
    const automation::Status s = rig.read(2, inputs ? 0 : 2, 1, &out);
    if (i % 2 == 1) {
      EXPECT_EQ(s, st::kDriverTimeout) << i;
      EXPECT_EQ(lastError(), "Module 8 did not answer within 300 ms (1 attempt)");
      continue;
    }
    ASSERT_EQ(s, st::kOk) << i << ": " << lastError();
    EXPECT_EQ(out[0], 0x3C) << i;
  }
}

TEST(DriverSim, ReopensTheSameAliasAfterTheSimulatorRestarts) {
  auto tarvik = makeDriver();
  Variant data;
  std::string firstPty;
  {
    SimulatorProcess sim({"--pty", "--name", "COM7"});
    firstPty = sim.where();
    ASSERT_EQ(tarvik->SetConnection(text("serialPort:COM7/19200/8/1")), st::kOk) << lastError();
    ASSERT_EQ(tarvik->SetAddress(8), st::kOk);
    ASSERT_EQ(tarvik->ReadBlock(1, 0, 2, &data), st::kOk) << lastError();
    sim.stop();
    EXPECT_EQ(tarvik->ReadBlock(1, 0, 2, &data), st::kDriverLineLost);
    EXPECT_EQ(lastError().rfind("Lost the line to COM7 (" + firstPty + "): ", 0), 0u);
  }
  EXPECT_EQ(tarvik->ReadBlock(1, 0, 2, &data), st::kDriverPortNotFound);
  EXPECT_EQ(lastError(), "The line is still lost: COM7 (/dev/ttyS6) does not exist");
  SimulatorProcess again({"--pty", "--name", "COM7", "--inputs", "44"});
  Variant io;
  ASSERT_EQ(tarvik->ReadBlock(2, 0, 2, &io), st::kOk) << lastError();
  EXPECT_EQ(io.bytes()[0], 0x44);
}

TEST(DriverSim, SpeaksModbusTcp) {
  SimulatorProcess sim({"--tcp", "127.0.0.1:0", "--loopback"});
  auto tarvik = makeDriver();
  ASSERT_EQ(tarvik->SetConnection(text("tcp:" + sim.where())), st::kOk) << lastError();
  ASSERT_EQ(tarvik->SetAddress(8), st::kOk);
  ASSERT_EQ(tarvik->WriteBlock(2, 4, Variant::byteArray({0x21, 0})), st::kOk) << lastError();
  Variant io;
  ASSERT_EQ(tarvik->ReadBlock(2, 0, 1, &io), st::kOk) << lastError();
  EXPECT_EQ(io.bytes(), Bytes{0x21});
  ASSERT_EQ(tarvik->SetAddress(9), st::kOk);
  EXPECT_LT(tarvik->ReadBlock(2, 0, 1, &io), 0);
  EXPECT_NE(lastError().find("Module"), std::string::npos);
}

TEST(DriverSim, TraceShowsEveryFrame) {
  Rig rig({}, ";trace=1");
  testing::internal::CaptureStderr();
  Bytes out;
  ASSERT_EQ(rig.read(1, 0, 32, &out), st::kOk);
  const std::string trace = testing::internal::GetCapturedStderr();
  EXPECT_NE(trace.find(" > 08 03 01 00 00 10 45 63\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" < 08 03 20 "), std::string::npos) << trace;
  EXPECT_EQ(trace[2], ':');
  EXPECT_EQ(trace[8], '.');
}

}  // namespace
