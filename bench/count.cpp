// Instructions per LED on a Cortex-M core, counted under qemu-system-arm -icount shift=N, where the
// emulated clock advances exactly 2^N ns per instruction: a hardware timer read before and after
// each call, less the same around an empty call, gives the instructions the call ran. Timings on a
// shared build machine drift from run to run; these counts do not (they change with the compiler).
//   ledcolor_count SHIFT   (run by `ctest -R instruction_count -V` in a cortex-m tree)
// It prints one row per function: instructions per LED at 1000 LEDs, beside newlib's memcpy of the
// bytes the function writes, and the whole call at 1 LED. It fails only when the method itself
// does not hold: a straight run of instructions and a loop of known length must count exactly.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <type_traits>

#include "ledcolor/ledcolor.h"

namespace {

using namespace ledcolor;

// --- The timer ---------------------------------------------------------------------------------

volatile std::uint32_t& Register(std::uintptr_t address) {
  return *reinterpret_cast<volatile std::uint32_t*>(address);  // NOLINT(performance-no-int-to-ptr)
}

#if defined(LEDCOLOR_COUNT_NRF51)
// The nRF51's TIMER0 (micro:bit): 16 MHz with a prescaler of 0, counting up in 32 bits; the
// capture task copies the count to CC[0].
constexpr std::uintptr_t kTimer = 0x40008000;
constexpr std::uint64_t kPicosecondsPerTick = 62'500;
void StartTimer() {
  Register(kTimer + 0x504) = 0;  // MODE: timer
  Register(kTimer + 0x508) = 3;  // BITMODE: 32 bits
  Register(kTimer + 0x510) = 0;  // PRESCALER: 16 MHz
  Register(kTimer + 0x00C) = 1;  // TASKS_CLEAR
  Register(kTimer + 0x000) = 1;  // TASKS_START
}
inline std::uint32_t Ticks() {
  Register(kTimer + 0x040) = 1;  // TASKS_CAPTURE[0]
  return Register(kTimer + 0x540);
}
#elif defined(LEDCOLOR_COUNT_CMSDK)
// The CMSDK APB timer 0 (MPS2 AN386): counts down from its reload value at the 25 MHz system clock.
constexpr std::uintptr_t kTimer = 0x40000000;
constexpr std::uint64_t kPicosecondsPerTick = 40'000;
void StartTimer() {
  Register(kTimer + 0x8) = 0xFFFFFFFF;  // RELOAD
  Register(kTimer + 0x4) = 0xFFFFFFFF;  // VALUE
  Register(kTimer + 0x0) = 1;           // CTRL: enable
}
inline std::uint32_t Ticks() { return ~Register(kTimer + 0x4); }
#else
#error "no timer for this machine"
#endif

unsigned g_shift = 0;  // -icount shift: 2^shift ns an instruction

// The instructions between two timer reads `ticks` apart, rounded: a tick is a fraction of an
// instruction at the shifts used, so the rounding is exact.
std::uint32_t Instructions(std::uint32_t ticks) {
  const std::uint64_t half = std::uint64_t{500} << g_shift;
  return static_cast<std::uint32_t>((ticks * kPicosecondsPerTick + half) / (1000ULL << g_shift));
}

// A call on a row of `leds` LEDs; it answers what the call gave (bytes written, LEDs read, a
// current or a ceiling), which is never 0 when the call did its work.
using Work = std::size_t (*)(std::size_t leds);
using Prepare = void (*)(std::size_t leds);

std::size_t Empty(std::size_t /*leds*/) { return 1; }
void Nothing(std::size_t /*leds*/) {}

// The instructions of one call of `work`, less those of an empty call; 0 answers fail the run.
std::uint32_t Count(Work work, std::size_t leds, Prepare prepare = Nothing) {
  const auto once = [&](Work w) {
    prepare(leds);
    const std::uint32_t start = Ticks();
    const std::size_t answer = w(leds);
    const std::uint32_t instructions = Instructions(Ticks() - start);
    if (answer == 0) {
      std::fputs("a call did not do its work: the count would be of nothing\n", stderr);
      std::exit(1);
    }
    return instructions;
  };
  return once(work) - once(Empty);
}

// --- The method's validation -------------------------------------------------------------------

__attribute__((noinline)) std::size_t Nops(std::size_t /*leds*/) {
  asm volatile(".rept 100\n nop\n .endr");
  return 1;
}
// Two instructions a turn, `turns` turns. GCC hands ARMv6-M inline assembly over in the divided
// syntax, which has no SUBS.
__attribute__((noinline)) std::size_t Loop(std::size_t turns) {
#if defined(__ARM_ARCH_6M__)
  asm volatile(".syntax unified\n1: subs %0, %0, #1\n bne 1b\n.syntax divided" : "+l"(turns)::"cc");
#else
  asm volatile("1: subs %0, %0, #1\n bne 1b" : "+l"(turns)::"cc");
#endif
  return 1;
}

bool Validate() {
  const std::uint32_t nops = Count(Nops, 0);
  const std::uint32_t loops = Count(Loop, 3000) - Count(Loop, 1000);
  std::printf("validation: 100 nops count %u; 2000 more turns of a 2-instruction loop count %u\n",
              static_cast<unsigned>(nops), static_cast<unsigned>(loops));
  return nops == 100 && loops == 4000 && Count(Empty, 0) == 0;
}

// --- Rows and buffers --------------------------------------------------------------------------

constexpr std::size_t kLeds = 1000;

// Rows in flash, so that RAM (16 KiB on the micro:bit) holds only what the functions write.
template <std::size_t kSize>
constexpr std::array<std::uint8_t, kSize> RandomBytes(std::uint32_t seed, std::uint8_t below) {
  std::array<std::uint8_t, kSize> bytes{};
  for (auto& byte : bytes) {
    seed = seed * 1664525U + 1013904223U;
    byte = static_cast<std::uint8_t>((seed >> 24) % below);
  }
  return bytes;
}
constexpr auto kRgbBytes = RandomBytes<3 * kLeds>(1, 255);
constexpr auto kDarkBytes = RandomBytes<3 * kLeds>(2, 32);  // a dark row: every value below 32
constexpr auto kRgbwBytes = RandomBytes<4 * kLeds>(3, 255);

alignas(2) constexpr auto kWordBytes = RandomBytes<6 * kLeds>(4, 255);  // a 16-bit RGB row

std::span<const Rgb16> Row16(std::size_t leds) {
  return {reinterpret_cast<const Rgb16*>(kWordBytes.data()), leds};
}
TemporalDither g_dither(4);

std::span<const Rgb> RgbRow(std::size_t leds, const std::array<std::uint8_t, 3 * kLeds>& bytes) {
  return {reinterpret_cast<const Rgb*>(bytes.data()), leds};
}
std::span<const Rgbw> RgbwRow(std::size_t leds) {
  return {reinterpret_cast<const Rgbw*>(kRgbwBytes.data()), leds};
}

// One buffer for what every function writes: the largest, 12 bytes an LED for RGBW over SPI.
alignas(8) std::array<std::uint8_t, 12 * kLeds> g_buffer;
std::span<std::uint8_t> Out() { return g_buffer; }
std::span<Rgb> RgbOut(std::size_t leds) { return {reinterpret_cast<Rgb*>(g_buffer.data()), leds}; }
std::span<Rgbw> RgbwOut(std::size_t leds) {
  return {reinterpret_cast<Rgbw*>(g_buffer.data()), leds};
}

// The path keeps its storage apart from the frame, which the SPI bytes overwrite once it is read.
constexpr std::size_t kStorageAt = 9 * kLeds;
std::span<Rgb> Storage() { return {reinterpret_cast<Rgb*>(g_buffer.data() + kStorageAt), kLeds}; }
std::span<const std::uint8_t> g_frame;
AdalightReader g_reader{{}, AdalightFormat::kClassic};

constexpr ByteTable kGamma = *MakeGammaTable(2.2);
constexpr WhiteCalibration kCalibration = kDefaultWhiteCalibration;
constexpr PowerModel kRgbwModel{16'000, 11'000, 15'000, 1'000, 20'000};

// What the functions need in RAM before they run, out of the count.
void CopyRgb(std::size_t leds) { std::memcpy(g_buffer.data(), kRgbBytes.data(), 3 * leds); }
void CopyRgbw(std::size_t leds) { std::memcpy(g_buffer.data(), kRgbwBytes.data(), 4 * leds); }
template <AdalightFormat kFormat>
void EncodeFrame(std::size_t leds) {
  const std::size_t size = EncodeAdalightFrame(RgbRow(leds, kRgbBytes), Out(), kFormat);
  g_frame = Out().first(size);
  g_reader = AdalightReader(Storage(), kFormat);
}
void EncodeRgbwFrame(std::size_t leds) {
  g_frame = Out().first(EncodeAdalightFrame(RgbwRow(leds), Out()));
  // An "AWa" frame's 4N bytes need storage of 4N / 3 LEDs, after the frame.
  const std::span<Rgb> storage{reinterpret_cast<Rgb*>(g_buffer.data() + 4 * kLeds + 12),
                               (4 * kLeds + 2) / 3};
  g_reader = AdalightReader(storage, AdalightFormat::kAwa);
}

// The path of a controller's frame: read, gamma, white balance, the power ceiling, the SPI bytes.
std::size_t Path(std::size_t leds) {
  const auto read = g_reader.Feed(g_frame);
  if (read.leds.size() != leds) {
    return 0;
  }
  const std::span<Rgb> row = Storage().first(leds);
  ApplyTable(row, kGamma);
  ApplyCeiling(row, Rgb{255, 200, 180});
  const std::uint8_t ceiling = CeilingForBudget(row, kWs2812bPowerModel, 10'000 * row.size());
  ApplyCeiling(row, ceiling);
  return EncodeWs2812Spi(row, ColorOrder::kGrb, Out().first(kStorageAt));
}

// A network frame: the row at the front of the buffer, a fresh assembler after it, and the
// packets' levels straight from the row in flash, a universe of 170 LEDs (or a DDP packet of
// 1000 bytes) each. Each Take answers whether the frame is complete; the last must be.
constexpr std::size_t kAssemblerAt = 4096;
static_assert(std::is_trivially_destructible_v<FrameAssembler> &&
              kAssemblerAt + sizeof(FrameAssembler) <= sizeof(g_buffer) &&
              kAssemblerAt >= 3 * kLeds);
FrameAssembler* g_assembler = nullptr;
void MakeAssembler(std::size_t leds) {
  g_assembler = std::construct_at(reinterpret_cast<FrameAssembler*>(&g_buffer[kAssemblerAt]),
                                  Out().first(3 * leds), UniverseLayout{1, 1, 3});
}
std::span<const std::uint8_t> Levels(std::size_t from, std::size_t leds, std::size_t per_packet) {
  return std::span(kRgbBytes).subspan(3 * from, 3 * std::min(leds - from, per_packet));
}
std::size_t TakeDdp(std::size_t leds) {
  bool show = false;
  for (std::size_t from = 0, k = 0; from < leds; from += 1000, ++k) {
    const auto data = Levels(from, leds, 1000);
    const DdpPacket packet{from + 1000 >= leds, static_cast<std::uint8_t>(k + 1), 0x0B,
                           static_cast<std::uint32_t>(3 * from), data};
    show = g_assembler->Take(packet, 0).show;
  }
  return show ? 1 : 0;
}
std::size_t TakeE131(std::size_t leds) {
  bool show = false;
  for (std::size_t from = 0, k = 0; from < leds; from += 170, ++k) {
    E131Packet packet{E131Packet::Kind::kData,
                      {},
                      100,
                      0,
                      static_cast<std::uint8_t>(k),
                      false,
                      false,
                      false,
                      static_cast<std::uint16_t>(k + 1),
                      Levels(from, leds, 170)};
    show = g_assembler->Take(packet, 0).show;
  }
  return show ? 1 : 0;
}
std::size_t TakeArtNet(std::size_t leds) {
  bool show = false;
  for (std::size_t from = 0, k = 0; from < leds; from += 170, ++k) {
    const ArtNetPacket packet{ArtNetPacket::Kind::kDmx, static_cast<std::uint8_t>(k + 1),
                              static_cast<std::uint16_t>(k + 1), Levels(from, leds, 170)};
    show = g_assembler->Take(packet, 0x0A000001, 0).show;
  }
  return show ? 1 : 0;
}

template <typename Row>
std::size_t HalfBudget(Row row, const PowerModel& model) {
  return CeilingForBudget(row, model, EstimateCurrent(row, model) / 2);
}

struct Case {
  const char* name;
  Work work;
  Prepare prepare;
  std::size_t bytes_per_led;  // written, for memcpy
};

// clang-format off
constexpr std::array kCases = {
  Case{"EncodeAdalightFrame \"Ada\"", [](std::size_t n) { return EncodeAdalightFrame(RgbRow(n, kRgbBytes), Out()); }, Nothing, 3},
  Case{"EncodeAdalightFrame \"Awa\"", [](std::size_t n) { return EncodeAdalightFrame(RgbRow(n, kRgbBytes), Out(), AdalightFormat::kAwa); }, Nothing, 3},
  Case{"EncodeAdalightFrame \"AwA\"", [](std::size_t n) { return EncodeAdalightFrame(RgbRow(n, kRgbBytes), Out(), kCalibration); }, Nothing, 3},
  Case{"EncodeAdalightFrame \"AWa\"", [](std::size_t n) { return EncodeAdalightFrame(RgbwRow(n), Out()); }, Nothing, 4},
  Case{"DecodeAdalightFrame \"Ada\"", [](std::size_t) { return DecodeAdalightFrame(g_frame, Storage()); }, EncodeFrame<AdalightFormat::kClassic>, 3},
  Case{"DecodeAdalightFrame \"Awa\"", [](std::size_t) { return DecodeAdalightFrame(g_frame, Storage(), AdalightFormat::kAwa); }, EncodeFrame<AdalightFormat::kAwa>, 3},
  Case{"AdalightReader::Feed \"Ada\"", [](std::size_t) { return g_reader.Feed(g_frame).leds.size(); }, EncodeFrame<AdalightFormat::kClassic>, 3},
  Case{"AdalightReader::Feed \"Awa\"", [](std::size_t) { return g_reader.Feed(g_frame).leds.size(); }, EncodeFrame<AdalightFormat::kAwa>, 3},
  Case{"AdalightReader::Feed \"AWa\"", [](std::size_t) { return g_reader.Feed(g_frame).leds_rgbw.size(); }, EncodeRgbwFrame, 4},
  Case{"ApplyTable", [](std::size_t n) { ApplyTable(RgbOut(n), kGamma); return n; }, CopyRgb, 3},
  Case{"ApplyTable RGBW", [](std::size_t n) { ApplyTable(RgbwOut(n), kGamma); return n; }, CopyRgbw, 4},
  Case{"ApplyCeiling row", [](std::size_t n) { ApplyCeiling(RgbOut(n), 200); return n; }, CopyRgb, 3},
  Case{"ApplyCeiling row RGBW", [](std::size_t n) { ApplyCeiling(RgbwOut(n), 200); return n; }, CopyRgbw, 4},
  Case{"ApplyCeiling per channel", [](std::size_t n) { ApplyCeiling(RgbOut(n), Rgb{255, 200, 180}); return n; }, CopyRgb, 3},
  Case{"ApplyCeiling per channel RGBW", [](std::size_t n) { ApplyCeiling(RgbwOut(n), Rgbw{255, 200, 180, 220}); return n; }, CopyRgbw, 4},
  Case{"ToRgbw", [](std::size_t n) { return ToRgbw(RgbRow(n, kRgbBytes), kCalibration, RgbwOut(n)); }, Nothing, 4},
  Case{"ExtractWhite", [](std::size_t n) { return ExtractWhite(RgbRow(n, kRgbBytes), Rgb{255, 200, 160}, RgbwOut(n)); }, Nothing, 4},
  Case{"EstimateCurrent", [](std::size_t n) { return static_cast<std::size_t>(EstimateCurrent(RgbRow(n, kRgbBytes), kWs2812bPowerModel)); }, Nothing, 0},
  Case{"EstimateCurrent RGBW", [](std::size_t n) { return static_cast<std::size_t>(EstimateCurrent(RgbwRow(n), kRgbwModel)); }, Nothing, 0},
  Case{"CeilingForBudget, half the row's current", [](std::size_t n) { return HalfBudget(RgbRow(n, kRgbBytes), kWs2812bPowerModel); }, Nothing, 0},
  Case{"CeilingForBudget, dark row, half", [](std::size_t n) { return HalfBudget(RgbRow(n, kDarkBytes), kWs2812bPowerModel); }, Nothing, 0},
  Case{"CeilingForBudget RGBW, half", [](std::size_t n) { return HalfBudget(RgbwRow(n), kRgbwModel); }, Nothing, 0},
  Case{"EncodeWs2812Spi", [](std::size_t n) { return EncodeWs2812Spi(RgbRow(n, kRgbBytes), ColorOrder::kGrb, Out()); }, Nothing, 9},
  Case{"EncodeWs2812Spi RGBW", [](std::size_t n) { return EncodeWs2812Spi(RgbwRow(n), ColorOrder::kGrb, WhitePosition::kLast, Out()); }, Nothing, 12},
  Case{"EncodeWs2812Bytes", [](std::size_t n) { return EncodeWs2812Bytes(RgbRow(n, kRgbBytes), ColorOrder::kGrb, Out()); }, Nothing, 3},
  Case{"EncodeWs2812Bytes RGBW", [](std::size_t n) { return EncodeWs2812Bytes(RgbwRow(n), ColorOrder::kGrb, WhitePosition::kLast, Out()); }, Nothing, 4},
  Case{"EncodeApa102Frame", [](std::size_t n) { return EncodeApa102Frame(RgbRow(n, kRgbBytes), ColorOrder::kBgr, 31, Out()); }, Nothing, 4},
  Case{"EncodeWs2801Frame", [](std::size_t n) { return EncodeWs2801Frame(RgbRow(n, kRgbBytes), ColorOrder::kRgb, Out()); }, Nothing, 3},
  Case{"EncodeLpd8806Frame", [](std::size_t n) { return EncodeLpd8806Frame(RgbRow(n, kRgbBytes), ColorOrder::kGrb, Out()); }, Nothing, 3},
  Case{"EncodeP9813Frame", [](std::size_t n) { return EncodeP9813Frame(RgbRow(n, kRgbBytes), Out()); }, Nothing, 4},
  Case{"TemporalDither::Next, 4 bits", [](std::size_t n) { return g_dither.Next(Row16(n), RgbOut(n)); }, Nothing, 3},
  Case{"EncodeApa102Frame, 16-bit", [](std::size_t n) { return EncodeApa102Frame(Row16(n), ColorOrder::kBgr, Out()); }, Nothing, 4},
  Case{"FrameAssembler::Take, DDP", TakeDdp, MakeAssembler, 3},
  Case{"FrameAssembler::Take, E1.31", TakeE131, MakeAssembler, 3},
  Case{"FrameAssembler::Take, Art-Net", TakeArtNet, MakeAssembler, 3},
  Case{"the path: Feed \"Awa\" to EncodeWs2812Spi", Path, EncodeFrame<AdalightFormat::kAwa>, 9},
};
// clang-format on

// The two sides of a per-LED figure with one decimal.
void PrintTenths(std::uint32_t total) {
  const std::uint32_t tenths = (total + kLeds / 20) / (kLeds / 10);
  std::printf(" %6u.%u", static_cast<unsigned>(tenths / 10), static_cast<unsigned>(tenths % 10));
}

// memcpy of the bytes a function writes, from the largest row in flash: for more than its 4N
// bytes (the SPI encoders' 9N and 12N), 4N bytes' count in proportion, memcpy being linear.
std::size_t g_copy_bytes = 0;
std::size_t Memcpy(std::size_t /*leds*/) {
  std::memcpy(g_buffer.data(), kRgbwBytes.data(), g_copy_bytes);
  return g_copy_bytes;
}
std::uint32_t MemcpyCount(std::size_t bytes_per_led) {
  g_copy_bytes = std::min(bytes_per_led, std::size_t{4}) * kLeds;
  const std::uint32_t count = Count(Memcpy, kLeds);
  return bytes_per_led <= 4 ? count : count * static_cast<std::uint32_t>(bytes_per_led) / 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: ledcolor_count SHIFT (the -icount shift QEMU runs with)\n", stderr);
    return 2;
  }
  g_shift = static_cast<unsigned>(std::atoi(argv[1]));
  StartTimer();
  if (!Validate()) {
    std::fputs("the count does not hold: is QEMU running with this -icount shift?\n", stderr);
    return 1;
  }
  std::printf("%-44s %7s %7s %8s\n", "instructions", "per LED", "memcpy", "at 1 LED");
  for (const Case& c : kCases) {
    std::printf("%-44s", c.name);
    PrintTenths(Count(c.work, kLeds, c.prepare));
    if (c.bytes_per_led == 0) {
      std::printf(" %7s", "-");
    } else {
      const std::uint32_t copy = MemcpyCount(c.bytes_per_led);
      PrintTenths(copy);
    }
    std::printf(" %8u\n", static_cast<unsigned>(Count(c.work, 1, c.prepare)));
  }
  return 0;
}
