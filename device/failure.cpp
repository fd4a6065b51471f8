#include "device/failure.h"

#include <cstdio>

#include "automation/wide_string.h"

namespace device {

namespace {

std::string trimmed(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.'))
    text.pop_back();
  return text;
}

}  // namespace

std::string failureMessage(automation::Status status, const automation::ErrorInfo* info) {
  if (info) {
    std::string description = trimmed(automation::toUtf8(info->description));
    if (!description.empty()) return description;
  }
  std::string system = trimmed(automation::systemMessage(status));
  if (!system.empty()) return system;
  char code[32];
  std::snprintf(code, sizeof code, "OLE error %.8X", static_cast<unsigned>(status));
  return code;
}

void check(automation::Status status) {
  if (automation::succeeded(status)) return;
  const auto info = automation::takeErrorInfo();
  throw Failure(failureMessage(status, info.get()));
}

void checkCreation(automation::Status status) {
  if (automation::succeeded(status)) return;
  throw Failure(failureMessage(status, nullptr));
}

}  // namespace device
