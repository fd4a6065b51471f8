#pragma once
// Which answers the simulator spoils, and how. The request is always applied
// to the register model first: a write whose answer was lost did happen.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace simcore {

enum class Fault { None, Drop, Crc, Station, Late, Garbage, Truncate };

std::string_view faultName(Fault fault);
// "drop,crc" -> kinds; empty when any kind is unknown or the list is empty.
std::optional<std::vector<Fault>> parseFaults(std::string_view list);

class FaultPlan {
 public:
  FaultPlan() = default;  // spoils nothing
  // Every `every`-th request, taking the kinds in turn.
  static FaultPlan everyNth(std::vector<Fault> kinds, unsigned every);
  // Each request with `probability`, a kind drawn at random; same seed, same run.
  static FaultPlan random(std::vector<Fault> kinds, double probability, std::uint64_t seed);

  // Called once for each request addressed to us.
  Fault next();
  // A few random bytes to send instead of an answer.
  std::vector<std::uint8_t> garbage();

 private:
  double uniform();

  std::vector<Fault> kinds_;
  unsigned every_ = 0;
  double probability_ = -1;
  unsigned count_ = 0;
  std::size_t turn_ = 0;
  std::mt19937_64 random_{1};
};

// The bytes an RTU answer becomes under a fault (Late and None leave it as it
// is; Drop leaves nothing). `answer` is a whole frame: station, PDU, CRC.
std::vector<std::uint8_t> spoilRtuAnswer(Fault fault, std::vector<std::uint8_t> answer, FaultPlan& plan);

// A whole RTU frame for station and PDU, CRC appended.
std::vector<std::uint8_t> rtuFrame(std::uint8_t station, const std::vector<std::uint8_t>& pdu);


// The same for a Modbus TCP answer (MBAP head, unit, PDU). There is no CRC on
// TCP, so Crc damages the transaction id instead; Station answers as unit + 1.
std::vector<std::uint8_t> spoilTcpAnswer(Fault fault, std::vector<std::uint8_t> answer, FaultPlan& plan);

}  // namespace simcore
