#pragma once
// The connection text the operator types, parsed without touching anything:
//   serialPort:PORT/BAUD/DATA/STOP[/PARITY][;timeout=MS;retries=N;trace=1]
//   tcp:HOST:PORT[;...]   (HOST may be an IPv6 literal in brackets)
#include <optional>
#include <string>
#include <string_view>

namespace conntext {

enum class Kind { Serial, Tcp };

struct Connection {
  Kind kind = Kind::Serial;
  // Serial: the port as typed (a bare name like COM3 or a path).
  std::string port;
  int baud = 0;
  int dataBits = 8;
  int stopBits = 1;
  char parity = 'N';  // N, E or O
  // TCP.
  std::string host;
  int tcpPort = 0;
  // Settings.
  int timeoutMs = 300;
  int retries = 1;
  bool trace = false;
};

// Either a connection or the message that says what is wrong and what is expected.
struct ParseResult {
  std::optional<Connection> connection;
  std::string error;
};

ParseResult parse(std::string_view text);

inline constexpr int kMinTimeoutMs = 10;
inline constexpr int kMaxTimeoutMs = 60000;
inline constexpr int kMaxRetries = 5;

}  // namespace conntext
