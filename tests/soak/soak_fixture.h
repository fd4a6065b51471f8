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
#include "tests/driver/driver_fixture.h"

namespace soak {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Created the way the window creates it.
using drvtest::makeDriver;

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
