#pragma once
// The module's registers as the simulator keeps them, and how it answers a
// request PDU. No I/O here: saving to flash is handed back to the caller.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/register_map.h"

namespace simcore {

using ConfigBlock = std::array<std::uint8_t, regmap::kConfigBytes>;

// What a freshly made module holds in its configuration block.
ConfigBlock defaultConfig();

// The configuration write that leaves these bytes at offset kSaveOffset is a
// command to store the block in flash.
inline constexpr int kSaveOffset = 4;
inline constexpr std::array<std::uint8_t, 4> kSaveMarker = {0x73, 0x61, 0x76, 0x65};  // "save"

enum class Inputs { Fixed, Loopback };

namespace exception {
inline constexpr std::uint8_t kIllegalFunction = 0x01;
inline constexpr std::uint8_t kIllegalAddress = 0x02;
inline constexpr std::uint8_t kIllegalValue = 0x03;
inline constexpr std::uint8_t kGatewayTargetFailed = 0x0B;
}  // namespace exception

std::vector<std::uint8_t> exceptionPdu(std::uint8_t function, std::uint8_t code);

class RegisterModel {
 public:
  RegisterModel(ConfigBlock config, Inputs inputs, std::uint8_t fixedInputs);

  // The answer PDU to a request PDU (function code first); an exception
  // answer is function | 0x80 followed by its code.
  std::vector<std::uint8_t> handle(std::span<const std::uint8_t> request);

  // The image to store when the last write asked for a save (marker zeroed);
  // empty otherwise. Taking it clears it.
  std::optional<ConfigBlock> takeFlashImage();

  const ConfigBlock& config() const { return config_; }
  std::uint16_t outputRegister() const { return outputs_; }

 private:
  std::optional<std::uint16_t> read(int reg) const;
  bool writable(int reg) const;
  void write(int reg, std::uint16_t value);
  void afterConfigWrite();

  ConfigBlock config_;
  Inputs inputs_;
  std::uint8_t fixedInputs_;
  std::uint16_t outputs_ = 0;
  std::optional<ConfigBlock> flashImage_;
};

// For the transaction log: "FC03 0x0100+16", "FC43" (function codes in decimal).
std::string describeRequest(std::span<const std::uint8_t> request);
// "ok" or "exception 02 illegal data address".
std::string describeAnswer(std::span<const std::uint8_t> answer);

}  // namespace simcore
