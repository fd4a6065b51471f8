#include "automation/status.h"

#include <array>
#include <utility>

namespace automation {

namespace {
struct StatusText {
  Status status;
  const char* text;
};

// Driver codes are deliberately absent: their text comes from the error information.
constexpr std::array kSystemTexts{
    StatusText{status::kOk, "The operation completed successfully.\r\n"},
    StatusText{status::kUnexpected, "Catastrophic failure\r\n"},
    StatusText{status::kNotImplemented, "Not implemented\r\n"},
    StatusText{status::kNoInterface, "No such interface supported\r\n"},
    StatusText{status::kPointer, "Invalid pointer\r\n"},
    StatusText{status::kFail, "Unspecified error\r\n"},
    StatusText{status::kOutOfMemory, "Not enough memory resources are available to complete this operation.\r\n"},
    StatusText{status::kInvalidArgument, "The parameter is incorrect.\r\n"},
    StatusText{status::kClassNotRegistered, "Class not registered\r\n"},
    StatusText{status::kNotInitialized, "The automation library has not been initialised on this thread.\r\n"},
    StatusText{status::kInvalidClassString, "Invalid class string\r\n"},
    StatusText{status::kChangedMode, "Cannot change thread mode after it is set.\r\n"},
    StatusText{status::kTypeMismatch, "Type mismatch.\r\n"},
    StatusText{status::kBadVariantType, "Bad variable type.\r\n"},
    StatusText{status::kOverflow, "Out of present range.\r\n"},
};
}  // namespace

std::string systemMessage(Status s) {
  for (const auto& row : kSystemTexts)
    if (row.status == s) return row.text;
  return {};
}

}  // namespace automation
