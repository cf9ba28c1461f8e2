#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

namespace {

// The light asked of a channel, in units of one step of an 8-bit channel at one step of the
// field, times 65535: v * 31 * 255. The 8-bit form at brightness 31 shows c * 31 * 65535 of it.
constexpr std::uint32_t kFull = 31 * 255;

struct Choice {
  std::uint8_t field;
  std::array<std::uint8_t, 3> channels;
};

// The field and channels of one LED, by trying every field: exact integers throughout
// (v * kFull < 2^29, and c * f * 65535 < 2^29 too).
Choice Solve(const std::array<std::uint16_t, 3>& v) noexcept {
  Choice best{31, {0, 0, 0}};
  std::uint32_t best_error = UINT32_MAX;
  for (std::uint32_t f = 31; f >= 1; --f) {
    const std::uint32_t step = 65535 * f;  // the light of one channel step at this field
    Choice choice{static_cast<std::uint8_t>(f), {}};
    std::uint32_t error = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint32_t light = v[k] * kFull;
      // light / step rounded halves up, at most 255.
      const std::uint32_t c = (2 * light + step) / (2 * step);
      const std::uint32_t shown = (c > 255 ? 255 : c) * step;
      const std::uint32_t off = shown > light ? shown - light : light - shown;
      error = off > error ? off : error;
      choice.channels[k] = static_cast<std::uint8_t>(c > 255 ? 255 : c);
    }
    // Fields are tried from the largest down, so among equal errors the largest stays.
    if (error < best_error) {
      best = choice;
      best_error = error;
    }
  }
  return best;
}

}  // namespace

std::size_t EncodeApa102Frame(std::span<const Rgb16> leds, ColorOrder order,
                              std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Apa102FrameSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  std::uint8_t* o = out.data();
  std::memset(o, 0, 4);  // the start frame
  o += 4;
  for (const Rgb16& led : leds) {
    const std::array<std::uint16_t, 3> rgb{led.r, led.g, led.b};
    const Choice choice = Solve({rgb[channels[0]], rgb[channels[1]], rgb[channels[2]]});
    o[0] = static_cast<std::uint8_t>(0xE0 | choice.field);
    o[1] = choice.channels[0];
    o[2] = choice.channels[1];
    o[3] = choice.channels[2];
    o += 4;
  }
  std::memset(o, 0, size - 4 - 4 * leds.size());  // the end frame, as the 8-bit form's
  return size;
}

}  // namespace ledcolor
