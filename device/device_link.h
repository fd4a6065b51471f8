#pragma once
// The window's one reference to the driver, and the adapter that turns every
// status the driver answers into a raised Failure.
#include <cstdint>
#include <memory>

#include "automation/registry.h"
#include "automation/variant.h"
#include "automation/wide_string.h"
#include "device/tarvik.h"

namespace device {

// Looks the driver's class up by name and creates an instance.
std::shared_ptr<automation::Dispatch> createDriver();

// The integer of a value the driver handed back; raises
// "Invalid variant type conversion" for what cannot be converted.
std::int32_t integerFromVariant(const Variant& value);

class DeviceLink {
 public:
  bool empty() const { return !tarvik_; }
  void release() { tarvik_.reset(); }
  // Asks the object for ITarvik, the answer going straight into the link; an
  // object without it leaves the link empty and raises "Interface not supported".
  void attach(const std::shared_ptr<automation::Dispatch>& object);

  void setConnection(const automation::WideString& connection);
  void setAddress(std::int32_t address);
  // The data the driver hands back, array or not: callers decide.
  Variant readBlock(std::int32_t block, std::int32_t offset, std::int32_t count);
  Variant getValue(std::int32_t offset, std::int32_t type);
  void writeBlock(std::int32_t block, std::int32_t offset, Variant data);

 private:
  ITarvik& tarvik();

  std::shared_ptr<ITarvik> tarvik_;
};

}  // namespace device
