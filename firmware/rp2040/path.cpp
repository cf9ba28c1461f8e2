#include "firmware/rp2040/path.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace firmware {

ledcolor::PowerModel Model(const Options& options) {
  ledcolor::PowerModel model = ledcolor::kWs2812bPowerModel;
  model.white_ua = options.white_ma * 1000;
  return model;
}

namespace {

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

template <typename Led>
std::span<Led> LedsOf(std::span<std::uint8_t> bytes, std::size_t from, std::size_t to) {
  return {reinterpret_cast<Led*>(bytes.data()) + from, to - from};
}
template <typename Led>
std::span<const Led> LedsOf(std::span<const std::uint8_t> bytes, std::size_t leds) {
  return {reinterpret_cast<const Led*>(bytes.data()), leds};
}

}  // namespace

void Shape(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
           std::span<const std::uint8_t> in, std::size_t from, std::size_t to,
           std::span<std::uint8_t> row) {
  const std::size_t per_in = frame.rgbw ? 4 : 3;
  if (from >= to || in.size() < per_in * to || row.size() < options.Channels() * to) {
    return;
  }
  const std::uint8_t* at = in.data() + per_in * from;
  const auto& b = options.balance;
  if (options.strip != Strip::kSk6812) {
    const std::span<ledcolor::Rgb> rgb = LedsOf<ledcolor::Rgb>(row, from, to);
    if (frame.rgbw) {
      // An RGB strip shows an "AWa" frame's red, green and blue; its white is dropped.
      for (ledcolor::Rgb& c : rgb) {
        c = {at[0], at[1], at[2]};
        at += 4;
      }
    } else {
      std::memcpy(rgb.data(), at, 3 * rgb.size());
    }
    if (gamma != nullptr) {
      ledcolor::ApplyTable(rgb, *gamma);
    }
    if ((b.r & b.g & b.b) != 255) {  // a balance of 255 changes nothing
      ledcolor::ApplyCeiling(rgb, ledcolor::Rgb{b.r, b.g, b.b});
    }
    return;
  }
  const std::span<ledcolor::Rgbw> rgbw = LedsOf<ledcolor::Rgbw>(row, from, to);
  if (frame.rgbw) {
    std::memcpy(rgbw.data(), at, 4 * rgbw.size());  // the host made the white channel
    if (gamma != nullptr) {
      ledcolor::ApplyTable(rgbw, *gamma);
    }
  } else {
    // The white channel from the gamma'd colours, made a piece at a time on the stack: the frame's
    // own bytes are the reader's and stay as they are.
    std::array<ledcolor::Rgb, 32> piece;
    for (std::size_t done = 0; done < rgbw.size(); done += piece.size()) {
      const std::size_t count = std::min(piece.size(), rgbw.size() - done);
      const std::span<ledcolor::Rgb> rgb = std::span(piece).first(count);
      std::memcpy(rgb.data(), at + 3 * done, 3 * count);
      if (gamma != nullptr) {
        ledcolor::ApplyTable(rgb, *gamma);
      }
      const std::span<ledcolor::Rgbw> white = rgbw.subspan(done, count);
      if (options.white_rule == WhiteRule::kHosts) {
        (void)ledcolor::ToRgbw(rgb, frame.calibration.value_or(ledcolor::kDefaultWhiteCalibration),
                               white);
      } else {
        (void)ledcolor::ExtractWhite(rgb, options.white_point, white);
      }
    }
  }
  if ((b.r & b.g & b.b & b.w) != 255) {
    ledcolor::ApplyCeiling(rgbw, b);
  }
}

void Dim(const Options& options, std::span<std::uint8_t> row, std::size_t leds,
         std::uint8_t ceiling) {
  if (ceiling == 255 || row.size() < options.Channels() * leds) {
    return;
  }
  if (options.strip == Strip::kSk6812) {
    ledcolor::ApplyCeiling(LedsOf<ledcolor::Rgbw>(row, 0, leds), ceiling);
  } else {
    ledcolor::ApplyCeiling(LedsOf<ledcolor::Rgb>(row, 0, leds), ceiling);
  }
}

std::size_t Encode(const Options& options, std::span<const std::uint8_t> row, std::size_t leds,
                   std::span<std::uint8_t> out) {
  if (row.size() < options.Channels() * leds) {
    return 0;
  }
  if (options.strip == Strip::kSk6812) {
    return ledcolor::EncodeWs2812Bytes(LedsOf<ledcolor::Rgbw>(row, leds), options.order,
                                       options.white_position, out);
  }
  const std::span<const ledcolor::Rgb> rgb = LedsOf<ledcolor::Rgb>(row, leds);
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

void PackWords(const Options& options, std::span<const std::uint8_t> bytes, std::size_t from,
               std::size_t to, std::span<std::uint32_t> words) {
  const std::size_t per = options.Channels();
  to = std::min({to, bytes.size() / per, words.size()});
  for (std::size_t i = from; i < to; ++i) {
    const std::uint8_t* b = bytes.data() + per * i;
    const std::uint32_t word =
        std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8;
    words[i] = per == 4 ? word | b[3] : word;
  }
}

std::size_t RunPath(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
                    std::span<std::uint8_t> colours, std::span<ledcolor::Rgbw> work,
                    std::span<std::uint8_t> out, const ledcolor::WordTable* gamma16) {
  const std::size_t n = frame.leds;
  if (n == 0 || n > options.max_leds || colours.size() < (frame.rgbw ? 4 : 3) * n ||
      work.size() < n) {
    return 0;
  }
  if (options.strip == Strip::kWs2816) {
    const std::span<ledcolor::Rgb> rgb(reinterpret_cast<ledcolor::Rgb*>(colours.data()), n);
    if (frame.rgbw) {
      // In place: LED i's three bytes go to 3 i, never ahead of LED i's own four at 4 i.
      const auto* rgbw_in = reinterpret_cast<const ledcolor::Rgbw*>(colours.data());
      for (std::size_t i = 0; i < n; ++i) {
        const ledcolor::Rgbw c = rgbw_in[i];
        rgb[i] = {c.r, c.g, c.b};
      }
    }
    return gamma16 != nullptr ? RunPath16(options, *gamma16, rgb, out) : 0;
  }
  const std::span<std::uint8_t> row(reinterpret_cast<std::uint8_t*>(work.data()), 4 * n);
  Shape(options, gamma, frame, colours, 0, n, row);
  if (options.budget_ma != 0) {
    const std::uint64_t budget = std::uint64_t{options.budget_ma} * 1000;
    const std::span<const std::uint8_t> shaped = row;
    Dim(options, row, n,
        options.strip == Strip::kSk6812
            ? ledcolor::CeilingForBudget(LedsOf<ledcolor::Rgbw>(shaped, n), Model(options), budget)
            : ledcolor::CeilingForBudget(LedsOf<ledcolor::Rgb>(shaped, n), Model(options), budget));
  }
  return Encode(options, row, n, out);
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
