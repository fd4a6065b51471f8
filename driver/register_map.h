#pragma once
// How the module's blocks of bytes map onto Modbus holding registers: block b,
// byte offset o is in register b * 256 + o / 2, the even byte being the
// register's low byte. Driver and simulator both use this one map.
#include <cstdint>

namespace regmap {

inline constexpr int kRegistersPerBlock = 256;
inline constexpr int kBytesPerBlock = 2 * kRegistersPerBlock;

constexpr int registerOf(int block, int offset) { return block * kRegistersPerBlock + offset / 2; }
constexpr bool isLowByte(int offset) { return offset % 2 == 0; }
constexpr int blockOf(int reg) { return reg / kRegistersPerBlock; }
constexpr int offsetOf(int reg) { return (reg % kRegistersPerBlock) * 2; }

// The module's map.
inline constexpr int kConfigBlock = 1;
inline constexpr int kConfigBytes = 32;
inline constexpr int kConfigFirst = registerOf(kConfigBlock, 0);                 // 0x100
inline constexpr int kConfigLast = registerOf(kConfigBlock, kConfigBytes - 1);   // 0x10F
inline constexpr int kIoBlock = 2;
inline constexpr int kInputRegister = registerOf(kIoBlock, 0);   // 0x200: inputs (low), second byte
inline constexpr int kReservedRegister = registerOf(kIoBlock, 2);  // 0x201: reads as 0, read-only
inline constexpr int kOutputRegister = registerOf(kIoBlock, 4);  // 0x202: outputs (low byte)

// Largest Modbus requests.
inline constexpr int kMaxReadRegisters = 125;
inline constexpr int kMaxWriteRegisters = 123;

static_assert(kConfigFirst == 0x100 && kConfigLast == 0x10F);
static_assert(kInputRegister == 0x200 && kOutputRegister == 0x202);

}  // namespace regmap
