#pragma once
// The driver object behind device::ITarvik: connection text, station address
// and block reads/writes mapped onto Modbus holding registers.
#include <cstdint>
#include <string>
#include <vector>

#include "device/tarvik.h"
#include "driver/modbus_line.h"

namespace driver {

class TarvikDriver : public device::ITarvik {
 public:
  automation::Status SetConnection(const automation::WideString& connection) override;
  automation::Status SetAddress(std::int32_t address) override;
  automation::Status ReadBlock(std::int32_t block, std::int32_t offset, std::int32_t count,
                               automation::Variant* data) override;
  automation::Status GetValue(std::int32_t offset, std::int32_t type, automation::Variant* value) override;
  automation::Status WriteBlock(std::int32_t block, std::int32_t offset, automation::Variant data) override;

 private:
  // Not connected, or the line went and could not be reopened: a failure outcome.
  Outcome ready();

  ModbusLine line_;
  bool connected_ = false;
  int station_ = 0;
  // The bytes of the last successful ReadBlock.
  int readBlock_ = -1;
  int readOffset_ = 0;
  std::vector<std::uint8_t> readBytes_;
};

// Registers the driver's factory under device::kDriverClassName.
void registerTarvikDriver();

}  // namespace driver
