#include "driver/connection_text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace conntext {
namespace {

constexpr std::string_view kSerialScheme = "serialPort:";
constexpr std::string_view kTcpScheme = "tcp:";
constexpr std::string_view kSerialForm = "serialPort:PORT/BAUD/DATA/STOP[/PARITY]";
constexpr std::string_view kTcpForm = "tcp:HOST:PORT";

// The rates the serial layer can set.
constexpr std::array kBauds{110,    300,    600,     1200,    2400,    4800,    9600,    19200,
                            38400,  57600,  115200,  230400,  460800,  500000,  576000,  921600,
                            1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

bool startsWithNoCase(std::string_view text, std::string_view head) {
  if (text.size() < head.size()) return false;
  for (std::size_t i = 0; i < head.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(head[i])) return false;
  }
  return true;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Plain decimal digits only, small enough never to overflow.
std::optional<int> number(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

struct Parser {
  std::string_view whole;

  ParseResult fail(const std::string& what, std::string_view expected) const {
    return {std::nullopt, what + " in \"" + std::string(whole) + "\": expected " + std::string(expected)};
  }

  std::optional<ParseResult> settings(std::string_view rest, Connection& c) const {
    while (!rest.empty()) {
      const auto semicolon = rest.find(';');
      const std::string_view item = trimmed(rest.substr(0, semicolon));
      rest = semicolon == std::string_view::npos ? std::string_view{} : rest.substr(semicolon + 1);
      if (item.empty()) continue;
      const auto equals = item.find('=');
      const std::string key = lowered(trimmed(item.substr(0, equals)));
      const std::string_view valueText =
          equals == std::string_view::npos ? std::string_view{} : trimmed(item.substr(equals + 1));
      const auto value = number(valueText);
      const std::string quoted = "'" + std::string(valueText) + "'";
      if (key == "timeout") {
        if (!value || *value < kMinTimeoutMs || *value > kMaxTimeoutMs)
          return fail("Bad timeout " + quoted, "milliseconds from 10 to 60000");
        c.timeoutMs = *value;
      } else if (key == "retries") {
        if (!value || *value > kMaxRetries) return fail("Bad retries " + quoted, "a number from 0 to 5");
        c.retries = *value;
      } else if (key == "trace") {
        if (!value || *value > 1) return fail("Bad trace " + quoted, "trace=0 or trace=1");
        c.trace = *value == 1;
      } else {
        return fail("Unknown setting '" + std::string(item.substr(0, equals)) + "'",
                    "timeout=MS, retries=N or trace=1");
      }
    }
    return std::nullopt;
  }

  ParseResult serial(std::string_view address, Connection c) const {
    std::vector<std::string_view> fields;  // from the right: [PARITY,] STOP, DATA, BAUD
    std::string_view rest = address;
    const bool hasParity = [&] {
      const auto slash = rest.rfind('/');
      if (slash == std::string_view::npos) return false;
      const auto last = trimmed(rest.substr(slash + 1));
      return !last.empty() && !number(last);
    }();
    const int wanted = hasParity ? 4 : 3;
    for (int i = 0; i < wanted; ++i) {
      const auto slash = rest.rfind('/');
      if (slash == std::string_view::npos) return fail("Incomplete serial settings", kSerialForm);
      fields.push_back(trimmed(rest.substr(slash + 1)));
      rest = rest.substr(0, slash);
    }
    c.port = std::string(trimmed(rest));
    if (c.port.empty()) return fail("Missing port name", kSerialForm);
    std::size_t i = 0;
    if (hasParity) {
      const std::string parity = lowered(fields[i++]);
      if (parity != "n" && parity != "e" && parity != "o")
        return fail("Unknown parity '" + std::string(fields[0]) + "'", "N, E or O");
      c.parity = static_cast<char>(parity[0] - 'a' + 'A');
    }
    const auto stop = number(fields[i]);
    if (!stop || (*stop != 1 && *stop != 2))
      return fail("Unsupported stop bits '" + std::string(fields[i]) + "'", "1 or 2");
    c.stopBits = *stop;
    ++i;
    const auto data = number(fields[i]);
    if (!data || *data < 5 || *data > 8)
      return fail("Unsupported data bits '" + std::string(fields[i]) + "'", "5, 6, 7 or 8");
    c.dataBits = *data;
    ++i;
    const auto baud = number(fields[i]);
    if (!baud || std::find(kBauds.begin(), kBauds.end(), *baud) == kBauds.end())
      return fail("Unsupported baud rate '" + std::string(fields[i]) + "'",
                  "a standard rate such as 9600, 19200, 38400, 57600 or 115200");
    c.baud = *baud;
    c.kind = Kind::Serial;
    return {std::move(c), {}};
  }

  ParseResult tcp(std::string_view address, Connection c) const {
    std::string_view host, portText;
    if (!address.empty() && address.front() == '[') {
      const auto close = address.find(']');
      if (close == std::string_view::npos) return fail("Unclosed '[' around the host", "tcp:[IPv6]:PORT");
      host = address.substr(1, close - 1);
      const auto after = address.substr(close + 1);
      if (after.empty() || after.front() != ':') return fail("Missing port", kTcpForm);
      portText = after.substr(1);
    } else {
      const auto colon = address.rfind(':');
      if (colon == std::string_view::npos) return fail("Missing port", kTcpForm);
      host = address.substr(0, colon);
      portText = address.substr(colon + 1);
      if (host.find(':') != std::string_view::npos)
        return fail("IPv6 address without brackets", "tcp:[IPv6]:PORT, e.g. tcp:[::1]:502");
    }
    host = trimmed(host);
    if (host.empty()) return fail("Missing host", kTcpForm);
    if (host.find_first_of(" \t[]/") != std::string_view::npos)
      return fail("Bad host '" + std::string(host) + "'", "a host name or an IP address");
    const auto port = number(trimmed(portText));
    if (!port || *port < 1 || *port > 65535)
      return fail("Bad TCP port '" + std::string(portText) + "'", "a number from 1 to 65535");
    c.kind = Kind::Tcp;
    c.host = std::string(host);
    c.tcpPort = *port;
    return {std::move(c), {}};
  }

  ParseResult run() const {
    const std::string_view text = trimmed(whole);
    if (text.empty())
      return {std::nullopt, "No connection text: expected " + std::string(kSerialForm) + " or " +
                                std::string(kTcpForm)};
    const auto semicolon = text.find(';');
    const std::string_view head = text.substr(0, semicolon);
    Connection c;
    if (semicolon != std::string_view::npos)
      if (auto bad = settings(text.substr(semicolon + 1), c)) return *bad;
    if (startsWithNoCase(head, kSerialScheme)) return serial(trimmed(head.substr(kSerialScheme.size())), c);
    if (startsWithNoCase(head, kTcpScheme)) return tcp(trimmed(head.substr(kTcpScheme.size())), c);
    return fail("Unknown connection kind",
                std::string(kSerialForm) + " or " + std::string(kTcpForm));
  }
};

}  // namespace

ParseResult parse(std::string_view text) { return Parser{text}.run(); }

}  // namespace conntext
