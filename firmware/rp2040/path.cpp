#include "firmware/rp2040/path.h"

#include <algorithm>
#include <cstring>

namespace firmware {

namespace {

ledcolor::PowerModel Model(const Options& options) {
  ledcolor::PowerModel model = ledcolor::kWs2812bPowerModel;
  model.white_ua = options.white_ma * 1000;
  return model;
}

template <typename Led, typename Ceiling>
void Limit(const Options& options, std::span<Led> row, Ceiling balance) {
  ledcolor::ApplyCeiling(row, balance);
  if (options.budget_ma != 0) {
    const std::uint8_t ceiling = ledcolor::CeilingForBudget(
        std::span<const Led>(row), Model(options), std::uint64_t{options.budget_ma} * 1000);
    if (ceiling != 255) {
      ledcolor::ApplyCeiling(row, ceiling);
    }
  }
}

// The 16-bit path of a WS2816: gamma into 16 bits in `out`, the balance and budget there, and the
// chips' bytes in place, high byte first.
std::size_t RunPath16(const Options& options, const ledcolor::WordTable& gamma16,
                      std::span<const ledcolor::Rgb> rgb, std::span<std::uint8_t> out) {
  const std::size_t n = rgb.size();
  if (out.size() < 6 * n || reinterpret_cast<std::uintptr_t>(out.data()) % 2 != 0) {
    return 0;
  }
  const std::span<ledcolor::Rgb16> row(reinterpret_cast<ledcolor::Rgb16*>(out.data()), n);
  if (ledcolor::ApplyTable(rgb, gamma16, row) != n) {
    return 0;
  }
  const auto& b = options.balance;
  const auto wide = [](std::uint8_t v) { return static_cast<std::uint16_t>(v * 257); };
  ledcolor::ApplyCeiling(row, ledcolor::Rgb16{wide(b.r), wide(b.g), wide(b.b)});
  if (options.budget_ma != 0) {
    const std::uint16_t ceiling =
        ledcolor::CeilingForBudget(std::span<const ledcolor::Rgb16>(row), Model(options),
                                   std::uint64_t{options.budget_ma} * 1000);
    if (ceiling != 65535) {
      ledcolor::ApplyCeiling(row, ceiling);
    }
  }
  return ledcolor::EncodeWs2812Bytes(std::span<const ledcolor::Rgb16>(row), options.order, out);
}

}  // namespace

std::size_t RunPath(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
                    std::span<std::uint8_t> colours, std::span<ledcolor::Rgbw> work,
                    std::span<std::uint8_t> out, const ledcolor::WordTable* gamma16) {
  const std::size_t n = frame.leds;
  if (n == 0 || n > options.max_leds || colours.size() < (frame.rgbw ? 4 : 3) * n ||
      work.size() < n) {
    return 0;
  }
  const std::span<ledcolor::Rgb> rgb(reinterpret_cast<ledcolor::Rgb*>(colours.data()), n);
  const std::span<ledcolor::Rgbw> rgbw_in(reinterpret_cast<ledcolor::Rgbw*>(colours.data()), n);
  const auto& b = options.balance;
  if (options.strip != Strip::kSk6812) {
    if (frame.rgbw) {
      // An RGB strip shows an "AWa" frame's red, green and blue; its white is dropped. In place:
      // LED i's three bytes go to 3 i, never ahead of LED i's own four at 4 i.
      for (std::size_t i = 0; i < n; ++i) {
        const ledcolor::Rgbw c = rgbw_in[i];
        rgb[i] = {c.r, c.g, c.b};
      }
    }
    if (options.strip == Strip::kWs2816) {
      return gamma16 != nullptr ? RunPath16(options, *gamma16, rgb, out) : 0;
    }
    if (gamma != nullptr) {
      ledcolor::ApplyTable(rgb, *gamma);
    }
    Limit(options, rgb, ledcolor::Rgb{b.r, b.g, b.b});
    switch (options.strip) {
      case Strip::kApa102:
        return ledcolor::EncodeApa102Frame(rgb, options.order, 31, out);
      case Strip::kWs2801:
        return ledcolor::EncodeWs2801Frame(rgb, options.order, out);
      case Strip::kLpd8806:
        return ledcolor::EncodeLpd8806Frame(rgb, options.order, out);
      case Strip::kP9813:
        return ledcolor::EncodeP9813Frame(rgb, out);
      default:
        return ledcolor::EncodeWs2812Bytes(rgb, options.order, out);
    }
  }
  const std::span<ledcolor::Rgbw> row = work.first(n);
  if (frame.rgbw) {
    std::memcpy(row.data(), rgbw_in.data(), 4 * n);  // the host made the white channel
    if (gamma != nullptr) {
      ledcolor::ApplyTable(row, *gamma);
    }
  } else {
    if (gamma != nullptr) {
      ledcolor::ApplyTable(rgb, *gamma);
    }
    const std::size_t made =
        options.white_rule == WhiteRule::kHosts
            ? ledcolor::ToRgbw(rgb, frame.calibration.value_or(ledcolor::kDefaultWhiteCalibration),
                               row)
            : ledcolor::ExtractWhite(rgb, options.white_point, row);
    if (made != n) {
      return 0;
    }
  }
  Limit(options, row, b);
  return ledcolor::EncodeWs2812Bytes(row, options.order, options.white_position, out);
}

Segments SplitFrame(const Options& options, std::size_t leds) {
  Segments split;
  const std::size_t outputs = options.outputs >= 1 && options.outputs <= 8 ? options.outputs : 1;
  std::size_t at = 0;
  for (std::size_t k = 0; k < outputs; ++k) {
    const std::size_t fixed = options.segments[k];
    const std::size_t want =
        options.segments[0] != 0 ? fixed : leds / outputs + (k < leds % outputs);
    split.first[k] = at;
    split.count[k] = std::min(want, leds - at);
    split.slots = std::max(split.slots, want);
    at += split.count[k];
  }
  return split;
}

void LayOutParallel(const Options& options, const Segments& segments,
                    std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to,
                    std::span<std::uint32_t> words) {
  const std::size_t per = options.LedBytes();
  to = std::min({to, segments.slots, words.size() / (2 * per)});
  for (std::size_t slot = from; slot < to; ++slot) {
    // Each output's LED in this slot, or none (dark) past its segment.
    std::array<const std::uint8_t*, 8> led{};
    for (std::size_t k = 0; k < led.size(); ++k) {
      const std::size_t at = (segments.first[k] + slot) * per;
      led[k] = slot < segments.count[k] && at + per <= bytes.size() ? bytes.data() + at : nullptr;
    }
    std::uint32_t* out = words.data() + 2 * per * slot;
    for (std::size_t j = 0; j < per; ++j) {
      const auto byte = [&](std::size_t k) -> std::uint32_t {
        return led[k] != nullptr ? led[k][j] : 0;
      };
      // The 8 x 8 bit matrix of the outputs' bytes (output 7 the top row, each row's high bit
      // first), transposed: its rows become the bit periods, high bit first, output k at bit k.
      std::uint32_t x = byte(7) << 24 | byte(6) << 16 | byte(5) << 8 | byte(4);
      std::uint32_t y = byte(3) << 24 | byte(2) << 16 | byte(1) << 8 | byte(0);
      std::uint32_t t = (x ^ (x >> 7)) & 0x00AA00AAU;
      x = x ^ t ^ (t << 7);
      t = (y ^ (y >> 7)) & 0x00AA00AAU;
      y = y ^ t ^ (t << 7);
      t = (x ^ (x >> 14)) & 0x0000CCCCU;
      x = x ^ t ^ (t << 14);
      t = (y ^ (y >> 14)) & 0x0000CCCCU;
      y = y ^ t ^ (t << 14);
      t = (x & 0xF0F0F0F0U) | ((y >> 4) & 0x0F0F0F0FU);
      y = ((x << 4) & 0xF0F0F0F0U) | (y & 0x0F0F0F0FU);
      *out++ = t;
      *out++ = y;
    }
  }
}

}  // namespace firmware
