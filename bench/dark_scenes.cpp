// Dark scenes: a slow fade from black to 2 % of full light in 1000 steps, even to the eye (gamma
// 2.2: step t asks the light 0.02 * (t / 999)^2.2), shown each way a controller can, and beside it
// what the controllers people use do. For each: how many distinct light levels the 1000 steps show,
// and the largest error in light, in thousandths of the fade's top (one 8-bit step, 1/255 of full
// light, is 196 of them).
//
//   dark_scenes
//
// The peers are written here from their descriptions, not their code: 8-bit values times 257 sent
// to 16-bit chips, and an 8-frame pattern dither with 3 extra bits (the frame counter's 3 bits
// reversed and scaled, added before the scale, the offset mirrored between neighbouring pixels).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <span>

#include "ledcolor/ledcolor.h"

namespace {

constexpr int kSteps = 1000;
constexpr double kTop = 0.02;

double Asked(int t) { return kTop * std::pow(t / (kSteps - 1.0), 2.2); }

// The level a linear 16-bit source holds for a light: what a controller's own fade, or the 16-bit
// gamma table, gives.
std::uint16_t Level16(double light) { return static_cast<std::uint16_t>(65535 * light + 0.5); }
std::uint8_t Level8(double light) { return static_cast<std::uint8_t>(255 * light + 0.5); }

// Each way, the light shown for the light asked (for dithers, the mean over their period).
double Ours8(double light) { return Level8(light) / 255.0; }
double Ours16(double light) { return Level16(light) / 65535.0; }

double OursApa102(double light) {
  const std::array<ledcolor::Rgb16, 1> led{{{Level16(light), 0, 0}}};
  std::array<std::uint8_t, 13> frame{};
  if (ledcolor::EncodeApa102Frame(led, ledcolor::ColorOrder::kRgb, frame) != frame.size()) {
    return -1;
  }
  return (frame[4] & 0x1F) * frame[5] / (31.0 * 255.0);
}

double OursDither(double light) {
  ledcolor::TemporalDither dither(4);
  const std::array<ledcolor::Rgb16, 1> led{{{Level16(light), 0, 0}}};
  double sum = 0;
  for (int f = 0; f < 16; ++f) {
    std::array<ledcolor::Rgb, 1> out{};
    if (dither.Next(led, out) != 1) {
      return -1;
    }
    sum += out[0].r;
  }
  return sum / 16 / 255.0;
}

double PeerTimes257(double light) { return Level8(light) * 257 / 65535.0; }

// The 8-frame pattern: the frame counter's three bits reversed, scaled to eighths of an output
// step (32 of 256), added to the 16-bit level before it is scaled to 8 bits; the next pixel takes
// the mirrored offset. The mean over the 8 frames of pixel 0.
double PeerPatternDither(double light) {
  const std::uint32_t level = Level16(light);
  double sum = 0;
  for (std::uint32_t frame = 0; frame < 8; ++frame) {
    const std::uint32_t reversed = ((frame & 1) << 2) | (frame & 2) | ((frame >> 2) & 1);
    const std::uint32_t offset = reversed * 32;
    sum += std::min<std::uint32_t>((level + offset) >> 8, 255);
  }
  return sum / 8 / 255.0;
}

}  // namespace

int main() {
  const struct {
    const char* way;
    std::function<double(double)> show;
  } ways[] = {
      {"8-bit chips (WS2812, today's path)", Ours8},
      {"16-bit chips (WS2816, UCS8903), 16 bits from the gamma", Ours16},
      {"APA102 with its 5-bit field solved exactly", OursApa102},
      {"TemporalDither, 4 bits, on 8-bit chips (mean of 16 frames)", OursDither},
      {"peer: 8-bit values times 257 to 16-bit chips", PeerTimes257},
      {"peer: 8-frame pattern dither, 3 bits (mean of 8 frames)", PeerPatternDither},
  };
  std::printf(
      "| way | distinct light levels of %d steps | largest error, thousandths of the fade's "
      "top |\n|---|---|---|\n",
      kSteps);
  int status = 0;
  for (const auto& [way, show] : ways) {
    std::set<double> shown;
    double worst = 0;
    for (int t = 0; t < kSteps; ++t) {
      const double light = show(Asked(t));
      status |= light < 0 ? 1 : 0;
      shown.insert(light);
      worst = std::max(worst, std::abs(light - Asked(t)));
    }
    std::printf("| %s | %zu | %.2f |\n", way, shown.size(), 1000 * worst / kTop);
  }
  return status;
}
