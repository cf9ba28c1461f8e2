// The light functions on fuzzer-chosen input, held to the reference readings: the gamma table
// against std::pow, ApplyTable and the per-channel ApplyCeiling against their definitions on the
// row, EstimateCurrent against the sum over the LEDs, and CeilingForBudget to "it fits, and one
// step brighter does not".
//
// Input: 1 byte gamma (0.05 + 0.04 * byte, so both ends of [0.1, 10] are crossed); 3 bytes the
// white point; 4 bytes the model's fields (4000 uA a step, past 1 A at the top); 2 bytes a
// fraction of the row's full current and 1 signed byte added to it, the budget (0xFFFF: no
// limit); then the row's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_light.h"

using ledcolor_fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 11) {
    return -1;
  }
  using ledcolor::Rgb;
  const double gamma = 0.05 + 0.04 * data[0];
  const Rgb white_point{data[1], data[2], data[3]};
  const ledcolor::PowerModel model{4000U * data[4], 4000U * data[5], 4000U * data[6],
                                   4000U * data[7]};
  const unsigned fraction = data[8] | unsigned{data[9]} << 8;
  const auto delta = static_cast<std::int8_t>(data[10]);

  // Exactly the row's records on the heap, so that AddressSanitizer sees a step past either end.
  const std::size_t leds = (size - 11) / 3;
  const std::unique_ptr<Rgb[]> row(new Rgb[leds]);
  const std::span<Rgb> original(row.get(), leds);
  for (std::size_t i = 0; i < leds; ++i) {
    original[i] = {data[11 + 3 * i], data[12 + 3 * i], data[13 + 3 * i]};
  }
  const std::unique_ptr<Rgb[]> copy(new Rgb[leds]);
  const std::span<Rgb> work(copy.get(), leds);
  const auto reset = [&] { std::copy(original.begin(), original.end(), work.begin()); };

  const std::optional<ledcolor::ByteTable> table = ledcolor::MakeGammaTable(gamma);
  Check(table.has_value() == (gamma >= 0.1 && gamma <= 10));
  if (table) {
    for (unsigned v = 0; v <= 255; ++v) {
      Check((*table)[v] == ledcolor_testing::GammaEntry(v, gamma));
    }
    reset();
    ledcolor::ApplyTable(work, *table);
    for (std::size_t i = 0; i < leds; ++i) {
      const Rgb& o = original[i];
      Check(work[i] == Rgb{(*table)[o.r], (*table)[o.g], (*table)[o.b]});
    }
  }

  reset();
  ledcolor::ApplyCeiling(work, white_point);
  std::vector<Rgb> dimmed(original.begin(), original.end());
  ledcolor_testing::DimRow(dimmed, white_point);
  Check(std::equal(dimmed.begin(), dimmed.end(), work.begin()));

  const std::uint64_t full = ledcolor_testing::Current(original, model);
  Check(ledcolor::EstimateCurrent(original, model) == full);
  const std::uint64_t budget = fraction == 0xFFFF
                                   ? std::numeric_limits<std::uint64_t>::max()
                                   : (full >> 16) * fraction + static_cast<std::uint64_t>(delta);
  const unsigned c = ledcolor::CeilingForBudget(original, model, budget);
  if (!ledcolor_testing::InPowerDomain(leds, model)) {
    Check(c == 0);
    return 0;
  }
  const auto at = [&](unsigned k) {
    return ledcolor_testing::CurrentAtCeiling(original, model, k);
  };
  Check((c == 0 && at(0) > budget) || at(c) <= budget);
  Check(c == 255 || at(c + 1) > budget);
  return 0;
}
