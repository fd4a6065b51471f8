#pragma once
// The CRC that closes every RTU frame (polynomial 0xA001 reflected, start
// 0xFFFF). On the wire the low byte goes first.
#include <cstddef>
#include <cstdint>

namespace simcore {

std::uint16_t crc16(const std::uint8_t* data, std::size_t size);

}  // namespace simcore
