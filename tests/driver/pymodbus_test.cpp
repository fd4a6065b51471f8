// The driver against an independent Modbus RTU server (python3-pymodbus) on a
// socat pty pair: proof that it speaks plain Modbus, not only our simulator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/driver/driver_fixture.h"

namespace {

namespace st = automation::status;
using automation::Variant;

// A child process ended by its pid however the test leaves.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

 private:
  pid_t pid_ = -1;
};

constexpr const char* kServer = R"(
import sys
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer
from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext, ModbusServerContext
registers = ModbusSequentialDataBlock(0, [0] * 1024)
slave = ModbusSlaveContext(hr=registers, zero_mode=True)
StartSerialServer(context=ModbusServerContext(slaves={8: slave}, single=False),
                  framer=ModbusRtuFramer, port=sys.argv[1], baudrate=19200)
)";

TEST(DriverPymodbus, WritesAndReadsBack) {
  if (!std::filesystem::exists("/usr/bin/socat")) GTEST_SKIP() << "socat is not installed";
  const auto folder = std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "socat";
  std::filesystem::create_directories(folder);
  const std::string ours = (folder / "driver").string(), theirs = (folder / "server").string();
  Child socat({"/usr/bin/socat", "pty,raw,echo=0,link=" + ours, "pty,raw,echo=0,link=" + theirs});
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(std::filesystem::exists(ours) && std::filesystem::exists(theirs)) &&
         std::chrono::steady_clock::now() < guard)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(std::filesystem::exists(theirs));
  Child server({"/usr/bin/python3", "-c", kServer, theirs});

  auto tarvik = drvtest::makeDriver();
  ASSERT_EQ(tarvik->SetConnection(drvtest::text("serialPort:" + ours + "/19200/8/1;timeout=500")), st::kOk)
      << drvtest::lastError();
  ASSERT_EQ(tarvik->SetAddress(8), st::kOk);
  // The server takes a moment to start; the driver's own time-out paces the wait.
  automation::Status written = st::kFail;
  while (std::chrono::steady_clock::now() < guard + std::chrono::seconds(10)) {
    written = tarvik->WriteBlock(1, 0, Variant::byteArray({0x11, 0x22, 0x33, 0x44}));
    if (written == st::kOk) break;
  }
  ASSERT_EQ(written, st::kOk) << drvtest::lastError();
  Variant data;
  ASSERT_EQ(tarvik->ReadBlock(1, 1, 3, &data), st::kOk) << drvtest::lastError();
  EXPECT_EQ(data.bytes(), (std::vector<std::uint8_t>{0x22, 0x33, 0x44}));
}

}  // namespace
