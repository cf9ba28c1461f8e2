#include "firmware/rp2040/option_block.h"

#include <algorithm>

namespace firmware {

namespace {

std::uint32_t Get(const std::uint8_t* at, std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t k = bytes; k-- > 0;) {
    value = value << 8 | at[k];
  }
  return value;
}

constexpr bool ValidPin(std::uint32_t pin) {
  return pin >= 2 && pin <= 29 && pin != 18 && pin != 19;
}

}  // namespace

ReadResult ReadBlock(std::span<const std::uint8_t> bytes, std::uint32_t magic,
                     std::uint16_t capacity) {
  ReadResult result;
  const bool record = magic == kRecordMagic;
  if (bytes.size() < (record ? kRecordBytes : kBlockBytes) || Get(bytes.data(), 4) != magic) {
    return result;
  }
  result.fault = BlockFault::kDamaged;
  const std::uint8_t* p = bytes.data() + 12;
  if (Get(bytes.data() + 4, 2) != kBlockVersion) {
    result.fault = BlockFault::kVersion;
    return result;
  }
  if (Get(bytes.data() + 6, 2) != kPayloadBytes ||
      Get(bytes.data() + 8, 4) != block::Crc32({p, kPayloadBytes})) {
    return result;
  }
  if (record) {
    capacity = static_cast<std::uint16_t>(Get(bytes.data() + kBlockBytes, 2));
    result.capacity = capacity;
  }
  Settings s;
  Options& o = s.options;
  result.fault = BlockFault::kOutOfRange;
  if (p[0] > static_cast<std::uint8_t>(Strip::kWs2816) || p[1] > 5 || p[2] > 1 || p[3] > 1 ||
      p[4] > 3) {
    return result;
  }
  o.strip = static_cast<Strip>(p[0]);
  o.order = static_cast<ledcolor::ColorOrder>(p[1]);
  o.format = static_cast<ledcolor::AdalightFormat>(p[2]);
  o.white_rule = static_cast<WhiteRule>(p[3]);
  o.white_position = static_cast<ledcolor::WhitePosition>(p[4]);
  o.outputs = p[5];
  o.status_pin = p[6] == 0xFF ? -1 : p[6];
  o.data_pin = p[7];
  o.baud = Get(p + 8, 4);
  o.budget_ma = Get(p + 12, 4);
  o.white_ma = Get(p + 16, 4);
  o.idle_ms = Get(p + 20, 4);
  o.spi_hz = Get(p + 24, 4);
  s.gamma_milli = Get(p + 28, 4);
  o.max_leds = Get(p + 32, 2);
  for (std::size_t k = 0; k < o.segments.size(); ++k) {
    o.segments[k] = static_cast<std::uint16_t>(Get(p + 34 + 2 * k, 2));
  }
  o.white_point = {p[50], p[51], p[52]};
  o.balance = {p[53], p[54], p[55], p[56]};
  std::copy(p + 60, p + 316, s.gamma.begin());
  for (std::size_t v = 0; v < s.gamma16.size(); ++v) {
    s.gamma16[v] = static_cast<std::uint16_t>(Get(p + 316 + 2 * v, 2));
  }
  o.strip_name = kStripNames[p[0]];
  if (Check(o, capacity, 0).kind != Problem::Kind::kNone) {
    return result;
  }
  result.settings = s;
  result.fault = BlockFault::kNone;
  return result;
}

Problem Check(const Options& o, std::size_t capacity, std::size_t words) {
  using Kind = Problem::Kind;
  if (o.baud < 9600 || o.baud > 7'800'000) {
    return {Kind::kBaud, o.baud};
  }
  if (o.max_leds < 1 || o.max_leds > capacity) {
    return {Kind::kMaxLeds, static_cast<std::uint32_t>(o.max_leds),
            static_cast<std::uint32_t>(capacity)};
  }
  if (o.outputs < 1 || o.outputs > 8) {
    return {Kind::kOutputs, o.outputs};
  }
  if (o.outputs > 1 && !o.OneWire()) {
    return {Kind::kOutputsSpi, o.outputs};
  }
  for (std::uint32_t k = 0; k < o.outputs; ++k) {
    const std::uint32_t pin = o.data_pin + k;
    if (!ValidPin(pin)) {
      return {Kind::kPin, pin, o.data_pin, o.outputs};
    }
    if (static_cast<std::int32_t>(pin) == o.status_pin) {
      return {Kind::kPinIsStatus, pin, o.data_pin, o.outputs};
    }
  }
  if (o.status_pin >= 0 && !ValidPin(static_cast<std::uint32_t>(o.status_pin))) {
    return {Kind::kStatusPin, static_cast<std::uint32_t>(o.status_pin)};
  }
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < o.segments.size(); ++k) {
    const bool want = o.segments[0] != 0 && k < o.outputs;
    if ((o.segments[k] != 0) != want || (o.segments[0] != 0 && o.outputs == 1)) {
      return {Kind::kSegments};
    }
    sum += o.segments[k];
  }
  if (sum > o.max_leds) {
    return {Kind::kSegmentsSum, sum, static_cast<std::uint32_t>(o.max_leds)};
  }
  if (words != 0 && WordsNeeded(o) > words) {
    return {Kind::kWords, static_cast<std::uint32_t>(WordsNeeded(o)),
            static_cast<std::uint32_t>(words)};
  }
  return {};
}

}  // namespace firmware
