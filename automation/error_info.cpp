#include "automation/error_info.h"

#include <utility>

namespace automation {

namespace {
thread_local std::shared_ptr<const ErrorInfo> slot;
}

void setErrorInfo(std::shared_ptr<const ErrorInfo> info) { slot = std::move(info); }

std::shared_ptr<const ErrorInfo> takeErrorInfo() { return std::exchange(slot, nullptr); }

}  // namespace automation
