#pragma once
// The real driver, created by its class name, and small helpers around it.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "automation/error_info.h"
#include "automation/registry.h"
#include "automation/wide_string.h"
#include "device/tarvik.h"
#include "driver/tarvik_driver.h"

namespace soak {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

inline std::shared_ptr<device::ITarvik> makeDriver() {
  automation::initializeApartment();
  driver::registerTarvikDriver();
  automation::ClassId id;
  std::shared_ptr<automation::Dispatch> object;
  std::shared_ptr<device::ITarvik> tarvik;
  if (automation::classIdFromName(device::kDriverClassName, &id) != 0 ||
      automation::createInstance(id, &object) != 0 || automation::queryInterface(object, &tarvik) != 0)
    return nullptr;
  return tarvik;
}

struct Failure {
  bool present = false;  // any error information at all
  std::u16string source;
  std::string description;
};

// What the last failure left, taking it.
inline Failure takeFailure() {
  const auto info = automation::takeErrorInfo();
  if (!info) return {};
  return {true, info->source, automation::toUtf8(info->description)};
}

inline automation::WideString text(const std::string& utf8) { return automation::fromUtf8(utf8); }

// ReadBlock into bytes; the status as the driver answered it.
inline automation::Status readBlock(device::ITarvik& tarvik, int block, int offset, int count, Bytes* out) {
  automation::Variant data;
  const automation::Status status = tarvik.ReadBlock(block, offset, count, &data);
  if (automation::succeeded(status)) *out = data.bytes();
  return status;
}

}  // namespace soak
