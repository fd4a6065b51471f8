#pragma once
// The per-thread error information that a failing object leaves for its caller.
#include <cstdint>
#include <memory>
#include <string>

namespace automation {

struct ErrorInfo {
  std::u16string source;
  std::u16string description;
  std::u16string helpFile;
  std::uint32_t helpContext = 0;
};

// Replaces whatever the calling thread holds (nullptr clears it).
void setErrorInfo(std::shared_ptr<const ErrorInfo> info);
// Hands over what the calling thread holds and empties the slot; nullptr when empty.
std::shared_ptr<const ErrorInfo> takeErrorInfo();

}  // namespace automation
