#include "device/device_link.h"

#include "device/failure.h"

namespace device {

std::shared_ptr<automation::Dispatch> createDriver() {
  automation::ClassId id;
  checkCreation(automation::classIdFromName(kDriverClassName, &id));
  std::shared_ptr<automation::Dispatch> object;
  checkCreation(automation::createInstance(id, &object));
  return object;
}

std::int32_t integerFromVariant(const Variant& value) {
  std::int32_t number = 0;
  if (automation::failed(automation::changeToInt32(value, &number)))
    throw Failure(messages::kInvalidVariantConversion);
  return number;
}

void DeviceLink::attach(const std::shared_ptr<automation::Dispatch>& object) {
  if (automation::failed(automation::queryInterface(object, &tarvik_)))
    throw Failure(messages::kInterfaceNotSupported);
}

ITarvik& DeviceLink::tarvik() {
  // The window's gating keeps this from happening; a null call must not crash.
  if (!tarvik_) throw Failure(messages::kInterfaceNotSupported);
  return *tarvik_;
}

void DeviceLink::setConnection(const automation::WideString& connection) {
  check(tarvik().SetConnection(connection));
}

void DeviceLink::setAddress(std::int32_t address) { check(tarvik().SetAddress(address)); }

Variant DeviceLink::readBlock(std::int32_t block, std::int32_t offset, std::int32_t count) {
  Variant data;
  check(tarvik().ReadBlock(block, offset, count, &data));
  return data;
}

Variant DeviceLink::getValue(std::int32_t offset, std::int32_t type) {
  Variant value;
  check(tarvik().GetValue(offset, type, &value));
  return value;
}

void DeviceLink::writeBlock(std::int32_t block, std::int32_t offset, Variant data) {
  check(tarvik().WriteBlock(block, offset, std::move(data)));
}

}  // namespace device
