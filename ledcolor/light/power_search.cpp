#include <cstddef>
#include <cstdint>

#include "ledcolor/light/power_sums.h"

namespace ledcolor::power {

// Bit by bit: a 64-bit division would bring in libgcc's, the largest routine a 32-bit firmware's
// path would link. Not inlined: one copy serves both bounds.
[[gnu::noinline]] unsigned Quotient(std::uint64_t x, std::uint64_t d) noexcept {
  unsigned q = 0;
  for (unsigned bit = 128; bit != 0; bit >>= 1) {
    if ((q | bit) * d <= x) {
      q |= bit;
    }
  }
  return q;
}

template <std::size_t kChannels>
std::uint8_t CeilingFor(const Row<kChannels>& row, const PowerModel& model,
                        std::uint64_t budget_ua) noexcept {
  if (!InDomain(row, model)) {
    return 0;
  }
  const std::uint64_t idle = row.leds * std::uint64_t{model.idle_ua};
  if (idle > budget_ua) {
    return 0;
  }
  // At ceiling c the channels draw ceil(S(c) / 255) microamps, where S(c) is the weighted sum of
  // the dimmed components; that fits what is left of the budget exactly when S(c) <= 255 * left.
  const std::uint64_t left = budget_ua - idle;
  const std::uint8_t undimmed = 255;
  std::uint64_t full = 0;
  ScaledCurrents(row, model, {&undimmed, 1}, {&full, 1});
  // full is at most 4 * 255 * 2^24 * 10^6 within the domain, below 255 * 2^46, so any left of 2^46
  // or more fits it, and 255 * left cannot overflow below that.
  if (left >= std::uint64_t{1} << 46 || full <= 255 * left) {
    return 255;
  }
  const std::uint64_t limit = 255 * left;

  // Each dimmed component v * c / 255 loses less than one to rounding down, so
  // c * full / 255 - 254/255 * N * (the channels' currents) <= S(c) <= c * full / 255. The largest
  // c whose upper bound fits surely fits (lo); the smallest whose lower bound does not surely does
  // not (hi; 255 does not). Exact passes settle the few ceilings between them, typically two or
  // three on a bright row and a dozen on a dark one.
  const std::uint64_t per_led = std::uint64_t{model.red_ua} + model.green_ua + model.blue_ua +
                                (kChannels == 4 ? model.white_ua : 0);
  unsigned lo = Quotient(255 * limit + 254, full);  // below 255: full > limit here
  unsigned hi = Quotient(255 * limit + 254 * row.leds * per_led, full) + 1;
  hi = hi < 255 ? hi : 255;
  // With vectors, a pass tries two ceilings for little more than one, splitting the gap in three;
  // else a pass tries one and halves it.
  constexpr std::size_t kPerPass = kVectorSums ? 2 : 1;
  while (hi - lo > 1) {
    const unsigned gap = hi - lo;
    std::size_t count = 1;
    std::uint8_t tried[2] = {static_cast<std::uint8_t>(lo + gap / 2), 0};  // NOLINT(*-c-arrays)
    if constexpr (kPerPass == 2) {
      if (gap > 2) {  // with one ceiling open, one is enough
        count = 2;
        tried[0] = static_cast<std::uint8_t>(lo + (gap + 1) / 3);
        tried[1] = static_cast<std::uint8_t>(lo + 2 * gap / 3);
      }
    }
    std::uint64_t currents[2];  // NOLINT(*-c-arrays, cppcoreguidelines-pro-type-member-init)
    ScaledCurrents(row, model, {tried, count}, {currents, count});
    for (std::size_t k = count; k-- > 0;) {
      if (currents[k] <= limit) {
        lo = tried[k];
        break;
      }
      hi = tried[k];
    }
  }
  return static_cast<std::uint8_t>(lo);
}

template std::uint8_t CeilingFor(const Row<3>&, const PowerModel&, std::uint64_t) noexcept;
template std::uint8_t CeilingFor(const Row<4>&, const PowerModel&, std::uint64_t) noexcept;

}  // namespace ledcolor::power
