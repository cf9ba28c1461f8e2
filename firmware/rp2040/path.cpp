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

}  // namespace

std::size_t RunPath(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
                    std::span<std::uint8_t> colours, std::span<ledcolor::Rgbw> work,
                    std::span<std::uint8_t> out) {
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
    if (gamma != nullptr) {
      ledcolor::ApplyTable(rgb, *gamma);
    }
    Limit(options, rgb, ledcolor::Rgb{b.r, b.g, b.b});
    return options.strip == Strip::kApa102
               ? ledcolor::EncodeApa102Frame(rgb, options.order, 31, out)
               : ledcolor::EncodeWs2812Bytes(rgb, options.order, out);
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

}  // namespace firmware
