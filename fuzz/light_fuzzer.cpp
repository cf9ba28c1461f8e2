// The light functions on fuzzer-chosen input, held to the reference readings: the gamma table
// against std::pow, ApplyTable and the per-channel ApplyCeiling against their definitions on the
// row, ToRgbw and ExtractWhite against theirs, EstimateCurrent against the sum over the LEDs, and
// CeilingForBudget to "it fits, and one step brighter does not" -- on the RGB row, and on the RGBW
// row ToRgbw makes of it; then the 16-bit forms on the same bytes taken in pairs.
//
// Input: 1 byte gamma (0.05 + 0.04 * byte, so both ends of [0.1, 10] are crossed), also the
// calibration's gain; 3 bytes the white point, also the calibration's weights and the white
// balance; 4 bytes the model's fields (4000 uA a step, past 1 A at the top), the white figure
// from the first and last of them; 2 bytes a fraction of the row's full current and 1 signed byte
// added to it, the budget (0xFFFF: no limit); then the row's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_light.h"

using ledcolor_fuzzing::Check;

namespace {

// Exactly the records on the heap, so that AddressSanitizer sees a step past either end.
template <typename Led>
std::span<Led> OnHeap(std::unique_ptr<Led[]>& owner, std::span<const Led> from) {
  owner.reset(new Led[from.size()]);
  std::copy(from.begin(), from.end(), owner.get());
  return {owner.get(), from.size()};
}

template <typename Led>
void CheckPower(std::span<const Led> row, const ledcolor::PowerModel& model, unsigned fraction,
                std::int8_t delta) {
  const std::uint64_t full = ledcolor_testing::Current(row, model);
  Check(ledcolor::EstimateCurrent(row, model) == full);
  const std::uint64_t budget = fraction == 0xFFFF
                                   ? std::numeric_limits<std::uint64_t>::max()
                                   : (full >> 16) * fraction + static_cast<std::uint64_t>(delta);
  const unsigned c = ledcolor::CeilingForBudget(row, model, budget);
  if (!ledcolor_testing::InPowerDomain<Led>(row.size(), model)) {
    Check(c == 0);
    return;
  }
  const auto at = [&](unsigned k) { return ledcolor_testing::CurrentAtCeiling(row, model, k); };
  Check((c == 0 && at(0) > budget) || at(c) <= budget);
  Check(c == 255 || at(c + 1) > budget);
}

// The shaping maps on a copy of `row`, each against its definition.
template <typename Led>
void CheckShaping(std::span<const Led> row, const std::optional<ledcolor::ByteTable>& table,
                  Led ceiling) {
  std::unique_ptr<Led[]> owner;
  std::span<Led> work = OnHeap(owner, row);
  std::vector<Led> expected(row.begin(), row.end());
  if (table) {
    ledcolor::ApplyTable(work, *table);
    for (std::size_t i = 0; i < row.size(); ++i) {
      const auto* in = reinterpret_cast<const std::uint8_t*>(&row[i]);
      auto* out = reinterpret_cast<std::uint8_t*>(&expected[i]);
      for (std::size_t c = 0; c < sizeof(Led); ++c) {
        out[c] = (*table)[in[c]];
      }
    }
    Check(std::equal(expected.begin(), expected.end(), work.begin()));
    std::copy(row.begin(), row.end(), work.begin());
    expected.assign(row.begin(), row.end());
  }
  ledcolor::ApplyCeiling(work, ceiling);
  ledcolor_testing::DimRow(expected, ceiling);
  Check(std::equal(expected.begin(), expected.end(), work.begin()));
}

// The 16-bit forms on the row's bytes taken in pairs: the ceilings against their definition, the
// ceiling for a budget to "it fits, and one step brighter does not", and the dither over a whole
// period to "k or k + 1, and k + 1 in exactly m frames".
void CheckSixteenBits(std::span<const std::uint8_t> bytes, const ledcolor::PowerModel& model,
                      unsigned fraction, std::uint8_t bits) {
  std::vector<ledcolor::Rgb16> row(bytes.size() / 6);
  for (std::size_t i = 0; i < 3 * row.size(); ++i) {
    reinterpret_cast<std::uint16_t*>(row.data())[i] =
        static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  const auto level = [](const std::vector<ledcolor::Rgb16>& r, std::size_t i) -> std::uint32_t {
    return reinterpret_cast<const std::uint16_t*>(r.data())[i];
  };
  const std::uint32_t ceiling = (fraction * 65535U) >> 16;
  std::vector<ledcolor::Rgb16> dimmed = row;
  ledcolor::ApplyCeiling(dimmed, static_cast<std::uint16_t>(ceiling));
  for (std::size_t i = 0; i < 3 * row.size(); ++i) {
    Check(level(dimmed, i) == level(row, i) * ceiling / 65535);
  }
  const std::uint64_t full =
      ledcolor::EstimateCurrent(std::span<const ledcolor::Rgb16>(row), model);
  if (full != UINT64_MAX) {
    const std::uint64_t budget = full * fraction >> 16;
    const std::uint16_t c =
        ledcolor::CeilingForBudget(std::span<const ledcolor::Rgb16>(row), model, budget);
    const auto current = [&](std::uint32_t at) {
      std::vector<ledcolor::Rgb16> d = row;
      ledcolor::ApplyCeiling(d, static_cast<std::uint16_t>(at));
      return ledcolor::EstimateCurrent(std::span<const ledcolor::Rgb16>(d), model);
    };
    const bool idle_fits = row.size() * std::uint64_t{model.idle_ua} <= budget;
    Check(idle_fits ? current(c) <= budget : c == 0);
    Check(c == 65535 || !idle_fits || current(c + 1U) > budget);
  }
  const unsigned frames = 1U << (bits % 9);
  ledcolor::TemporalDither dither(static_cast<std::uint8_t>(bits % 9));
  std::vector<std::uint32_t> high(3 * row.size());
  std::vector<ledcolor::Rgb> out(row.size());
  for (unsigned f = 0; f < frames && !row.empty(); ++f) {
    Check(dither.Next(row, out) == row.size());
    for (std::size_t i = 0; i < high.size(); ++i) {
      const std::uint32_t shown = reinterpret_cast<const std::uint8_t*>(out.data())[i];
      const std::uint32_t k = level(row, i) / 257;
      Check(shown == k || shown == k + 1);
      high[i] += shown - k;
    }
  }
  for (std::size_t i = 0; i < high.size(); ++i) {
    Check(high[i] == (2 * (level(row, i) % 257) * frames + 257) / 514);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  if (size < 11) {
    return -1;
  }
  const std::span<const std::uint8_t> data(input, size);
  using ledcolor::Rgb;
  using ledcolor::Rgbw;
  const double gamma = 0.05 + 0.04 * data[0];
  const Rgb white_point{data[1], data[2], data[3]};
  const ledcolor::PowerModel model{4000U * data[4], 4000U * data[5], 4000U * data[6],
                                   4000U * data[7], 4000U * (data[4] ^ data[7])};
  const unsigned fraction = data[8] | unsigned{data[9]} << 8;
  const auto delta = static_cast<std::int8_t>(data[10]);

  const std::size_t leds = (size - 11) / 3;
  std::vector<Rgb> bytes(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    bytes[i] = {data[11 + 3 * i], data[12 + 3 * i], data[13 + 3 * i]};
  }
  std::unique_ptr<Rgb[]> row_owner;
  const std::span<const Rgb> row = OnHeap<Rgb>(row_owner, bytes);

  const std::optional<ledcolor::ByteTable> table = ledcolor::MakeGammaTable(gamma);
  Check(table.has_value() == (gamma >= 0.1 && gamma <= 10));
  if (table) {
    for (unsigned v = 0; v <= 255; ++v) {
      Check((*table)[v] == ledcolor_testing::GammaEntry(v, gamma));
    }
  }
  CheckShaping(row, table, white_point);

  // The RGBW row, made both ways; an output that does not fit is rejected and left alone.
  const ledcolor::WhiteCalibration calibration{data[0], data[1], data[2], data[3]};
  std::unique_ptr<Rgbw[]> rgbw_owner(new Rgbw[leds]);
  const std::span<Rgbw> rgbw(rgbw_owner.get(), leds);
  const Rgbw kUntouched{1, 2, 3, 4};
  std::fill(rgbw.begin(), rgbw.end(), kUntouched);
  const bool white_ok = white_point != Rgb{0, 0, 0};
  Check(ledcolor::ExtractWhite(row, white_point, rgbw) == (white_ok ? leds : 0));
  for (std::size_t i = 0; i < leds; ++i) {
    Check(rgbw[i] ==
          (white_ok ? ledcolor_testing::ExtractedRgbw(row[i], white_point) : kUntouched));
  }
  Check(ledcolor::ToRgbw(row, calibration, rgbw.first(leds == 0 ? 0 : leds - 1)) == 0);
  Check(ledcolor::ToRgbw(row, calibration, rgbw) == leds);
  for (std::size_t i = 0; i < leds; ++i) {
    Check(rgbw[i] == ledcolor_testing::CalibratedRgbw(row[i], calibration));
  }
  CheckShaping<Rgbw>(rgbw, table, {data[1], data[2], data[3], data[0]});

  CheckPower(row, model, fraction, delta);
  CheckPower<Rgbw>(rgbw, model, fraction, delta);
  CheckSixteenBits(data.subspan(11), model, fraction, data[0]);
  return 0;
}
