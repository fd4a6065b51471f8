#pragma once
// A driver created the way the window creates it, and what it left as error text.
#include <memory>
#include <string>

#include "automation/error_info.h"
#include "automation/registry.h"
#include "automation/wide_string.h"
#include "device/tarvik.h"
#include "driver/tarvik_driver.h"

namespace drvtest {

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

// The description the last failure left, emptied; "" when none.
inline std::string lastError() {
  const auto info = automation::takeErrorInfo();
  if (!info) return {};
  return (info->source == device::kDriverClassName ? "" : "WRONG SOURCE: ") + automation::toUtf8(info->description);
}

inline automation::WideString text(const std::string& utf8) { return automation::fromUtf8(utf8); }

}  // namespace drvtest
