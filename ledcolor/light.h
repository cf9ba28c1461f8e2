// The light: shaping the values the LEDs are driven with.
//
// A controller runs these on every frame, in this order: the gamma table (perceptual values into
// linear duty); for an RGBW strip, the white channel taken from the colours; the white balance (a
// ceiling per channel); then the power ceiling that keeps the strip within its supply, taken on
// the values the LEDs will really be driven with. Each works on RGB rows and on RGBW rows alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ledcolor/color.h"

namespace ledcolor {

// --- Tables: a map of one byte, such as the gamma curve -----------------------------------------

// A value-to-value map of one byte, applied to every component of a row by ApplyTable.
using ByteTable = std::array<std::uint8_t, 256>;

namespace detail {

// ln(x) for 0 < x <= 1, in a constant expression: x = m * 2^e with m near 1, and
// ln(m) = 2 atanh((m - 1) / (m + 1)), whose series gains four decimal digits a term there.
constexpr double Log(double x) noexcept {
  constexpr double kLn2 = 0.69314718055994530942;
  int e = 0;
  while (x < 0.70710678118654752440) {  // powers of two scale a double exactly
    x *= 2;
    --e;
  }
  const double s = (x - 1) / (x + 1);
  const double s2 = s * s;
  double sum = 0;
  for (int k = 41; k >= 1; k -= 2) {  // from the smallest term up, for the fewest rounding errors
    sum = sum * s2 + 1.0 / k;
  }
  return 2 * s * sum + e * kLn2;
}

// e^y for -60 < y <= 0, in a constant expression: y = k ln 2 + r with |r| <= ln 2 / 2, the
// Taylor series of e^r, then k exact halvings. ln 2 is split so that k * kLn2Hi is exact.
constexpr double Exp(double y) noexcept {
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const int k = static_cast<int>(y / (kLn2Hi + kLn2Lo) - 0.5);
  const double r = (y - k * kLn2Hi) - k * kLn2Lo;
  double sum = 1;
  for (int n = 22; n >= 1; --n) {
    sum = 1 + sum * r / n;
  }
  for (int i = 0; i > k; --i) {
    sum *= 0.5;
  }
  return sum;
}

}  // namespace detail

// The gamma curve as a table: entry v is 255 * (v / 255)^gamma rounded to the nearest integer,
// halves up, so 0 stays 0 and 255 stays 255 (for gamma 2.2, entry 128 is 56). It maps the
// perceptual values a host sends to the linear duty an LED needs. A gamma outside [0.1, 10], or
// NaN, gives std::nullopt. Usable in a constant expression, so that a firmware keeps the table in
// flash and runs no floating point:
//   constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
// where a gamma out of range is a build error. Every entry equals what std::pow gives.
[[nodiscard]] constexpr std::optional<ByteTable> MakeGammaTable(double gamma) noexcept {
  if (!(gamma >= 0.1 && gamma <= 10)) {  // written so that NaN fails too
    return std::nullopt;
  }
  ByteTable table{};
  table[255] = 255;
  for (int v = 1; v < 255; ++v) {
    const double linear = detail::Exp(gamma * detail::Log(v / 255.0));
    // Halves up, by definition; std::lround would round them away from zero, and is not constexpr.
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    table[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(255 * linear + 0.5);
  }
  return table;
}

// Maps every component v of every LED of the row to table[v], in place. Any length, 0 included,
// and any address; nothing outside the row is touched.
void ApplyTable(std::span<Rgb> leds, const ByteTable& table) noexcept;
// The same on all four channels of an RGBW row, the white one included.
void ApplyTable(std::span<Rgbw> leds, const ByteTable& table) noexcept;

// --- White: an RGB row onto an RGBW strip --------------------------------------------------------
//
// Both conversions below are integer and exact, with L_k(x) = k * x / 255 rounded to the nearest
// integer, halves up: (k * x + 127) / 255 in integers. Both return N, and reject (0, nothing
// written) an empty row, an `out` shorter than it, or an `out` that overlaps it.

// How the white LED mixes in, as high-speed hosts calibrate it: `gain` scales the white channel's
// output; `red`, `green`, `blue` weigh how much of each colour the white takes over. Hosts send
// these four with every calibrated frame; kDefaultWhiteCalibration is what receivers use when the
// host sends none.
struct WhiteCalibration {
  std::uint8_t gain;
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;

  friend constexpr bool operator==(const WhiteCalibration&,
                                   const WhiteCalibration&) noexcept = default;
};
inline constexpr WhiteCalibration kDefaultWhiteCalibration{255, 160, 160, 160};

// The receivers' rule for a host's white calibration, bit for bit, so that a calibration tuned on
// the host looks the same here: w = min(L_red(r), L_green(g), L_blue(b)), and each LED becomes
// (r - L_red(w), g - L_green(w), b - L_blue(w), L_gain(w)). With the default calibration,
// (200, 150, 100) becomes (160, 110, 60, 63).
[[nodiscard]] std::size_t ToRgbw(std::span<const Rgb> in, const WhiteCalibration& calibration,
                                 std::span<Rgbw> out) noexcept;

// Colour-preserving white: `white` is the white LED's own colour measured in the strip's RGB (full
// white on W alone looks like the RGB channels at `white`). w is the largest value 0..255 with
// L_white.c(w) <= c for each channel c, and each LED becomes (r - L_white.r(w), g - L_white.g(w),
// b - L_white.b(w), w): its RGB plus the white LED's share is exactly the colour that came in,
// and the white LED carries as much of it as it can. A channel of `white` at 0 sets no limit; a
// `white` of (0, 0, 0) is rejected. Work in linear duty (after the gamma table), where light adds.
[[nodiscard]] std::size_t ExtractWhite(std::span<const Rgb> in, Rgb white,
                                       std::span<Rgbw> out) noexcept;

// --- Ceilings: scaling in proportion, v * ceiling / 255 rounded down -----------------------------

// Scales `v` into 0..ceiling in proportion, v * ceiling / 255 rounded down: 255 lands exactly on
// the ceiling, 0 stays 0, and a ceiling of 255 changes nothing. A scale, not a cut-off:
// ApplyCeiling(40, 50) is 7, not 40.
[[nodiscard]] std::uint8_t ApplyCeiling(std::uint8_t v, std::uint8_t ceiling) noexcept;

// Dims the row in place: every component of every LED becomes ApplyCeiling(component, ceiling),
// exactly. Any length, 0 included, and any address; nothing outside the row is touched.
// Runs at close to memory speed (no division; SSE2 on x86-64), so a controller can dim each frame.
void ApplyCeiling(std::span<Rgb> leds, std::uint8_t ceiling) noexcept;
// The same on all four channels of an RGBW row.
void ApplyCeiling(std::span<Rgbw> leds, std::uint8_t ceiling) noexcept;

// White balance: scales each channel by a ceiling of its own. Every component becomes exactly
// ApplyCeiling(component, ceiling.<its channel>) -- v * c / 255 rounded down -- so a channel at
// 255 is unchanged. In place, any length and address, nothing outside the row touched, at close
// to memory speed like the single-ceiling form.
void ApplyCeiling(std::span<Rgb> leds, Rgb ceiling) noexcept;
// The same on an RGBW row, with a ceiling for the white channel too.
void ApplyCeiling(std::span<Rgbw> leds, Rgbw ceiling) noexcept;

// --- Power: keeping a strip within its supply ---------------------------------------------------

// The usual linear model of a strip's current: each channel of each LED draws in proportion to
// its value, its full figure at 255, and every LED draws an idle current besides. The white
// channel comes last, so that every {red, green, blue, idle} written before it keeps its meaning.
struct PowerModel {
  std::uint32_t red_ua;  // one LED's red channel at 255, in microamps
  std::uint32_t green_ua;
  std::uint32_t blue_ua;
  std::uint32_t idle_ua;       // one LED with every channel at 0
  std::uint32_t white_ua = 0;  // one LED's white channel at 255 (RGBW rows only)
};

// The domain in which the power functions are exact and cannot overflow: every field of the model
// up to 1 A (white_ua too, for RGBW rows), rows up to 2^24 LEDs.
inline constexpr std::uint32_t kPowerModelMaxUa = 1'000'000;
inline constexpr std::size_t kPowerMaxLeds = std::size_t{1} << 24;

// A typical 5 V WS2812B-class LED: 16 mA red, 11 mA green, 15 mA blue at full scale, 1 mA idle.
// A starting point only: measure your own strip (full white on a known number of LEDs, and all
// LEDs dark) and fill in a PowerModel of its own.
inline constexpr PowerModel kWs2812bPowerModel{16'000, 11'000, 15'000, 1'000};

// The current the row draws under `model`, exactly, in microamps rounded up:
// N * idle + the sum over the LEDs of (r * red + g * green + b * blue) / 255. Take it on the values
// the LEDs are driven with -- after gamma and white balance -- not on the colours a host sent.
// An empty row draws 0; a row or model outside the domain above gives UINT64_MAX, "this cannot
// be powered".
[[nodiscard]] std::uint64_t EstimateCurrent(std::span<const Rgb> leds,
                                            const PowerModel& model) noexcept;
// The same for an RGBW row, with w * white added to each LED's sum. (RGB rows ignore white_ua.)
[[nodiscard]] std::uint64_t EstimateCurrent(std::span<const Rgbw> leds,
                                            const PowerModel& model) noexcept;

// The brightest ceiling c (0 to 255) such that the row dimmed by ApplyCeiling(leds, c) draws at
// most `budget_ua` under `model`: exact, never a microamp over the budget and never a step darker
// than needed. 255 when the row already fits (an empty row always does). 0 when even c = 0 does
// not fit (the idle current alone is over budget) or the row or model is outside the domain: the
// safe answer is always dark. A controller's last step before encoding:
//   ledcolor::ApplyCeiling(row, ledcolor::CeilingForBudget(row, model, budget_ua));
[[nodiscard]] std::uint8_t CeilingForBudget(std::span<const Rgb> leds, const PowerModel& model,
                                            std::uint64_t budget_ua) noexcept;
// The same for an RGBW row, dimmed on all four channels.
[[nodiscard]] std::uint8_t CeilingForBudget(std::span<const Rgbw> leds, const PowerModel& model,
                                            std::uint64_t budget_ua) noexcept;

// The same ceiling for a controller that shapes a frame's LEDs as they arrive, without walking the
// row after its last byte: the row's levels gathered LED by LED, each level weighted by the
// currents of the channels at it, so that finding the ceiling costs the same for any length.
struct LevelWeights {
  std::array<std::uint32_t, 256> weights{};  // level v: its components' channel currents, in uA
  std::size_t leds = 0;
  std::uint64_t full_ua = 0;  // every channel of every LED at 255 (without idle): bounds the sum
  bool rgbw = false;          // RGBW LEDs were added: the model's white figure counts
};
// Adds LEDs, as they are driven (after gamma and white balance), under `model`.
void AddLevels(std::span<const Rgb> leds, const PowerModel& model, LevelWeights& levels) noexcept;
void AddLevels(std::span<const Rgbw> leds, const PowerModel& model, LevelWeights& levels) noexcept;
// Exactly CeilingForBudget(row, model, budget_ua) for the row whose LEDs were added under the same
// model. Its domain is that function's, and the weights' 32 bits: full_ua below 2^32 (4096 LEDs
// at 1 A an LED); outside it, 0.
[[nodiscard]] std::uint8_t CeilingForBudget(const LevelWeights& levels, const PowerModel& model,
                                            std::uint64_t budget_ua) noexcept;

// --- Sixteen bits of light: the dark end ---------------------------------------------------------
//
// After a gamma of 2.2 the 8-bit values 1 to 14 all become 0, and a slow fade steps visibly. The
// forms below keep 16 bits (Rgb16, Rgbw16: 0..65535, linear drive) from the gamma table to the
// chips: 16-bit chips take them as they are (strip.h), APA102 turns them into its 5-bit current
// and 8-bit channels exactly, and TemporalDither shows them on 8-bit chips over several frames.

// A map from one byte to a 16-bit level, such as the gamma curve.
using WordTable = std::array<std::uint16_t, 256>;

// The gamma curve into 16 bits: entry v is 65535 * (v / 255)^gamma rounded to the nearest
// integer, halves up, so 0 is 0 and 255 is 65535 (for gamma 2.2, entry 1 is 0.3 and rounds to 0,
// entry 14 is 111). A gamma outside [0.1, 10], or NaN, gives std::nullopt. Usable in a constant
// expression, like MakeGammaTable; every entry equals what std::pow gives.
[[nodiscard]] constexpr std::optional<WordTable> MakeGammaTable16(double gamma) noexcept {
  if (!(gamma >= 0.1 && gamma <= 10)) {  // written so that NaN fails too
    return std::nullopt;
  }
  WordTable table{};
  table[255] = 65535;
  for (int v = 1; v < 255; ++v) {
    const double linear = detail::Exp(gamma * detail::Log(v / 255.0));
    // NOLINTNEXTLINE(bugprone-incorrect-roundings): halves up, by definition
    table[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(65535 * linear + 0.5);
  }
  return table;
}

// Maps every component c of every LED of `in` to table[c] in `out`: out[i].c = table[in[i].c].
// Returns N. An `out` shorter than the row, or one that shares any byte with it, is rejected (0,
// nothing written).
[[nodiscard]] std::size_t ApplyTable(std::span<const Rgb> in, const WordTable& table,
                                     std::span<Rgb16> out) noexcept;
[[nodiscard]] std::size_t ApplyTable(std::span<const Rgbw> in, const WordTable& table,
                                     std::span<Rgbw16> out) noexcept;

// Dims a 16-bit row in place: every component v becomes v * ceiling / 65535 rounded down, exactly,
// so 65535 changes nothing. Any length and address; nothing outside the row is touched.
void ApplyCeiling(std::span<Rgb16> leds, std::uint16_t ceiling) noexcept;
void ApplyCeiling(std::span<Rgbw16> leds, std::uint16_t ceiling) noexcept;
// White balance in 16 bits: each component v becomes v * c / 65535 rounded down, c its channel's.
void ApplyCeiling(std::span<Rgb16> leds, Rgb16 ceiling) noexcept;
void ApplyCeiling(std::span<Rgbw16> leds, Rgbw16 ceiling) noexcept;

// The current a 16-bit row draws under `model`, in microamps: N * idle + (the sum over the LEDs of
// r * red + g * green + b * blue [+ w * white]) / 65535, the total rounded up once. Exact over the
// domain of the 8-bit form (kPowerModelMaxUa, kPowerMaxLeds); UINT64_MAX outside it.
[[nodiscard]] std::uint64_t EstimateCurrent(std::span<const Rgb16> leds,
                                            const PowerModel& model) noexcept;
[[nodiscard]] std::uint64_t EstimateCurrent(std::span<const Rgbw16> leds,
                                            const PowerModel& model) noexcept;

// The largest ceiling c in 0..65535 with the row after ApplyCeiling(leds, c) within `budget_ua`:
// 65535 when the row fits (an empty row always does), 0 when nothing does or outside the domain.
[[nodiscard]] std::uint16_t CeilingForBudget(std::span<const Rgb16> leds, const PowerModel& model,
                                             std::uint64_t budget_ua) noexcept;
[[nodiscard]] std::uint16_t CeilingForBudget(std::span<const Rgbw16> leds, const PowerModel& model,
                                             std::uint64_t budget_ua) noexcept;

// Temporal dithering: a 16-bit row shown on 8-bit chips over 2^bits frames, so that the light
// averaged over them is exact to 1/2^bits of an 8-bit level. Keep one per strip, and call Next
// once a frame, with the same row while it holds.
//
// An 8-bit level k stands for the 16-bit level 257 k, so a level v lies between k = v / 257 and
// k + 1, a fraction f = (v mod 257) / 257 of the way. With F = 2^bits frames and m = f * F rounded
// halves up, each component shows k + 1 in exactly m of any F consecutive frames and k in the
// others (m = F: k + 1 every frame); and any F consecutive LEDs that ask the same level on a
// channel show k + 1 in exactly m of them in every frame, so the strip's total light does not
// pulse. The pattern is the frame counter and the LED's position, in bit-reversed order: the frames
// of k + 1 spread through the period. bits 0 is plain rounding, (v + 128) / 257; a level that is a
// multiple of 257 shows as itself whatever the bits. No error is kept per LED: Next is arithmetic
// on the frame counter and the position alone.
//
// A dither needs about 2^bits times the strip's frame rate to stay invisible: fine on APA102 and
// on short one-wire strips, not on 1000 WS2812 at 30 frames a second.
class TemporalDither {
 public:
  // `bits`: 0..8 extra bits of resolution, reached over 2^bits frames. Above 8, every row is
  // rejected.
  explicit TemporalDither(std::uint8_t bits) noexcept : bits_(bits) {}

  // This frame's 8-bit row for the 16-bit one, then on to the next frame. Returns N. An `out`
  // shorter than the row or sharing any byte with it, an empty row, or bits above 8 is rejected:
  // 0, nothing written, and the frame does not advance.
  [[nodiscard]] std::size_t Next(std::span<const Rgb16> in, std::span<Rgb> out) noexcept;
  [[nodiscard]] std::size_t Next(std::span<const Rgbw16> in, std::span<Rgbw> out) noexcept;

  // Back to frame 0.
  void Reset() noexcept { frame_ = 0; }

 private:
  // This frame's offsets, one for each LED position modulo 2^bits that a row of `leds` uses;
  // false when the bits are out of range.
  bool Offsets(std::size_t leds, std::array<std::uint16_t, 256>& offsets) const noexcept;

  std::uint8_t bits_;
  std::uint8_t frame_ = 0;  // 0..2^bits - 1
};

}  // namespace ledcolor
