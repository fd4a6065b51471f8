// tarvik-sim: behaves like one module on a pseudo-terminal, a real serial port
// or Modbus TCP, so the tool can be used and tested without hardware.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "driver/port_alias.h"
#include "simulator/fault_plan.h"
#include "simulator/flash_file.h"
#include "simulator/framing.h"
#include "simulator/register_model.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr int kUsageExit = 2;
constexpr int kFailureExit = 1;
// The pending bytes count as one finished frame once the line has been quiet
// this long. Generous, because USB adapters and pseudo-terminals deliver a
// frame in chunks with pauses far longer than the 3.5 characters of the wire.
constexpr auto kMinSilence = std::chrono::milliseconds(20);

const char* const kUsage = R"(Usage: tarvik-sim [transport] [options]
Behaves like one digital I/O module answering Modbus requests.

Transport (one of; --pty when none is given):
  --pty                      a pseudo-terminal; first line: pty /dev/pts/N
  --name COMn                with --pty: also link the port alias COMn to it
  --device PATH/BAUD/DATA/STOP[/PARITY]
                             a real serial port, parity N, E or O (default N);
                             first line: device PATH
  --tcp [HOST:]PORT          Modbus TCP on HOST (default 127.0.0.1); PORT 0
                             picks a free port; first line: tcp HOST:PORT.
                             One client at a time; the unit id must be the
                             station, else exception 0B.

Module:
  --station N                station address 1..247 (default 8); requests to
                             other stations are ignored
  --inputs HEX               fixed input byte (default 00)
  --loopback                 inputs follow the outputs
  --flash FILE               load the configuration block from FILE (defaults
                             when missing); writing "save" into bytes 4..7 of
                             the block stores it there

Faults:
  --fault KIND[,KIND...]     spoil answers: drop (no answer), crc (damaged CRC;
                             on TCP a damaged transaction id), station (answer
                             from station+1), late (answer after --late-ms),
                             garbage (random bytes), truncate (first part only)
  --fault-every N            every Nth request to us, kinds in turn (default 1)
  --fault-probability P      each request with probability P, kind at random
  --seed S                   random seed for the above (default 1)
  --late-ms MS               delay of the late fault (default 1500)
  A spoiled transaction still takes effect: a write whose answer was dropped
  did happen.

Timing and output:
  --line-speed BAUD[/DATA/STOP[/PARITY]]
                             before each answer wait the wire time of the
                             request and the answer at that speed
  --quiet                    no transaction lines (the first line stays)
  --help                     this text

After the first line each transaction prints one line, for example
  12:00:01.250 station 8 FC03 0x0100+16 ok
SIGINT or SIGTERM stops the simulator (exit 0).
)";

struct UsageError {
  std::string message;
};

struct SerialFormat {
  int baud = 0;
  int dataBits = 8;
  int stopBits = 1;
  char parity = 'N';
  int bitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
};

enum class Transport { Pty, Device, Tcp };

struct Options {
  Transport transport = Transport::Pty;
  std::string alias;
  std::string devicePath;
  SerialFormat deviceFormat;
  std::string tcpHost = "127.0.0.1";
  int tcpPort = 0;
  int station = 8;
  simcore::Inputs inputs = simcore::Inputs::Fixed;
  std::uint8_t fixedInputs = 0;
  std::string flashPath;
  std::vector<simcore::Fault> faults;
  std::optional<unsigned> faultEvery;
  std::optional<double> faultProbability;
  std::uint64_t seed = 1;
  int lateMs = 1500;
  std::optional<SerialFormat> lineSpeed;
  bool quiet = false;
  bool help = false;
};

long long parseInteger(const std::string& text, long long low, long long high, const std::string& option, int base = 10) {
  if (text.empty()) throw UsageError{option + " needs a number"};
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || value < low || value > high)
    throw UsageError{option + " " + text + " is not a number from " + std::to_string(low) + " to " + std::to_string(high)};
  return value;
}

std::vector<std::string> splitSlashes(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const auto slash = text.find('/', start);
    parts.push_back(text.substr(start, slash - start));
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

bool isParity(const std::string& text) { return text == "N" || text == "E" || text == "O"; }

// BAUD/DATA/STOP[/PARITY] from parts[first..]; the parts must all be used.
SerialFormat parseFormat(const std::vector<std::string>& parts, const std::string& option, bool dataAndStopRequired) {
  SerialFormat format;
  std::size_t count = parts.size();
  if (count >= 2 && isParity(parts.back())) {
    format.parity = parts.back()[0];
    --count;
  }
  if (count != 1 && count != 3) throw UsageError{option + " wants BAUD/DATA/STOP[/PARITY], e.g. 38400/8/1/N"};
  if (count == 1 && dataAndStopRequired) throw UsageError{option + " wants BAUD/DATA/STOP[/PARITY], e.g. 38400/8/1/N"};
  format.baud = static_cast<int>(parseInteger(parts[0], 50, 4000000, option + " speed"));
  if (count == 3) {
    format.dataBits = static_cast<int>(parseInteger(parts[1], 5, 8, option + " data bits"));
    format.stopBits = static_cast<int>(parseInteger(parts[2], 1, 2, option + " stop bits"));
  }
  return format;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  bool transportGiven = false;
  bool inputsGiven = false;
  auto setTransport = [&](Transport transport) {
    if (transportGiven) throw UsageError{"give only one of --pty, --device and --tcp"};
    transportGiven = true;
    options.transport = transport;
  };
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::optional<std::string> inlineValue;
    if (const auto equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = option.substr(equals + 1);
      option.resize(equals);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw UsageError{option + " needs a value"};
      return argv[++i];
    };
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--pty") {
      setTransport(Transport::Pty);
    } else if (option == "--name") {
      options.alias = value();
      if (options.alias.empty() || options.alias.find('/') != std::string::npos)
        throw UsageError{"--name wants an alias like COM3, without '/'"};
    } else if (option == "--device") {
      setTransport(Transport::Device);
      const auto parts = splitSlashes(value());
      // Parse from the right: the path itself may contain '/'.
      const std::size_t formatParts = parts.size() >= 2 && isParity(parts.back()) ? 4 : 3;
      if (parts.size() <= formatParts) throw UsageError{"--device wants PATH/BAUD/DATA/STOP[/PARITY], e.g. /dev/ttyUSB0/38400/8/1/N"};
      const std::vector<std::string> format(parts.end() - static_cast<long>(formatParts), parts.end());
      options.deviceFormat = parseFormat(format, "--device", true);
      for (std::size_t p = 0; p + formatParts < parts.size(); ++p) options.devicePath += (p ? "/" : "") + parts[p];
      if (options.devicePath.empty()) throw UsageError{"--device needs a path before the speed"};
    } else if (option == "--tcp") {
      setTransport(Transport::Tcp);
      std::string where = value();
      if (const auto colon = where.rfind(':'); colon != std::string::npos) {
        options.tcpHost = where.substr(0, colon);
        where = where.substr(colon + 1);
        in_addr address{};
        if (inet_pton(AF_INET, options.tcpHost.c_str(), &address) != 1)
          throw UsageError{"--tcp host " + options.tcpHost + " is not an IPv4 address like 127.0.0.1"};
      }
      options.tcpPort = static_cast<int>(parseInteger(where, 0, 65535, "--tcp port"));
    } else if (option == "--station") {
      options.station = static_cast<int>(parseInteger(value(), 1, 247, "--station"));
    } else if (option == "--inputs") {
      if (inputsGiven) throw UsageError{"give only one of --inputs and --loopback"};
      inputsGiven = true;
      std::string hex = value();
      if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) hex = hex.substr(2);
      options.fixedInputs = static_cast<std::uint8_t>(parseInteger(hex, 0, 0xFF, "--inputs (hex)", 16));
    } else if (option == "--loopback") {
      if (inputsGiven) throw UsageError{"give only one of --inputs and --loopback"};
      inputsGiven = true;
      options.inputs = simcore::Inputs::Loopback;
    } else if (option == "--flash") {
      options.flashPath = value();
      if (options.flashPath.empty()) throw UsageError{"--flash needs a file name"};
    } else if (option == "--fault") {
      const std::string list = value();
      const auto kinds = simcore::parseFaults(list);
      if (!kinds) throw UsageError{"--fault " + list + ": kinds are drop, crc, station, late, garbage, truncate"};
      options.faults = *kinds;
    } else if (option == "--fault-every") {
      options.faultEvery = static_cast<unsigned>(parseInteger(value(), 1, 1000000000, "--fault-every"));
    } else if (option == "--fault-probability") {
      const std::string text = value();
      char* end = nullptr;
      const double p = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(p >= 0.0 && p <= 1.0))
        throw UsageError{"--fault-probability " + text + " is not a number from 0 to 1"};
      options.faultProbability = p;
    } else if (option == "--seed") {
      options.seed = static_cast<std::uint64_t>(parseInteger(value(), 0, INT64_MAX, "--seed"));
    } else if (option == "--late-ms") {
      options.lateMs = static_cast<int>(parseInteger(value(), 0, 600000, "--late-ms"));
    } else if (option == "--line-speed") {
      options.lineSpeed = parseFormat(splitSlashes(value()), "--line-speed", false);
    } else if (option == "--quiet") {
      options.quiet = true;
    } else {
      throw UsageError{"unknown option " + option};
    }
  }
  if (!options.alias.empty() && options.transport != Transport::Pty) throw UsageError{"--name works only with --pty"};
  if ((options.faultEvery || options.faultProbability) && options.faults.empty())
    throw UsageError{"--fault-every and --fault-probability need --fault KIND"};
  if (options.faultEvery && options.faultProbability) throw UsageError{"give only one of --fault-every and --fault-probability"};
  return options;
}

// --- output ---------------------------------------------------------------

std::string timestamp() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
  return text;
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// --- signals --------------------------------------------------------------

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

bool installSignals() {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0) return false;
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

// --- serial setup ---------------------------------------------------------

std::optional<speed_t> speedConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return std::nullopt;
  }
}

std::string configureSerial(int fd, const SerialFormat& format, const std::string& path) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return path + " is not a serial port: " + std::strerror(errno);
  cfmakeraw(&tio);
  const auto speed = speedConstant(format.baud);
  if (!speed) return "Speed " + std::to_string(format.baud) + " is not supported on " + path + "; use 1200..230400";
  cfsetispeed(&tio, *speed);
  cfsetospeed(&tio, *speed);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
  tio.c_cflag |= format.dataBits == 5 ? CS5 : format.dataBits == 6 ? CS6 : format.dataBits == 7 ? CS7 : CS8;
  if (format.stopBits == 2) tio.c_cflag |= CSTOPB;
  if (format.parity != 'N') tio.c_cflag |= PARENB;
  if (format.parity == 'O') tio.c_cflag |= PARODD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return "Cannot configure " + path + ": " + std::strerror(errno);
  tcflush(fd, TCIOFLUSH);
  return "";
}

// --- the simulator --------------------------------------------------------

struct Outgoing {
  Clock::time_point due;
  Bytes bytes;
  std::string logLine;
  unsigned client = 0;  // TCP: the connection it belongs to
};

class Simulator {
 public:
  Simulator(const Options& options, simcore::RegisterModel model, simcore::FaultPlan plan)
      : options_(options), model_(std::move(model)), plan_(std::move(plan)) {}

  int run();

 private:
  std::string openTransport();
  void closeTransport();
  void onLineBytes();
  void onLineSilence();
  void handleRtuFrame(const std::uint8_t* frame, std::size_t length);
  void acceptClient();
  void onClientBytes();
  void handleTcpRequest(const Bytes& head, const std::uint8_t* pdu, std::size_t pduSize);
  void queueAnswer(Bytes bytes, std::size_t requestSize, simcore::Fault fault, std::string logLine);
  void sendDue();
  void writeOut(const Outgoing& out);
  void saveFlashIfAsked();
  std::string transactionText(int station, const std::uint8_t* pdu, std::size_t pduSize, const Bytes& answer,
                              simcore::Fault fault) const;
  Clock::duration wireTime(std::size_t bytes) const;
  Clock::duration silence() const;

  const Options& options_;
  simcore::RegisterModel model_;
  simcore::FaultPlan plan_;

  int lineFd_ = -1;       // pty master or serial port
  int ptySlaveFd_ = -1;   // held open so the master never sees a hangup
  std::string ptyPath_;
  int listenFd_ = -1;
  int clientFd_ = -1;
  unsigned client_ = 0;

  Bytes pending_;
  Clock::time_point lastByte_{};
  std::deque<Outgoing> outgoing_;
};

std::string Simulator::openTransport() {
  switch (options_.transport) {
    case Transport::Pty: {
      lineFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (lineFd_ < 0 || grantpt(lineFd_) != 0 || unlockpt(lineFd_) != 0)
        return std::string("Cannot make a pseudo-terminal: ") + std::strerror(errno);
      const char* name = ptsname(lineFd_);
      if (!name) return std::string("Cannot name the pseudo-terminal: ") + std::strerror(errno);
      ptyPath_ = name;
      ptySlaveFd_ = ::open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (ptySlaveFd_ < 0) return "Cannot open " + ptyPath_ + ": " + std::strerror(errno);
      termios tio{};
      if (tcgetattr(ptySlaveFd_, &tio) != 0) return "Cannot read the settings of " + ptyPath_ + ": " + std::strerror(errno);
      cfmakeraw(&tio);
      if (tcsetattr(ptySlaveFd_, TCSANOW, &tio) != 0) return "Cannot make " + ptyPath_ + " raw: " + std::strerror(errno);
      fcntl(lineFd_, F_SETFL, fcntl(lineFd_, F_GETFL) | O_NONBLOCK);
      // The alias exists before anyone reads the first line, so it can be used at once.
      if (!options_.alias.empty() && !portalias::put(options_.alias, ptyPath_))
        return "Cannot link alias " + options_.alias + " in " + portalias::folder() + ": " + std::strerror(errno);
      printLine("pty " + ptyPath_);
      if (!options_.alias.empty()) printLine("alias " + options_.alias + " -> " + ptyPath_);
      return "";
    }
    case Transport::Device: {
      lineFd_ = ::open(options_.devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (lineFd_ < 0) return "Cannot open " + options_.devicePath + ": " + std::strerror(errno);
      if (auto error = configureSerial(lineFd_, options_.deviceFormat, options_.devicePath); !error.empty()) return error;
      printLine("device " + options_.devicePath);
      return "";
    }
    case Transport::Tcp: {
      listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (listenFd_ < 0) return std::string("Cannot make a socket: ") + std::strerror(errno);
      const int yes = 1;
      setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(options_.tcpPort));
      inet_pton(AF_INET, options_.tcpHost.c_str(), &address.sin_addr);
      const std::string where = options_.tcpHost + ":" + std::to_string(options_.tcpPort);
      if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return "Cannot listen on " + where + ": " + std::strerror(errno) + "; pick another port or 0 for a free one";
      if (::listen(listenFd_, 4) != 0) return "Cannot listen on " + where + ": " + std::strerror(errno);
      socklen_t size = sizeof address;
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
      printLine("tcp " + options_.tcpHost + ":" + std::to_string(ntohs(address.sin_port)));
      return "";
    }
  }
  return "no transport";
}

void Simulator::closeTransport() {
  if (!options_.alias.empty() && !ptyPath_.empty()) portalias::removeIfOwn(options_.alias, ptyPath_);
  for (int fd : {clientFd_, listenFd_, ptySlaveFd_, lineFd_})
    if (fd >= 0) ::close(fd);
  clientFd_ = listenFd_ = ptySlaveFd_ = lineFd_ = -1;
}

Clock::duration Simulator::wireTime(std::size_t bytes) const {
  if (!options_.lineSpeed) return Clock::duration::zero();
  const auto bits = static_cast<long long>(bytes) * options_.lineSpeed->bitsPerChar();
  return std::chrono::microseconds(bits * 1000000 / options_.lineSpeed->baud);
}

Clock::duration Simulator::silence() const {
  Clock::duration gap = kMinSilence;
  if (options_.transport == Transport::Device) {
    const auto chars = std::chrono::microseconds(35LL * options_.deviceFormat.bitsPerChar() * 100000 / options_.deviceFormat.baud);
    gap = std::max<Clock::duration>(gap, chars);
  }
  return gap;
}

std::string Simulator::transactionText(int station, const std::uint8_t* pdu, std::size_t pduSize, const Bytes& answer,
                                       simcore::Fault fault) const {
  std::string text = "station " + std::to_string(station) + " " + simcore::describeRequest({pdu, pduSize}) + " ";
  const std::string result = simcore::describeAnswer(answer);
  if (fault == simcore::Fault::None) return text + result;
  return text + "fault " + std::string(simcore::faultName(fault)) + " (answer " + result + ")";
}

void Simulator::saveFlashIfAsked() {
  const auto image = model_.takeFlashImage();
  if (!image || options_.flashPath.empty()) return;
  if (const auto error = flashfile::save(options_.flashPath, *image); !error.empty())
    std::fprintf(stderr, "tarvik-sim: configuration not stored: %s\n", error.c_str());
}

void Simulator::queueAnswer(Bytes bytes, std::size_t requestSize, simcore::Fault fault, std::string logLine) {
  auto due = Clock::now() + wireTime(requestSize + bytes.size());
  if (fault == simcore::Fault::Late) due += std::chrono::milliseconds(options_.lateMs);
  // Answers leave in the order the requests came, as on a half-duplex line.
  if (!outgoing_.empty()) due = std::max(due, outgoing_.back().due);
  outgoing_.push_back({due, std::move(bytes), std::move(logLine), client_});
  sendDue();
}

void Simulator::writeOut(const Outgoing& out) {
  const int fd = options_.transport == Transport::Tcp ? clientFd_ : lineFd_;
  if (fd < 0 || out.bytes.empty()) return;
  std::size_t done = 0;
  bool flushedOnce = false;
  while (done < out.bytes.size()) {
    const ssize_t n = ::write(fd, out.bytes.data() + done, out.bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN && ptySlaveFd_ >= 0 && !flushedOnce) {
      // Nobody has been reading the pseudo-terminal: old answers go, this one stays.
      tcflush(ptySlaveFd_, TCIFLUSH);
      flushedOnce = true;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd wait{fd, POLLOUT, 0};
      if (::poll(&wait, 1, 1000) <= 0) break;
    } else {
      break;
    }
  }
}

void Simulator::sendDue() {
  const auto now = Clock::now();
  while (!outgoing_.empty() && outgoing_.front().due <= now) {
    const Outgoing out = std::move(outgoing_.front());
    outgoing_.pop_front();
    if (options_.transport == Transport::Tcp && out.client != client_) continue;  // its client has gone
    writeOut(out);
    if (!options_.quiet) printLine(timestamp() + " " + out.logLine);
  }
}

void Simulator::handleRtuFrame(const std::uint8_t* frame, std::size_t length) {
  const int station = frame[0];
  const std::uint8_t* pdu = frame + 1;
  const std::size_t pduSize = length - 3;
  if (station != options_.station) {
    if (!options_.quiet)
      printLine(timestamp() + " station " + std::to_string(station) + " " + simcore::describeRequest({pdu, pduSize}) + " ignored");
    return;
  }
  const simcore::Fault fault = plan_.next();
  const Bytes answer = model_.handle({pdu, pduSize});
  saveFlashIfAsked();
  Bytes bytes = simcore::spoilRtuAnswer(fault, simcore::rtuFrame(static_cast<std::uint8_t>(station), answer), plan_);
  queueAnswer(std::move(bytes), length, fault, transactionText(station, pdu, pduSize, answer, fault));
}

void Simulator::onLineBytes() {
  std::uint8_t chunk[512];
  while (true) {
    const ssize_t n = ::read(lineFd_, chunk, sizeof chunk);
    if (n > 0) {
      pending_.insert(pending_.end(), chunk, chunk + n);
      lastByte_ = Clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // EAGAIN: all read for now
  }
  while (!pending_.empty()) {
    const framing::Scan scan = framing::scan(pending_.data(), pending_.size());
    if (scan.verdict == framing::Verdict::NeedMore) break;
    if (scan.verdict == framing::Verdict::Frame) handleRtuFrame(pending_.data(), scan.length);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(scan.length));
  }
}

void Simulator::onLineSilence() {
  while (!pending_.empty()) {
    const framing::Scan scan = framing::scanAtSilence(pending_.data(), pending_.size());
    if (scan.verdict == framing::Verdict::NeedMore) break;
    if (scan.verdict == framing::Verdict::Frame) handleRtuFrame(pending_.data(), scan.length);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(scan.length));
  }
}

void Simulator::acceptClient() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  clientFd_ = fd;
  ++client_;
  pending_.clear();
}

void Simulator::handleTcpRequest(const Bytes& head, const std::uint8_t* pdu, std::size_t pduSize) {
  const int unit = head[6];
  simcore::Fault fault = simcore::Fault::None;
  Bytes answer;
  if (unit != options_.station) {
    // Like a gateway with nobody behind that unit id.
    answer = simcore::exceptionPdu(pdu[0], simcore::exception::kGatewayTargetFailed);
  } else {
    fault = plan_.next();
    answer = model_.handle({pdu, pduSize});
    saveFlashIfAsked();
  }
  Bytes frame(head.begin(), head.begin() + 7);
  frame[2] = frame[3] = 0;
  frame[4] = static_cast<std::uint8_t>((answer.size() + 1) >> 8);
  frame[5] = static_cast<std::uint8_t>((answer.size() + 1) & 0xFF);
  frame.insert(frame.end(), answer.begin(), answer.end());
  Bytes bytes = simcore::spoilTcpAnswer(fault, std::move(frame), plan_);
  queueAnswer(std::move(bytes), 7 + pduSize, fault, transactionText(unit, pdu, pduSize, answer, fault));
}

void Simulator::onClientBytes() {
  std::uint8_t chunk[512];
  bool closed = false;
  while (true) {
    const ssize_t n = ::read(clientFd_, chunk, sizeof chunk);
    if (n > 0) {
      pending_.insert(pending_.end(), chunk, chunk + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    closed = n == 0 || errno != EAGAIN;
    break;
  }
  constexpr std::size_t kHead = 7;  // transaction, protocol, length, unit
  while (pending_.size() >= kHead) {
    const std::size_t length = (pending_[4] << 8) | pending_[5];  // unit + PDU
    if (length < 2 || length > 254) {
      closed = true;  // not Modbus TCP; nothing sensible to answer
      break;
    }
    if (pending_.size() < 6 + length) break;
    const Bytes head(pending_.begin(), pending_.begin() + kHead);
    handleTcpRequest(head, pending_.data() + kHead, length - 1);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(6 + length));
  }
  if (closed) {
    ::close(clientFd_);
    clientFd_ = -1;
    ++client_;
    pending_.clear();
  }
}

int Simulator::run() {
  if (const auto error = openTransport(); !error.empty()) {
    std::fprintf(stderr, "tarvik-sim: %s\n", error.c_str());
    closeTransport();
    return kFailureExit;
  }
  int exitCode = 0;
  bool running = true;
  while (running) {
    std::vector<pollfd> fds{{signalPipe[0], POLLIN, 0}};
    if (lineFd_ >= 0) fds.push_back({lineFd_, POLLIN, 0});
    if (clientFd_ >= 0) fds.push_back({clientFd_, POLLIN, 0});
    else if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});

    std::optional<Clock::time_point> wake;
    if (!outgoing_.empty()) wake = outgoing_.front().due;
    if (lineFd_ >= 0 && !pending_.empty()) wake = std::min(wake.value_or(Clock::time_point::max()), lastByte_ + silence());
    // To the microsecond: a wait rounded up to whole milliseconds would add up
    // to 1 ms to every answer and spoil the emulated line speed.
    timespec timeout{};
    if (wake) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(*wake - Clock::now()).count();
      const long long us = std::clamp<long long>(left, 0, 60000000);
      timeout = {static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    }

    const int ready = ::ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr, nullptr);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "tarvik-sim: poll failed: %s\n", std::strerror(errno));
      exitCode = kFailureExit;
      break;
    }
    if (fds[0].revents & POLLIN) break;  // SIGINT or SIGTERM
    for (std::size_t i = 1; running && i < fds.size() && ready > 0; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == lineFd_) {
        if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL) && !(fds[i].revents & POLLIN)) {
          std::fprintf(stderr, "tarvik-sim: the line closed; nothing more to answer\n");
          exitCode = kFailureExit;
          running = false;
          continue;
        }
        onLineBytes();
      } else if (fds[i].fd == clientFd_) {
        onClientBytes();
      } else if (fds[i].fd == listenFd_) {
        acceptClient();
      }
    }
    if (lineFd_ >= 0 && !pending_.empty() && Clock::now() >= lastByte_ + silence()) onLineSilence();
    sendDue();
  }
  closeTransport();
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = parseOptions(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "tarvik-sim: %s (see tarvik-sim --help)\n", error.message.c_str());
    return kUsageExit;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  simcore::ConfigBlock config = simcore::defaultConfig();
  if (!options.flashPath.empty()) {
    auto loaded = flashfile::load(options.flashPath);
    if (auto* error = std::get_if<std::string>(&loaded)) {
      std::fprintf(stderr, "tarvik-sim: %s\n", error->c_str());
      return kFailureExit;
    }
    config = std::get<simcore::ConfigBlock>(loaded);
  }

  simcore::FaultPlan plan;
  if (!options.faults.empty()) {
    plan = options.faultProbability ? simcore::FaultPlan::random(options.faults, *options.faultProbability, options.seed)
                                    : simcore::FaultPlan::everyNth(options.faults, options.faultEvery.value_or(1));
  }

  if (!installSignals()) {
    std::fprintf(stderr, "tarvik-sim: cannot install signal handlers: %s\n", std::strerror(errno));
    return kFailureExit;
  }
  Simulator simulator(options, simcore::RegisterModel(config, options.inputs, options.fixedInputs), std::move(plan));
  return simulator.run();
}
