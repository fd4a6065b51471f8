#include "driver/tarvik_driver.h"

#include <memory>

#include "automation/error_info.h"
#include "automation/registry.h"
#include "driver/register_map.h"

namespace driver {

using namespace automation;

namespace {

Status fail(Status status, const std::string& description) {
  setErrorInfo(std::make_shared<ErrorInfo>(
      ErrorInfo{device::kDriverClassName, fromUtf8(description), {}, 0}));
  return status;
}

Status finish(const Outcome& outcome) {
  return outcome.ok() ? status::kOk : fail(outcome.status, outcome.description);
}

std::string bytesText(int block, int offset, int count) {
  return "block " + std::to_string(block) + ", bytes " + std::to_string(offset) + "\u2013" +
         std::to_string(offset + count - 1);
}

// Block, offset and count inside the map, or the message that says why not.
std::string rangeProblem(const char* operation, int block, int offset, int count) {
  const std::string op = operation;
  if (block < 0 || block > 0xFF) return op + ": block " + std::to_string(block) + " does not exist: expected 0 to 255";
  if (count <= 0) return op + ": count " + std::to_string(count) + " is not allowed: expected 1 to 512 bytes";
  if (offset < 0 || offset + count > regmap::kBytesPerBlock)
    return op + ": bytes " + std::to_string(offset) + "\u2013" + std::to_string(offset + count - 1) +
           " are outside block " + std::to_string(block) + ": a block has bytes 0\u2013511";
  return {};
}

bool isIntegerKind(std::uint16_t type) {
  switch (type) {
    case kVtI1: case kVtI2: case kVtI4: case kVtI8:
    case kVtUI1: case kVtUI2: case kVtUI4: case kVtUI8:
      return true;
    default:
      return false;
  }
}

}  // namespace

Outcome TarvikDriver::ready() {
  if (!connected_) return {status::kDriverNotConnected, "Not connected: call SetConnection first"};
  if (station_ == 0)
    return {status::kDriverNotConnected, "Not connected: no module address set (SetAddress 1 to 247)"};
  if (line_.lost()) {  // once per operation; a failure leaves it lost for the next one
    Outcome reopened = line_.reopen();
    if (!reopened.ok()) reopened.description = "The line is still lost: " + reopened.description;
    return reopened;
  }
  return {};
}

Status TarvikDriver::SetConnection(const WideString& connection) {
  line_.close();
  connected_ = false;
  readBytes_.clear();
  const auto parsed = conntext::parse(connection ? toUtf8(*connection) : std::string());
  if (!parsed.connection) return fail(status::kDriverBadConnectionText, parsed.error);
  const Outcome opened = line_.open(*parsed.connection);
  if (!opened.ok()) return finish(opened);
  connected_ = true;
  return status::kOk;
}

Status TarvikDriver::SetAddress(std::int32_t address) {
  if (address < 1 || address > 247)
    return fail(status::kDriverBadAddress,
                "Module address " + std::to_string(address) + " is not valid: expected 1 to 247");
  station_ = address;
  readBytes_.clear();
  return status::kOk;
}

Status TarvikDriver::ReadBlock(std::int32_t block, std::int32_t offset, std::int32_t count, Variant* data) {
  if (!data) return fail(status::kPointer, "ReadBlock: no place for the data");
  if (const auto problem = rangeProblem("ReadBlock", block, offset, count); !problem.empty())
    return fail(status::kDriverBadArgument, problem);
  if (auto outcome = ready(); !outcome.ok()) {
    readBytes_.clear();
    return finish(outcome);
  }
  readBytes_.clear();
  const int first = regmap::registerOf(block, offset);
  const int last = regmap::registerOf(block, offset + count - 1);
  std::vector<std::uint16_t> registers;
  if (auto outcome = line_.readRegisters(station_, first, last - first + 1, &registers,
                                         bytesText(block, offset, count));
      !outcome.ok())
    return finish(outcome);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(count));
  for (int i = offset; i < offset + count; ++i) {
    const std::uint16_t value = registers[static_cast<std::size_t>(regmap::registerOf(block, i) - first)];
    bytes.push_back(static_cast<std::uint8_t>(regmap::isLowByte(i) ? value & 0xFF : value >> 8));
  }
  readBlock_ = block;
  readOffset_ = offset;
  readBytes_ = bytes;
  *data = Variant::byteArray(std::move(bytes));
  return status::kOk;
}

Status TarvikDriver::GetValue(std::int32_t offset, std::int32_t type, Variant* value) {
  if (!value) return fail(status::kPointer, "GetValue: no place for the value");
  if (type != kVtUI1 && type != kVtUI2)
    return fail(status::kDriverBadArgument, "GetValue: variant type " + std::to_string(type) +
                                                " is not supported: expected 17 (byte) or 18 (word)");
  if (readBytes_.empty())
    return fail(status::kDriverBadArgument, "GetValue: no bytes have been read: call ReadBlock first");
  const int size = type == kVtUI1 ? 1 : 2;
  const int end = readOffset_ + static_cast<int>(readBytes_.size());
  if (offset < readOffset_ || offset + size > end)
    return fail(status::kDriverBadArgument,
                "GetValue: " + std::string(size == 1 ? "byte " : "word at ") + std::to_string(offset) +
                    " is outside the bytes last read (" +
                    bytesText(readBlock_, readOffset_, static_cast<int>(readBytes_.size())) + ")");
  const auto at = static_cast<std::size_t>(offset - readOffset_);
  *value = size == 1 ? Variant::ui1(readBytes_[at])
                     : Variant::ui2(static_cast<std::uint16_t>(readBytes_[at] | readBytes_[at + 1] << 8));
  return status::kOk;
}

Status TarvikDriver::WriteBlock(std::int32_t block, std::int32_t offset, Variant data) {
  const bool bytes = data.type() == (kVtArray | kVtUI1);
  const bool single = !data.isArray() && isIntegerKind(data.type());
  if (!bytes && !single)
    return fail(status::kDriverBadArgument,
                "WriteBlock: variant type " + std::to_string(data.type()) +
                    " is not supported: expected a byte array (VT_ARRAY | VT_UI1) or an integer (VT_I4)");
  const int count = bytes ? static_cast<int>(data.bytes().size()) : 2;
  if (const auto problem = rangeProblem("WriteBlock", block, offset, count); !problem.empty())
    return fail(status::kDriverBadArgument, problem);
  if (offset % 2 != 0)
    return fail(status::kDriverBadArgument, "WriteBlock: offset " + std::to_string(offset) +
                                                " is odd: registers start at even offsets");
  if (count % 2 != 0)
    return fail(status::kDriverBadArgument, "WriteBlock: " + std::to_string(count) +
                                                " bytes is an odd length: write whole registers (even lengths)");
  if (auto outcome = ready(); !outcome.ok()) return finish(outcome);
  const int first = regmap::registerOf(block, offset);
  const std::string what = bytesText(block, offset, count);
  if (single) {
    const auto low16 = static_cast<std::uint16_t>(
        (data.type() == kVtUI1 || data.type() == kVtUI2 || data.type() == kVtUI4 || data.type() == kVtUI8)
            ? data.unsignedInteger()
            : static_cast<std::uint64_t>(data.integer()));
    return finish(line_.writeRegister(station_, first, low16, what));
  }
  std::vector<std::uint16_t> registers;
  for (std::size_t i = 0; i < data.bytes().size(); i += 2)
    registers.push_back(static_cast<std::uint16_t>(data.bytes()[i] | data.bytes()[i + 1] << 8));
  return finish(line_.writeRegisters(station_, first, registers, what));
}

void registerTarvikDriver() {
  registerClass(device::kDriverClassName, [] { return std::make_shared<TarvikDriver>(); });
}

}  // namespace driver
