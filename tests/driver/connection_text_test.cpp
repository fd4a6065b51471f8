#include "driver/connection_text.h"

#include <gtest/gtest.h>

namespace {

using conntext::Kind;

struct Good {
  const char* text;
  Kind kind;
  const char* portOrHost;
  int baudOrPort;
  int data, stop;
  char parity;
  int timeout, retries;
  bool trace;
};

TEST(ConnectionText, ParsesGoodTexts) {
  const Good cases[] = {
      {"serialPort:COM3/38400/8/2", Kind::Serial, "COM3", 38400, 8, 2, 'N', 300, 1, false},
      {"serialPort:/dev/ttyUSB0/38400/8/2", Kind::Serial, "/dev/ttyUSB0", 38400, 8, 2, 'N', 300, 1, false},
      {"serialPort:/dev/serial/by-id/usb-X-port0/19200/8/1/E", Kind::Serial, "/dev/serial/by-id/usb-X-port0",
       19200, 8, 1, 'E', 300, 1, false},
      {"serialport:COM1/9600/7/1/o;timeout=1000;retries=0;trace=1", Kind::Serial, "COM1", 9600, 7, 1, 'O', 1000,
       0, true},
      {"  serialPort:COM2/115200/5/1/N ; retries=5 ;", Kind::Serial, "COM2", 115200, 5, 1, 'N', 300, 5, false},
      {"tcp:127.0.0.1:502", Kind::Tcp, "127.0.0.1", 502, 8, 1, 'N', 300, 1, false},
      {"tcp:[::1]:1502;timeout=10", Kind::Tcp, "::1", 1502, 8, 1, 'N', 10, 1, false},
      {"tcp:gateway.local:65535;timeout=60000", Kind::Tcp, "gateway.local", 65535, 8, 1, 'N', 60000, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto result = conntext::parse(c.text);
    ASSERT_TRUE(result.connection) << result.error;
    const auto& got = *result.connection;
    EXPECT_EQ(got.kind, c.kind);
    if (c.kind == Kind::Serial) {
      EXPECT_EQ(got.port, c.portOrHost);
      EXPECT_EQ(got.baud, c.baudOrPort);
      EXPECT_EQ(got.dataBits, c.data);
      EXPECT_EQ(got.stopBits, c.stop);
      EXPECT_EQ(got.parity, c.parity);
    } else {
      EXPECT_EQ(got.host, c.portOrHost);
      EXPECT_EQ(got.tcpPort, c.baudOrPort);
    }
    EXPECT_EQ(got.timeoutMs, c.timeout);
    EXPECT_EQ(got.retries, c.retries);
    EXPECT_EQ(got.trace, c.trace);
  }
}

TEST(ConnectionText, NamesWhatIsWrongInMalformedTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "No connection text: expected serialPort:PORT/BAUD/DATA/STOP[/PARITY] or tcp:HOST:PORT"},
      {"   ", "No connection text"},
      {"serialPort:COM3/38400/8/2/Q",
       "Unknown parity 'Q' in \"serialPort:COM3/38400/8/2/Q\": expected N, E or O"},
      {"serialPort:COM3/38400/9/1", "Unsupported data bits '9'"},
      {"serialPort:COM3/38400/8/3", "Unsupported stop bits '3'"},
      {"serialPort:COM3/12345/8/1", "Unsupported baud rate '12345'"},
      {"serialPort:COM3/fast/8/1", "Unsupported baud rate 'fast'"},
      {"serialPort:COM3/38400/8", "Incomplete serial settings"},
      {"serialPort:/38400/8/1", "Missing port name"},
      {"serialPort:COM3/38400/8/1;timeout=5", "Bad timeout '5'"},
      {"serialPort:COM3/38400/8/1;timeout=60001", "Bad timeout '60001'"},
      {"serialPort:COM3/38400/8/1;retries=6", "Bad retries '6'"},
      {"serialPort:COM3/38400/8/1;trace=yes", "Bad trace 'yes'"},
      {"serialPort:COM3/38400/8/1;speed=2", "Unknown setting 'speed'"},
      {"tcp:127.0.0.1", "Missing port"},
      {"tcp::502", "Missing host"},
      {"tcp:127.0.0.1:0", "Bad TCP port '0'"},
      {"tcp:127.0.0.1:99999999999", "Bad TCP port"},
      {"tcp:::1:502", "IPv6 address without brackets"},
      {"tcp:[::1:502", "Unclosed '['"},
      {"udp:1.2.3.4:502", "Unknown connection kind"},
  };
  for (const auto& [text, fragment] : cases) {
    SCOPED_TRACE(text);
    const auto result = conntext::parse(text);
    EXPECT_FALSE(result.connection);
    EXPECT_NE(result.error.find(fragment), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("expected"), std::string::npos) << result.error;
  }
}

}  // namespace
