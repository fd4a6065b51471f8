// Port names and the split of long ranges: no line needed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "driver/modbus_line.h"
#include "driver/port_alias.h"

namespace {

TEST(PortName, AliasFirstThenComNumberThenPathAsIs) {
  ASSERT_EQ(portalias::folder().rfind(std::getenv("XDG_RUNTIME_DIR"), 0), 0u) << "must stay in the test folder";
  ASSERT_TRUE(portalias::put("COM3", "/dev/pts/77"));
  EXPECT_EQ(driver::resolvePort("COM3"), "/dev/pts/77");
  EXPECT_EQ(driver::resolvePort("COM4"), "/dev/ttyS3");
  EXPECT_EQ(driver::resolvePort("com1"), "/dev/ttyS0");
  EXPECT_EQ(driver::resolvePort("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(driver::resolvePort("/dev/serial/by-id/x"), "/dev/serial/by-id/x");
  portalias::removeIfOwn("COM3", "/dev/pts/77");
  EXPECT_EQ(driver::resolvePort("COM3"), "/dev/ttyS2");
}

TEST(SplitPlan, KeepsOrderAndLimit) {
  using V = std::vector<std::pair<int, int>>;
  const struct {
    int first, count, max;
    V spans;
  } cases[] = {
      {0x100, 16, 125, {{0x100, 16}}},
      {0x100, 125, 125, {{0x100, 125}}},
      {0x100, 126, 125, {{0x100, 125}, {0x17D, 1}}},
      {0, 300, 125, {{0, 125}, {125, 125}, {250, 50}}},
      {10, 246, 123, {{10, 123}, {133, 123}}},
  };
  for (const auto& c : cases) {
    V got;
    for (const auto span : driver::splitPlan(c.first, c.count, c.max)) got.emplace_back(span.first, span.count);
    EXPECT_EQ(got, c.spans) << c.first << "+" << c.count;
  }
}

}  // namespace
