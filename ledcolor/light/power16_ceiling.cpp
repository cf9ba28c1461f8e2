#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/power16.h"

namespace ledcolor {

namespace word {

namespace {

template <std::size_t kChannels>
std::uint16_t Search(const std::uint8_t* bytes, std::size_t leds, const PowerModel& model,
                     std::uint64_t budget_ua) noexcept {
  if (!InDomain<kChannels>(leds, model)) {
    return 0;
  }
  const std::uint64_t weighed = Weighed(ChannelSums<kChannels>(bytes, leds, 65535), model);
  const std::uint64_t idle = leds * std::uint64_t{model.idle_ua};
  if (idle + weighed / 65535 + (weighed % 65535 != 0 ? 1 : 0) <= budget_ua) {
    return 65535;
  }
  if (idle > budget_ua) {
    return 0;
  }
  // The dimmed row fits when its weighed sum W(c) is at most `most`. Each dimmed level loses less
  // than 1 to rounding, so c * weighed / 65535 - (the weights of every level) < W(c) <=
  // c * weighed / 65535: the undimmed sum bounds the answer, and a few exact passes settle it.
  // budget < the row's current here, so `most` stays below weighed + 65535.
  const std::uint64_t most = 65535 * (budget_ua - idle);
  Sums<kChannels> ones{};
  ones.fill(leds);
  const std::uint64_t all_weights = Weighed(ones, model);
  // floor(c * weighed / 65535), without overflow: weighed = 65535 q + r.
  const std::uint64_t q = weighed / 65535;
  const auto r = static_cast<std::uint32_t>(weighed % 65535);
  const auto bound = [&](std::uint32_t c) { return c * q + Dim(c, r); };
  // The largest c whose bound is within `most` fits; from the smallest whose bound reaches
  // most + all_weights on, none does.
  std::uint32_t fits = 0;
  for (std::uint32_t step = 32768; step != 0; step >>= 1) {
    if (fits + step < 65536 && bound(fits + step) <= most) {
      fits += step;
    }
  }
  std::uint32_t below = 0;  // the largest c whose bound stays under most + all_weights
  for (std::uint32_t step = 32768; step != 0; step >>= 1) {
    if (below + step < 65536 && bound(below + step) < most + all_weights) {
      below += step;
    }
  }
  std::uint32_t fails = below + 1;
  while (fails - fits > 1) {
    const std::uint32_t mid = fits + (fails - fits) / 2;
    const auto c = static_cast<std::uint16_t>(mid);
    if (Weighed(ChannelSums<kChannels>(bytes, leds, c), model) <= most) {
      fits = mid;
    } else {
      fails = mid;
    }
  }
  return static_cast<std::uint16_t>(fits);
}

}  // namespace

}  // namespace word

std::uint16_t CeilingForBudget(std::span<const Rgb16> leds, const PowerModel& model,
                               std::uint64_t budget_ua) noexcept {
  return word::Search<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model,
                         budget_ua);
}

std::uint16_t CeilingForBudget(std::span<const Rgbw16> leds, const PowerModel& model,
                               std::uint64_t budget_ua) noexcept {
  return word::Search<4>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model,
                         budget_ua);
}

}  // namespace ledcolor
