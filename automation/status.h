#pragma once
// Status codes of the automation layer and of our driver: 32-bit signed,
// negative means failure. Every code has one row in the table of status.cpp.
#include <cstdint>
#include <string>

namespace automation {

using Status = std::int32_t;

constexpr Status failureCode(std::uint32_t bits) { return static_cast<Status>(bits); }

inline bool failed(Status s) { return s < 0; }
inline bool succeeded(Status s) { return s >= 0; }

namespace status {
// Generic results.
constexpr Status kOk = 0;
constexpr Status kFalse = 1;  // success, "nothing to do" (e.g. apartment already initialised)
constexpr Status kUnexpected = failureCode(0x8000FFFF);
constexpr Status kNotImplemented = failureCode(0x80004001);
constexpr Status kNoInterface = failureCode(0x80004002);
constexpr Status kPointer = failureCode(0x80004003);
constexpr Status kFail = failureCode(0x80004005);
constexpr Status kOutOfMemory = failureCode(0x8007000E);
constexpr Status kInvalidArgument = failureCode(0x80070057);

// Class registry and apartment.
constexpr Status kClassNotRegistered = failureCode(0x80040154);
constexpr Status kNotInitialized = failureCode(0x800401F0);
constexpr Status kInvalidClassString = failureCode(0x800401F3);
constexpr Status kChangedMode = failureCode(0x80010106);

// Variant conversion.
constexpr Status kTypeMismatch = failureCode(0x80020005);
constexpr Status kBadVariantType = failureCode(0x80020008);
constexpr Status kOverflow = failureCode(0x8002000A);

// Our driver's own codes (interface-specific range): the system has no text
// for them, the driver always fills the error information.
constexpr Status kDriverBadConnectionText = failureCode(0x80040201);
constexpr Status kDriverPortNotFound = failureCode(0x80040202);
constexpr Status kDriverPortBusy = failureCode(0x80040203);
constexpr Status kDriverPermissionDenied = failureCode(0x80040204);
constexpr Status kDriverNotConnected = failureCode(0x80040205);
constexpr Status kDriverBadAddress = failureCode(0x80040206);
constexpr Status kDriverBadArgument = failureCode(0x80040207);
constexpr Status kDriverTimeout = failureCode(0x80040208);
constexpr Status kDriverDamagedFrame = failureCode(0x80040209);
constexpr Status kDriverWrongStation = failureCode(0x8004020A);
constexpr Status kDriverRefused = failureCode(0x8004020B);
constexpr Status kDriverLineLost = failureCode(0x8004020C);
constexpr Status kDriverIoError = failureCode(0x8004020D);
}  // namespace status

// The system's message text for a status, empty when it has none.
std::string systemMessage(Status s);

}  // namespace automation
