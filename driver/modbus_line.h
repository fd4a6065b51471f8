#pragma once
// Modbus transactions on one line (RTU over a serial port, or TCP) through
// libmodbus, with the drain before every request, retries and the mapping of
// failures to a status and a message that names the thing.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "automation/status.h"
#include "driver/connection_text.h"

typedef struct _modbus modbus_t;

namespace driver {

struct Outcome {
  automation::Status status = automation::status::kOk;
  std::string description;
  bool ok() const { return automation::succeeded(status); }
};

// One request's share of a longer range of registers.
struct Span {
  int first;
  int count;
};
// Splits [first, first + count) into requests of at most maxPerRequest, in order.
std::vector<Span> splitPlan(int first, int count, int maxPerRequest);

// The device path for a bare port name: an alias first, then COMn -> /dev/ttyS(n-1).
std::string resolvePort(const std::string& port);

class ModbusLine {
 public:
  ModbusLine() = default;
  ~ModbusLine();
  ModbusLine(const ModbusLine&) = delete;
  ModbusLine& operator=(const ModbusLine&) = delete;

  Outcome open(const conntext::Connection& connection);
  void close();
  bool isOpen() const { return ctx_ != nullptr; }
  // The line went away; the next operation should reopen() once.
  bool lost() const { return lost_; }
  Outcome reopen();

  // `what` names the bytes in messages, e.g. "block 1, bytes 0–31".
  Outcome readRegisters(int station, int first, int count, std::vector<std::uint16_t>* out,
                        const std::string& what);
  Outcome writeRegisters(int station, int first, const std::vector<std::uint16_t>& values,
                         const std::string& what);
  Outcome writeRegister(int station, int reg, std::uint16_t value, const std::string& what);

 private:
  using Clock = std::chrono::steady_clock;
  enum class Got { Answer, Timeout, Crc, WrongStation, Malformed, Exception, Lost };
  struct Attempt {
    Got got = Got::Answer;
    int otherStation = 0;
    int exceptionCode = 0;
    std::string detail;
  };

  // One request with its retries; `answer` receives the PDU (function onward).
  Outcome transact(int station, const std::vector<std::uint8_t>& pdu, std::size_t answerSize,
                   std::vector<std::uint8_t>* answer, const std::string& what);
  Attempt once(int station, const std::vector<std::uint8_t>& pdu, std::size_t answerSize,
               std::vector<std::uint8_t>* answer);
  bool drain(std::string* why);
  void trace(char direction, const std::uint8_t* bytes, std::size_t size, const std::string& note);
  Outcome lineLost(const std::string& why);
  std::string portName() const;

  conntext::Connection connection_;
  std::string device_;  // resolved path (serial) or HOST:PORT
  modbus_t* ctx_ = nullptr;
  int fd_ = -1;
  bool lost_ = false;
  bool haveConnection_ = false;
  // After a time-out an answer may still be on its way: the next request
  // waits for a whole time-out of quiet first.
  bool answerMayBeLate_ = false;
  Clock::time_point lastByte_{};
};

}  // namespace driver
