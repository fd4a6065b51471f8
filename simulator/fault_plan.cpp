#include "simulator/fault_plan.h"

#include "simulator/crc16.h"

namespace simcore {

constexpr std::uint8_t kLastStation = 247;

std::string_view faultName(Fault fault) {
  switch (fault) {
    case Fault::None: return "none";
    case Fault::Drop: return "drop";
    case Fault::Crc: return "crc";
    case Fault::Station: return "station";
    case Fault::Late: return "late";
    case Fault::Garbage: return "garbage";
    case Fault::Truncate: return "truncate";
  }
  return "none";
}

std::optional<std::vector<Fault>> parseFaults(std::string_view list) {
  constexpr Fault kAll[] = {Fault::Drop, Fault::Crc, Fault::Station, Fault::Late, Fault::Garbage, Fault::Truncate};
  std::vector<Fault> kinds;
  while (true) {
    const auto comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    bool known = false;
    for (Fault kind : kAll)
      if (word == faultName(kind)) {
        kinds.push_back(kind);
        known = true;
      }
    if (!known) return std::nullopt;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return kinds;
}

FaultPlan FaultPlan::everyNth(std::vector<Fault> kinds, unsigned every) {
  FaultPlan plan;
  plan.kinds_ = std::move(kinds);
  plan.every_ = every;
  return plan;
}

FaultPlan FaultPlan::random(std::vector<Fault> kinds, double probability, std::uint64_t seed) {
  FaultPlan plan;
  plan.kinds_ = std::move(kinds);
  plan.probability_ = probability;
  plan.random_.seed(seed);
  return plan;
}

// Drawn from the raw engine output so a seed gives the same run on any library.
double FaultPlan::uniform() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }

Fault FaultPlan::next() {
  if (kinds_.empty()) return Fault::None;
  if (every_ > 0) {
    if (++count_ % every_ != 0) return Fault::None;
    return kinds_[turn_++ % kinds_.size()];
  }
  if (uniform() >= probability_) return Fault::None;
  return kinds_[random_() % kinds_.size()];
}

std::vector<std::uint8_t> FaultPlan::garbage() {
  std::vector<std::uint8_t> bytes(3 + random_() % 4);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random_());
  return bytes;
}

std::vector<std::uint8_t> rtuFrame(std::uint8_t station, const std::vector<std::uint8_t>& pdu) {
  std::vector<std::uint8_t> frame;
  frame.reserve(pdu.size() + 3);
  frame.push_back(station);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  const std::uint16_t crc = crc16(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

std::vector<std::uint8_t> spoilRtuAnswer(Fault fault, std::vector<std::uint8_t> answer, FaultPlan& plan) {
  switch (fault) {
    case Fault::None:
    case Fault::Late:
      return answer;
    case Fault::Drop:
      return {};
    case Fault::Crc:
      answer.back() ^= 0x5A;
      return answer;
    case Fault::Station: {
      const auto other = static_cast<std::uint8_t>(answer[0] % kLastStation + 1);
      return rtuFrame(other, {answer.begin() + 1, answer.end() - 2});
    }
    case Fault::Garbage:
      return plan.garbage();
    case Fault::Truncate:
      answer.resize(answer.size() / 2);
      return answer;
  }
  return answer;
}


std::vector<std::uint8_t> spoilTcpAnswer(Fault fault, std::vector<std::uint8_t> answer, FaultPlan& plan) {
  constexpr std::size_t kUnitAt = 6;
  switch (fault) {
    case Fault::None:
    case Fault::Late:
      return answer;
    case Fault::Drop:
      return {};
    case Fault::Crc:
      answer[0] ^= 0x5A;
      return answer;
    case Fault::Station:
      answer[kUnitAt] = static_cast<std::uint8_t>(answer[kUnitAt] % kLastStation + 1);
      return answer;
    case Fault::Garbage:
      return plan.garbage();
    case Fault::Truncate:
      answer.resize(answer.size() / 2);
      return answer;
  }
  return answer;
}

}  // namespace simcore
