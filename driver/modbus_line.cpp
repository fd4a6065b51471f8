#include "driver/modbus_line.h"

#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "driver/port_alias.h"

namespace driver {

using namespace automation;

namespace {

std::uint16_t crc16(const std::uint8_t* bytes, std::size_t size) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

bool isLineLoss(int error) {
  return error == EIO || error == ENXIO || error == ECONNRESET || error == EBADF || error == EPIPE ||
         error == ENODEV;
}

std::string errorText(int error) { return modbus_strerror(error); }

const char* exceptionName(int code) {
  switch (code) {
    case 1: return "illegal function";
    case 2: return "illegal data address";
    case 3: return "illegal data value";
    case 4: return "server device failure";
    case 5: return "acknowledge";
    case 6: return "server device busy";
    case 8: return "memory parity error";
    case 10: return "gateway path unavailable";
    case 11: return "gateway target device failed to respond";
    default: return "unknown exception";
  }
}

void setTimeout(modbus_t* ctx, std::chrono::microseconds wait, bool byteTimeoutToo) {
  if (wait < std::chrono::microseconds(1000)) wait = std::chrono::microseconds(1000);
  const auto us = static_cast<std::uint32_t>(wait.count() % 1000000);
  const auto s = static_cast<std::uint32_t>(wait.count() / 1000000);
  modbus_set_response_timeout(ctx, s, us);
  if (byteTimeoutToo) modbus_set_byte_timeout(ctx, s, us);
}

std::string hex(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

}  // namespace

std::vector<Span> splitPlan(int first, int count, int maxPerRequest) {
  std::vector<Span> spans;
  for (int done = 0; done < count; done += maxPerRequest)
    spans.push_back({first + done, std::min(maxPerRequest, count - done)});
  return spans;
}

std::string resolvePort(const std::string& port) {
  if (port.find('/') != std::string::npos) return port;
  if (const auto alias = portalias::resolve(port)) return *alias;
  if (port.size() > 3 && (port[0] == 'C' || port[0] == 'c') && (port[1] == 'O' || port[1] == 'o') &&
      (port[2] == 'M' || port[2] == 'm') && port.find_first_not_of("0123456789", 3) == std::string::npos &&
      port.size() < 8) {
    const int n = std::stoi(port.substr(3));
    if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
  }
  return "/dev/" + port;
}

ModbusLine::~ModbusLine() { close(); }

std::string ModbusLine::portName() const {
  if (connection_.kind == conntext::Kind::Tcp) return device_;
  if (connection_.port.find('/') != std::string::npos) return connection_.port;
  return connection_.port + " (" + device_ + ")";
}

void ModbusLine::close() {
  if (ctx_) {
    modbus_close(ctx_);
    modbus_free(ctx_);
  }
  ctx_ = nullptr;
  fd_ = -1;
}

Outcome ModbusLine::open(const conntext::Connection& connection) {
  close();
  connection_ = connection;
  haveConnection_ = true;
  lost_ = false;
  answerMayBeLate_ = false;
  const bool tcp = connection.kind == conntext::Kind::Tcp;
  if (tcp) {
    const bool v6 = connection.host.find(':') != std::string::npos;
    device_ = (v6 ? "[" + connection.host + "]" : connection.host) + ":" + std::to_string(connection.tcpPort);
    ctx_ = modbus_new_tcp_pi(connection.host.c_str(), std::to_string(connection.tcpPort).c_str());
  } else {
    device_ = resolvePort(connection.port);
    ctx_ = modbus_new_rtu(device_.c_str(), connection.baud, connection.parity, connection.dataBits,
                          connection.stopBits);
  }
  if (!ctx_) return {status::kDriverIoError, "Cannot set up " + portName() + ": " + errorText(errno)};
  modbus_set_error_recovery(ctx_, MODBUS_ERROR_RECOVERY_NONE);  // link recovery loops on EIO
  setTimeout(ctx_, std::chrono::milliseconds(connection.timeoutMs), true);

  if (!tcp) {
    struct stat info {};
    if (::stat(device_.c_str(), &info) != 0 && errno == ENOENT) {
      close();
      return {status::kDriverPortNotFound, portName() + " does not exist"};
    }
  }
  if (modbus_connect(ctx_) != 0) {
    const int error = errno;
    close();
    if (tcp) {
      if (error == ECONNREFUSED)
        return {status::kDriverPortNotFound,
                "Nothing answers at " + device_ + " (connection refused): check the address and port of the device server"};
      if (error == ETIMEDOUT || error == EINPROGRESS)
        return {status::kDriverTimeout, device_ + " did not accept a connection within " +
                                            std::to_string(connection.timeoutMs) + " ms"};
      return {status::kDriverIoError, "Cannot connect to " + device_ + ": " + errorText(error)};
    }
    if (error == ENOENT || error == ENODEV || error == ENXIO)
      return {status::kDriverPortNotFound, portName() + " does not exist"};
    if (error == EACCES || error == EPERM)
      return {status::kDriverPermissionDenied,
              "Permission denied on " + portName() +
                  ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again"};
    if (error == EBUSY) return {status::kDriverPortBusy, portName() + " is in use by another program"};
    if (error == ENOTTY)
      return {status::kDriverPortNotFound, portName() + " is not a serial port"};
    return {status::kDriverIoError, "Cannot open " + portName() + ": " + errorText(error)};
  }
  fd_ = modbus_get_socket(ctx_);
  if (!tcp) {
    // Exclusive use: a lock that every well-behaved program honours, and the
    // tty's own exclusive mode against the rest.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close();
      if (error == EWOULDBLOCK) return {status::kDriverPortBusy, portName() + " is in use by another program"};
      return {status::kDriverIoError, "Cannot lock " + portName() + ": " + errorText(error)};
    }
    ::ioctl(fd_, TIOCEXCL);
    ::tcflush(fd_, TCIOFLUSH);
  }
  lastByte_ = Clock::now();
  return {};
}

Outcome ModbusLine::reopen() {
  if (!haveConnection_) return {status::kDriverNotConnected, "Not connected: call SetConnection first"};
  Outcome reopened = open(connection_);
  if (!reopened.ok()) lost_ = true;  // try again with the next operation
  return reopened;
}

Outcome ModbusLine::lineLost(const std::string& why) {
  const std::string name = portName();
  close();
  lost_ = true;
  return {status::kDriverLineLost, "Lost the line to " + name + ": " + why};
}

void ModbusLine::trace(char direction, const std::uint8_t* bytes, std::size_t size, const std::string& note) {
  if (!connection_.trace) return;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  std::string text;
  char part[8];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(part, sizeof part, " %02X", bytes[i]);
    text += part;
  }
  std::fprintf(stderr, "%02d:%02d:%02d.%03ld %c%s%s%s\n", local.tm_hour, local.tm_min, local.tm_sec,
               now.tv_nsec / 1000000, direction, text.c_str(), note.empty() ? "" : (text.empty() ? " " : "  "), note.c_str());
}

bool ModbusLine::drain(std::string* why) {
  const bool tcp = connection_.kind == conntext::Kind::Tcp;
  std::chrono::microseconds quiet{0};
  if (!tcp) {
    const int bits = 1 + connection_.dataBits + (connection_.parity == 'N' ? 0 : 1) + connection_.stopBits;
    quiet = std::max(std::chrono::microseconds(35LL * bits * 100000 / connection_.baud),
                     std::chrono::microseconds(1750));
  }
  const auto start = Clock::now();
  if (answerMayBeLate_) {
    // Counted from the time-out (lastByte_ marks it): an operator who pauses
    // after a failure does not wait again.
    quiet = std::chrono::milliseconds(connection_.timeoutMs);
    answerMayBeLate_ = false;
  }
  // A line that never falls silent is not waited for beyond this.
  const auto giveUp = start + quiet + std::chrono::milliseconds(std::max(connection_.timeoutMs, 100));
  bool flushed = tcp;
  std::uint8_t junk[512];
  while (true) {
    const auto now = Clock::now();
    auto wait = std::chrono::duration_cast<std::chrono::microseconds>(lastByte_ + quiet - now);
    if (wait.count() < 0) wait = std::chrono::microseconds(0);
    pollfd p{fd_, POLLIN, 0};
    const timespec ts{static_cast<time_t>(wait.count() / 1000000), static_cast<long>(wait.count() % 1000000) * 1000};
    const int n = ::ppoll(&p, 1, &ts, nullptr);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = errorText(errno);
      return false;
    }
    if (n > 0 && (p.revents & POLLIN)) {
      const ssize_t got = tcp ? ::recv(fd_, junk, sizeof junk, MSG_DONTWAIT) : ::read(fd_, junk, sizeof junk);
      if (got == 0 || (got < 0 && isLineLoss(errno))) {
        *why = got == 0 ? "the other end closed it" : errorText(errno);
        return false;
      }
      if (got > 0) {
        trace('<', junk, static_cast<std::size_t>(got), "(stale, discarded)");
        lastByte_ = Clock::now();
      }
    } else if (n > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      *why = "hang-up";
      return false;
    } else if (n == 0) {
      if (!flushed) {
        // What the driver still holds goes too; then one more quiet spell.
        if (::tcflush(fd_, TCIOFLUSH) != 0 && isLineLoss(errno)) {
          *why = errorText(errno);
          return false;
        }
        flushed = true;
        continue;
      }
      return true;
    }
    if (Clock::now() > giveUp) return true;
  }
}

ModbusLine::Attempt ModbusLine::once(int station, const std::vector<std::uint8_t>& pdu,
                                     std::size_t answerSize, std::vector<std::uint8_t>* answer) {
  const bool tcp = connection_.kind == conntext::Kind::Tcp;
  std::vector<std::uint8_t> raw{static_cast<std::uint8_t>(station)};
  raw.insert(raw.end(), pdu.begin(), pdu.end());
  if (connection_.trace) {
    std::vector<std::uint8_t> frame;
    if (tcp) {
      const auto length = raw.size();
      frame = {0, 0, 0, 0, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    }
    frame.insert(frame.end(), raw.begin(), raw.end());
    if (!tcp) {
      const std::uint16_t crc = crc16(raw.data(), raw.size());
      frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
      frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    trace('>', frame.data(), frame.size(), "");
  }
  modbus_set_slave(ctx_, station);
  if (modbus_send_raw_request(ctx_, raw.data(), static_cast<int>(raw.size())) < 0)
    return {Got::Lost, 0, 0, errorText(errno)};
  lastByte_ = Clock::now();

  const auto deadline = Clock::now() + std::chrono::milliseconds(connection_.timeoutMs);
  std::string mismatch;
  const int header = tcp ? 6 : 0;
  const int trailer = tcp ? 0 : 2;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    // Wait for the first byte here, so that a frame that starts but never
    // ends is told apart from silence.
    pollfd p{fd_, POLLIN, 0};
    const timespec ts{static_cast<time_t>(left.count() / 1000000), static_cast<long>(left.count() % 1000000) * 1000};
    const int ready = ::ppoll(&p, 1, &ts, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return {Got::Lost, 0, 0, errorText(errno)};
    if (ready == 0) break;
    if (!(p.revents & POLLIN)) return {Got::Lost, 0, 0, "hang-up"};
    setTimeout(ctx_, std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()), false);
    std::uint8_t rsp[MODBUS_TCP_MAX_ADU_LENGTH] = {};
    const int rc = modbus_receive_confirmation(ctx_, rsp);
    const int error = errno;
    if (rc < 0) {
      if (error == ETIMEDOUT) {
        trace('<', nullptr, 0, "(incomplete answer)");
        lastByte_ = Clock::now();
        return {Got::Malformed, 0, 0, "the frame stopped short"};
      }
      if (error == EMBBADCRC) {
        trace('<', rsp, 0, "(CRC error)");
        lastByte_ = Clock::now();
        return {Got::Crc, 0, 0, {}};
      }
      if (isLineLoss(error)) return {Got::Lost, 0, 0, errorText(error)};
      lastByte_ = Clock::now();
      return {Got::Malformed, 0, 0, errorText(error)};
    }
    lastByte_ = Clock::now();
    if (rc == 0 && !tcp) {  // libmodbus leaves frames of other stations to us
      trace('<', rsp, 1, "(from another station)");
      return {Got::WrongStation, rsp[0], 0, {}};
    }
    trace('<', rsp, static_cast<std::size_t>(rc), "");
    if (rc < header + 1 + trailer + 2) {
      mismatch = "only " + std::to_string(rc) + " bytes";
      continue;
    }
    if (rsp[header] != station) return {Got::WrongStation, rsp[header], 0, {}};
    const std::uint8_t* got = rsp + header + 1;
    const std::size_t gotSize = static_cast<std::size_t>(rc - header - 1 - trailer);
    if (got[0] == (pdu[0] | 0x80)) return {Got::Exception, 0, got[1], {}};
    // An answer of another shape is a late one to an earlier request: keep listening.
    if (got[0] != pdu[0]) {
      mismatch = "function " + hex(got[0]) + ", expected " + hex(pdu[0]);
      continue;
    }
    if (pdu[0] == 0x03) {
      if (got[1] != answerSize - 2 || gotSize != answerSize) {
        mismatch = "byte count " + std::to_string(got[1]) + ", expected " + std::to_string(answerSize - 2);
        continue;
      }
    } else if (gotSize != answerSize || !std::equal(got + 1, got + 5, pdu.begin() + 1)) {
      mismatch = "echo does not match the request";
      continue;
    }
    answer->assign(got, got + gotSize);
    return {Got::Answer, 0, 0, {}};
  }
  if (!mismatch.empty()) return {Got::Malformed, 0, 0, mismatch};
  trace('<', nullptr, 0, "(no answer)");
  lastByte_ = Clock::now();
  return {Got::Timeout, 0, 0, {}};
}

Outcome ModbusLine::transact(int station, const std::vector<std::uint8_t>& pdu, std::size_t answerSize,
                             std::vector<std::uint8_t>* answer, const std::string& what) {
  if (!ctx_) return {status::kDriverNotConnected, "Not connected: call SetConnection first"};
  const std::string module = "Module " + std::to_string(station);
  const int attempts = connection_.retries + 1;
  Attempt last;
  bool timedOut = false;
  for (int i = 0; i < attempts; ++i) {
    std::string why;
    if (!drain(&why)) return lineLost(why);
    last = once(station, pdu, answerSize, answer);
    if (last.got == Got::Timeout) timedOut = true;
    if (last.got == Got::Answer || last.got == Got::Exception || last.got == Got::Lost) break;
  }
  answerMayBeLate_ = timedOut;
  switch (last.got) {
    case Got::Answer:
      return {};
    case Got::Exception:
      return {status::kDriverRefused, module + " refused the request: " + exceptionName(last.exceptionCode) +
                                          " (" + what + ")"};
    case Got::Lost:
      return lineLost(last.detail);
    case Got::Timeout:
      return {status::kDriverTimeout, module + " did not answer within " + std::to_string(connection_.timeoutMs) +
                                          " ms (" + std::to_string(attempts) +
                                          (attempts == 1 ? " attempt)" : " attempts)")};
    case Got::Crc:
      return {status::kDriverDamagedFrame, module + " answered with a damaged frame (CRC error)"};
    case Got::WrongStation:
      return {status::kDriverWrongStation,
              "Module " + std::to_string(last.otherStation) + " answered instead of module " + std::to_string(station)};
    case Got::Malformed:
      return {status::kDriverDamagedFrame, module + " sent a malformed answer (" + last.detail + ")"};
  }
  return {status::kUnexpected, "Unexpected state"};
}

Outcome ModbusLine::readRegisters(int station, int first, int count, std::vector<std::uint16_t>* out,
                                  const std::string& what) {
  out->clear();
  for (const Span span : splitPlan(first, count, MODBUS_MAX_READ_REGISTERS)) {
    const std::vector<std::uint8_t> pdu{0x03, static_cast<std::uint8_t>(span.first >> 8),
                                        static_cast<std::uint8_t>(span.first),
                                        static_cast<std::uint8_t>(span.count >> 8),
                                        static_cast<std::uint8_t>(span.count)};
    std::vector<std::uint8_t> answer;
    const auto size = static_cast<std::size_t>(2 + 2 * span.count);
    if (auto outcome = transact(station, pdu, size, &answer, what); !outcome.ok()) {
      out->clear();
      return outcome;
    }
    for (int i = 0; i < span.count; ++i)
      out->push_back(static_cast<std::uint16_t>(answer[2 + 2 * i] << 8 | answer[3 + 2 * i]));
  }
  return {};
}

Outcome ModbusLine::writeRegisters(int station, int first, const std::vector<std::uint16_t>& values,
                                   const std::string& what) {
  for (const Span span : splitPlan(first, static_cast<int>(values.size()), MODBUS_MAX_WRITE_REGISTERS)) {
    std::vector<std::uint8_t> pdu{0x10,
                                  static_cast<std::uint8_t>(span.first >> 8),
                                  static_cast<std::uint8_t>(span.first),
                                  static_cast<std::uint8_t>(span.count >> 8),
                                  static_cast<std::uint8_t>(span.count),
                                  static_cast<std::uint8_t>(2 * span.count)};
    for (int i = 0; i < span.count; ++i) {
      const std::uint16_t v = values[static_cast<std::size_t>(span.first - first + i)];
      pdu.push_back(static_cast<std::uint8_t>(v >> 8));
      pdu.push_back(static_cast<std::uint8_t>(v));
    }
    std::vector<std::uint8_t> answer;
    if (auto outcome = transact(station, pdu, 5, &answer, what); !outcome.ok()) return outcome;
  }
  return {};
}

Outcome ModbusLine::writeRegister(int station, int reg, std::uint16_t value, const std::string& what) {
  const std::vector<std::uint8_t> pdu{0x06, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg),
                                      static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  std::vector<std::uint8_t> answer;
  return transact(station, pdu, 5, &answer, what);
}

}  // namespace driver
