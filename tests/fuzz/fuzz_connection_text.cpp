// The connection-text parser on arbitrary text: no crash, exactly one of a
// connection or a message, every accepted value inside its bounds, and an
// accepted connection written back out in its plain form parses to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/connection_text.h"

namespace {

[[noreturn]] void fail(std::string_view text, const char* what) {
  std::fprintf(stderr, "connection text \"%.*s\": %s\n", static_cast<int>(text.size()), text.data(), what);
  std::abort();
}

bool same(const conntext::Connection& a, const conntext::Connection& b) {
  return a.kind == b.kind && a.port == b.port && a.baud == b.baud && a.dataBits == b.dataBits &&
         a.stopBits == b.stopBits && a.parity == b.parity && a.host == b.host && a.tcpPort == b.tcpPort &&
         a.timeoutMs == b.timeoutMs && a.retries == b.retries && a.trace == b.trace;
}

std::string written(const conntext::Connection& c) {
  std::string text;
  if (c.kind == conntext::Kind::Serial) {
    text = "serialPort:" + c.port + "/" + std::to_string(c.baud) + "/" + std::to_string(c.dataBits) + "/" +
           std::to_string(c.stopBits) + "/" + std::string(1, c.parity);
  } else {
    const bool v6 = c.host.find(':') != std::string::npos;
    text = "tcp:" + (v6 ? "[" + c.host + "]" : c.host) + ":" + std::to_string(c.tcpPort);
  }
  text += ";timeout=" + std::to_string(c.timeoutMs) + ";retries=" + std::to_string(c.retries);
  if (c.trace) text += ";trace=1";
  return text;
}

void checkBounds(std::string_view text, const conntext::Connection& c) {
  if (c.timeoutMs < conntext::kMinTimeoutMs || c.timeoutMs > conntext::kMaxTimeoutMs)
    fail(text, "timeout out of bounds");
  if (c.retries < 0 || c.retries > conntext::kMaxRetries) fail(text, "retries out of bounds");
  if (c.kind == conntext::Kind::Serial) {
    if (c.port.empty()) fail(text, "serial connection without a port");
    if (c.baud <= 0) fail(text, "serial connection without a rate");
    if (c.dataBits < 5 || c.dataBits > 8) fail(text, "data bits out of bounds");
    if (c.stopBits != 1 && c.stopBits != 2) fail(text, "stop bits out of bounds");
    if (c.parity != 'N' && c.parity != 'E' && c.parity != 'O') fail(text, "unknown parity accepted");
  } else {
    if (c.host.empty()) fail(text, "tcp connection without a host");
    if (c.tcpPort < 1 || c.tcpPort > 65535) fail(text, "tcp port out of bounds");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy without a terminator, so a read past the end is caught.
  const std::string owned(reinterpret_cast<const char*>(data), size);
  const std::string_view text(owned);

  const conntext::ParseResult first = conntext::parse(text);
  if (first.connection.has_value() == !first.error.empty())
    fail(text, "not exactly one of a connection and a message");

  const conntext::ParseResult again = conntext::parse(text);
  if (again.error != first.error || again.connection.has_value() != first.connection.has_value() ||
      (first.connection && !same(*first.connection, *again.connection)))
    fail(text, "parsing the same text twice gave different results");

  if (!first.connection) return 0;
  checkBounds(text, *first.connection);

  const std::string plain = written(*first.connection);
  const conntext::ParseResult reread = conntext::parse(plain);
  if (!reread.connection) {
    std::fprintf(stderr, "written back as \"%s\": %s\n", plain.c_str(), reread.error.c_str());
    fail(text, "the plain form of an accepted connection is refused");
  }
  if (!same(*first.connection, *reread.connection)) fail(text, "the plain form parses to something else");
  return 0;
}
