#pragma once
// The driver contract: the operations of the driver's ITarvik interface that
// VARK calls. Every operation answers a status; negative is a failure, and
// the driver then leaves error information for the calling thread.
#include <cstdint>

#include "automation/registry.h"
#include "automation/status.h"
#include "automation/variant.h"
#include "automation/wide_string.h"

namespace device {

using automation::Status;
using automation::Variant;

// The class name under which the driver is registered.
inline constexpr char16_t kDriverClassName[] = u"Drelko.Driver.Tarvik.2";

class ITarvik : public automation::Dispatch {
 public:
  // Connection text as typed by the operator; an empty text arrives as null.
  virtual Status SetConnection(const automation::WideString& connection) = 0;
  // Station address of the module.
  virtual Status SetAddress(std::int32_t address) = 0;
  // Reads count bytes of block from offset; *data receives a byte array
  // (VT_ARRAY | VT_UI1, lower bound 0). The caller sets *data empty first.
  virtual Status ReadBlock(std::int32_t block, std::int32_t offset, std::int32_t count,
                           Variant* data) = 0;
  // The item of variant type `type` (17 a byte, 18 a little-endian word) at
  // `offset` of the bytes last read.
  virtual Status GetValue(std::int32_t offset, std::int32_t type, Variant* value) = 0;
  // Writes a byte array, or a VT_I4 value, into block from offset.
  virtual Status WriteBlock(std::int32_t block, std::int32_t offset, Variant data) = 0;
};

}  // namespace device
