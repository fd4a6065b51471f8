#pragma once
// Failures are raised as device::Failure carrying the message the operator
// sees. Below this point errors are status values.
#include <stdexcept>
#include <string>

#include "automation/error_info.h"
#include "automation/status.h"

namespace device {

class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

// Texts of failures raised by VARK itself.
namespace messages {
inline constexpr char kInterfaceNotSupported[] = "Interface not supported";
inline constexpr char kInvalidVariantConversion[] = "Invalid variant type conversion";
inline constexpr char kInvalidInteger[] = "'%s' is not a valid integer value";
}  // namespace messages

// The message of a failed status: the error information's description, else
// the system text, both without trailing blanks, controls and full stops,
// else "OLE error XXXXXXXX".
std::string failureMessage(automation::Status status, const automation::ErrorInfo* info);

// A negative status from a driver call becomes a Failure; the thread's error
// information is taken (and so emptied) on the way.
void check(automation::Status status);
// For class lookup and creation, which leave no error information.
void checkCreation(automation::Status status);

}  // namespace device
