#include "simulator/register_model.h"

#include <algorithm>
#include <cstdio>

namespace simcore {
namespace {

// The second byte of the input register reads as this.
constexpr std::uint8_t kInputHighByte = 0x00;

std::uint16_t be16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void putBe16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool isConfig(int reg) { return reg >= regmap::kConfigFirst && reg <= regmap::kConfigLast; }

const char* exceptionName(std::uint8_t code) {
  switch (code) {
    case exception::kIllegalFunction: return "illegal function";
    case exception::kIllegalAddress: return "illegal data address";
    case exception::kIllegalValue: return "illegal data value";
    case exception::kGatewayTargetFailed: return "gateway target failed to respond";
    default: return "unknown exception";
  }
}

}  // namespace

ConfigBlock defaultConfig() {
  ConfigBlock block{};
  block[0] = 5;     // answer delay
  block[1] = 6;     // line speed code
  block[2] = 0xE8;  // line timeout 1000, little endian
  block[3] = 0x03;
  for (int i = 0; i < 8; ++i) {
    block[8 + i] = static_cast<std::uint8_t>(10 + i);   // log 0 times
    block[24 + i] = static_cast<std::uint8_t>(20 + i);  // log 1 times
  }
  return block;
}

std::vector<std::uint8_t> exceptionPdu(std::uint8_t function, std::uint8_t code) {
  return {static_cast<std::uint8_t>(function | 0x80), code};
}

RegisterModel::RegisterModel(ConfigBlock config, Inputs inputs, std::uint8_t fixedInputs)
    : config_(config), inputs_(inputs), fixedInputs_(fixedInputs) {}

std::optional<std::uint16_t> RegisterModel::read(int reg) const {
  if (isConfig(reg)) {
    const int offset = regmap::offsetOf(reg);
    return static_cast<std::uint16_t>(config_[offset] | (config_[offset + 1] << 8));
  }
  if (reg == regmap::kInputRegister) {
    const std::uint8_t low = inputs_ == Inputs::Loopback ? static_cast<std::uint8_t>(outputs_ & 0xFF) : fixedInputs_;
    return static_cast<std::uint16_t>(low | (kInputHighByte << 8));
  }
  if (reg == regmap::kReservedRegister) return 0;
  if (reg == regmap::kOutputRegister) return outputs_;
  return std::nullopt;
}

bool RegisterModel::writable(int reg) const { return isConfig(reg) || reg == regmap::kOutputRegister; }

void RegisterModel::write(int reg, std::uint16_t value) {
  if (reg == regmap::kOutputRegister) {
    outputs_ = value;
    return;
  }
  const int offset = regmap::offsetOf(reg);
  config_[offset] = static_cast<std::uint8_t>(value & 0xFF);
  config_[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void RegisterModel::afterConfigWrite() {
  if (!std::equal(kSaveMarker.begin(), kSaveMarker.end(), config_.begin() + kSaveOffset)) return;
  // The marker is a command, not a setting: neither flash nor the running block keeps it.
  std::fill_n(config_.begin() + kSaveOffset, kSaveMarker.size(), 0);
  flashImage_ = config_;
}

std::optional<ConfigBlock> RegisterModel::takeFlashImage() {
  auto image = flashImage_;
  flashImage_.reset();
  return image;
}

std::vector<std::uint8_t> RegisterModel::handle(std::span<const std::uint8_t> request) {
  if (request.empty()) return exceptionPdu(0, exception::kIllegalFunction);
  const std::uint8_t function = request[0];
  switch (function) {
    case 0x03: {
      if (request.size() != 5) return exceptionPdu(function, exception::kIllegalValue);
      const int first = be16(request, 1);
      const int count = be16(request, 3);
      if (count < 1 || count > regmap::kMaxReadRegisters) return exceptionPdu(function, exception::kIllegalValue);
      std::vector<std::uint8_t> answer{function, static_cast<std::uint8_t>(2 * count)};
      for (int reg = first; reg < first + count; ++reg) {
        const auto value = read(reg);
        if (!value) return exceptionPdu(function, exception::kIllegalAddress);
        putBe16(answer, *value);
      }
      return answer;
    }
    case 0x06: {
      if (request.size() != 5) return exceptionPdu(function, exception::kIllegalValue);
      const int reg = be16(request, 1);
      if (!writable(reg)) return exceptionPdu(function, exception::kIllegalAddress);
      write(reg, be16(request, 3));
      if (isConfig(reg)) afterConfigWrite();
      return {request.begin(), request.end()};
    }
    case 0x10: {
      if (request.size() < 6) return exceptionPdu(function, exception::kIllegalValue);
      const int first = be16(request, 1);
      const int count = be16(request, 3);
      const std::size_t byteCount = request[5];
      if (count < 1 || count > regmap::kMaxWriteRegisters || byteCount != 2u * count || request.size() != 6 + byteCount)
        return exceptionPdu(function, exception::kIllegalValue);
      for (int reg = first; reg < first + count; ++reg)
        if (!writable(reg)) return exceptionPdu(function, exception::kIllegalAddress);
      bool touchedConfig = false;
      for (int i = 0; i < count; ++i) {
        write(first + i, be16(request, 6 + 2 * i));
        touchedConfig = touchedConfig || isConfig(first + i);
      }
      if (touchedConfig) afterConfigWrite();
      return {request.begin(), request.begin() + 5};
    }
    default:
      return exceptionPdu(function, exception::kIllegalFunction);
  }
}

std::string describeRequest(std::span<const std::uint8_t> request) {
  if (request.empty()) return "empty request";
  char text[40];
  const std::uint8_t function = request[0];
  if ((function == 0x03 || function == 0x10) && request.size() >= 5)
    std::snprintf(text, sizeof text, "FC%02u 0x%04X+%u", function, be16(request, 1), be16(request, 3));
  else if (function == 0x06 && request.size() >= 5)
    std::snprintf(text, sizeof text, "FC06 0x%04X+1", be16(request, 1));
  else
    std::snprintf(text, sizeof text, "FC%02u", function);
  return text;
}

std::string describeAnswer(std::span<const std::uint8_t> answer) {
  if (answer.size() < 2 || !(answer[0] & 0x80)) return "ok";
  char text[64];
  std::snprintf(text, sizeof text, "exception %02X %s", answer[1], exceptionName(answer[1]));
  return text;
}

}  // namespace simcore
