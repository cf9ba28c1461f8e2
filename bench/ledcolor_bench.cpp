// The library's functions beside the floor they should sit on: the encoder and the row dimmer
// against a plain memcpy of the same colour bytes, in one run so that they can be compared.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_net.h"

namespace {

using ledcolor::Rgb;

std::vector<Rgb> Row(std::size_t leds) {
  std::vector<Rgb> row(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    row[i] = Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3),
                 static_cast<std::uint8_t>(i * 7)};
  }
  return row;
}

void BM_EncodeAdalightFrame(benchmark::State& state, ledcolor::AdalightFormat format) {
  const auto leds = static_cast<std::size_t>(state.range(0));
  const std::vector<Rgb> row = Row(leds);
  std::vector<std::uint8_t> frame(ledcolor::AdalightFrameSize(leds, format));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::EncodeAdalightFrame(row, frame, format));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(3 * leds));
}

// The checked variants on 65536 LEDs' colour bytes: "AwA" with its calibration, and "AWa" on 49152
// RGBW LEDs, the same 196 608 bytes.
void BM_EncodeAdalightFrameCalibrated(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<std::uint8_t> frame(ledcolor::AdalightCalibratedFrameSize(row.size()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ledcolor::EncodeAdalightFrame(row, frame, ledcolor::kDefaultWhiteCalibration));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(3 * row.size()));
}

void BM_EncodeAdalightFrameRgbw(benchmark::State& state) {
  std::vector<ledcolor::Rgbw> row(ledcolor::kAdalightMaxLeds * 3 / 4);
  const std::vector<Rgb> rgb = Row(ledcolor::kAdalightMaxLeds);
  std::memcpy(row.data(), rgb.data(), 4 * row.size());
  std::vector<std::uint8_t> frame(ledcolor::AdalightRgbwFrameSize(row.size()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::EncodeAdalightFrame(row, frame));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(4 * row.size()));
}

void BM_MemcpyColourBytes(benchmark::State& state) {
  const auto leds = static_cast<std::size_t>(state.range(0));
  const std::vector<Rgb> row = Row(leds);
  std::vector<std::uint8_t> frame(ledcolor::AdalightFrameSize(leds));
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcpy(frame.data() + 6, row.data(), 3 * leds));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(3 * leds));
}

void BM_ParseHexColor(benchmark::State& state, std::string_view text) {
  Rgb out{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(text);
    benchmark::DoNotOptimize(ledcolor::ParseHexColor(text, out));
    benchmark::DoNotOptimize(out);
  }
}

// Dimming a 65536-LED row three ways: the row form in place; the scalar function called once per
// byte, as a caller had to before the row form; and a plain memcpy of the same bytes from one row
// into another, the floor the row form is held to.
constexpr std::int64_t kRowBytes = 3 * static_cast<std::int64_t>(ledcolor::kAdalightMaxLeds);

void BM_ApplyCeilingRow(benchmark::State& state) {
  std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  for (auto _ : state) {
    ledcolor::ApplyCeiling(row, 50);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

// Shaping a frame: the gamma table and the white balance, over the same row.
void BM_ApplyTableRow(benchmark::State& state) {
  std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  static constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
  for (auto _ : state) {
    ledcolor::ApplyTable(row, kGamma);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

void BM_ApplyCeilingPerChannelRow(benchmark::State& state) {
  std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  for (auto _ : state) {
    ledcolor::ApplyCeiling(row, Rgb{255, 200, 150});
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

// Limiting a frame to its supply: the estimate, and the ceiling for half of the row's full current.
void BM_EstimateCurrent(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::EstimateCurrent(row, ledcolor::kWs2812bPowerModel));
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

void BM_CeilingForBudget(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  const std::uint64_t budget = ledcolor::EstimateCurrent(row, ledcolor::kWs2812bPowerModel) / 2;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::CeilingForBudget(row, ledcolor::kWs2812bPowerModel, budget));
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

// Driving the strip: a 65536-LED row in WS2812 SPI bytes (9 an LED) and in an APA102 frame (4 an
// LED), each beside a memcpy of as many bytes as it writes.
void BM_EncodeWs2812Spi(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<std::uint8_t> out(ledcolor::Ws2812SpiSize(row.size()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Spi(row, ledcolor::ColorOrder::kGrb, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}

void BM_EncodeApa102Frame(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<std::uint8_t> out(ledcolor::Apa102FrameSize(row.size()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ledcolor::EncodeApa102Frame(row, ledcolor::ColorOrder::kBgr, 31, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}

// The other clocked chips, each beside a memcpy of as many bytes as it writes.
template <typename Encode>
void BM_EncodeClocked(benchmark::State& state, Encode encode, std::size_t size) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<std::uint8_t> out(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(encode(row, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
void BM_EncodeWs2801Frame(benchmark::State& state) {
  BM_EncodeClocked(
      state,
      [](const auto& row, auto& out) {
        return ledcolor::EncodeWs2801Frame(row, ledcolor::ColorOrder::kRgb, out);
      },
      ledcolor::Ws2801FrameSize(ledcolor::kAdalightMaxLeds));
}
void BM_EncodeLpd8806Frame(benchmark::State& state) {
  BM_EncodeClocked(
      state,
      [](const auto& row, auto& out) {
        return ledcolor::EncodeLpd8806Frame(row, ledcolor::ColorOrder::kGrb, out);
      },
      ledcolor::Lpd8806FrameSize(ledcolor::kAdalightMaxLeds));
}
void BM_EncodeP9813Frame(benchmark::State& state) {
  BM_EncodeClocked(
      state, [](const auto& row, auto& out) { return ledcolor::EncodeP9813Frame(row, out); },
      ledcolor::P9813FrameSize(ledcolor::kAdalightMaxLeds));
}

void BM_MemcpyBytes(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> from(size, 0x5A);
  std::vector<std::uint8_t> to(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcpy(to.data(), from.data(), size));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void BM_ApplyCeilingPerByte(benchmark::State& state) {
  std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  auto* bytes = reinterpret_cast<std::uint8_t*>(row.data());
  for (auto _ : state) {
    for (std::size_t i = 0; i < 3 * row.size(); ++i) {
      bytes[i] = ledcolor::ApplyCeiling(bytes[i], 50);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

void BM_MemcpyRow(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<Rgb> copy(row.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcpy(copy.data(), row.data(), 3 * row.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRowBytes);
}

// The checked variants beside the plain one: "AwA" carries a calibration, "AWa" four bytes an LED.
enum class Variant { kPlain, kCalibrated, kRgbw };

// The receiving side: a stream of 1000-LED frames read by AdalightReader, beside a memcpy of the
// same stream, both over the same 64 frames (about 190 KB; 250 KB of "AWa").
std::vector<std::uint8_t> FrameStream(ledcolor::AdalightFormat format,
                                      Variant variant = Variant::kPlain) {
  const std::vector<Rgb> row = Row(1000);
  std::vector<ledcolor::Rgbw> rgbw(750);  // as many bytes as the RGB row
  std::memcpy(rgbw.data(), row.data(), 3000);
  const std::size_t size = variant == Variant::kRgbw ? ledcolor::AdalightRgbwFrameSize(750)
                           : variant == Variant::kCalibrated
                               ? ledcolor::AdalightCalibratedFrameSize(row.size())
                               : ledcolor::AdalightFrameSize(row.size(), format);
  std::vector<std::uint8_t> stream(64 * size);
  for (std::size_t at = 0; at < stream.size(); at += size) {
    const std::span<std::uint8_t> frame = std::span(stream).subspan(at);
    benchmark::DoNotOptimize(
        variant == Variant::kRgbw ? ledcolor::EncodeAdalightFrame(rgbw, frame)
        : variant == Variant::kCalibrated
            ? ledcolor::EncodeAdalightFrame(row, frame, ledcolor::kDefaultWhiteCalibration)
            : ledcolor::EncodeAdalightFrame(row, frame, format));
  }
  return stream;
}

void BM_AdalightReaderFeed(benchmark::State& state, ledcolor::AdalightFormat format,
                           Variant variant) {
  const std::vector<std::uint8_t> stream = FrameStream(format, variant);
  std::vector<Rgb> storage(1000);
  ledcolor::AdalightReader reader(storage, format);
  for (auto _ : state) {
    std::span<const std::uint8_t> rest(stream);
    while (!rest.empty()) {
      const ledcolor::AdalightReader::Result r = reader.Feed(rest);
      benchmark::DoNotOptimize(r.leds.data());
      rest = rest.subspan(r.consumed);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

void BM_MemcpyFrameStream(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = FrameStream(ledcolor::AdalightFormat::kClassic);
  std::vector<std::uint8_t> copy(stream.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcpy(copy.data(), stream.data(), stream.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

// The RGBW stage, on 65536 LEDs: the conversions from an RGB row, the shaping and power functions
// on the RGBW row (each beside a memcpy of the 262 144 bytes of that row), and the strip's bytes.
constexpr std::int64_t kRgbwRowBytes = 4 * static_cast<std::int64_t>(ledcolor::kAdalightMaxLeds);

std::vector<ledcolor::Rgbw> RgbwRow() {
  const std::vector<Rgb> rgb = Row(ledcolor::kAdalightMaxLeds);
  std::vector<ledcolor::Rgbw> row(rgb.size());
  benchmark::DoNotOptimize(ledcolor::ToRgbw(rgb, ledcolor::kDefaultWhiteCalibration, row));
  return row;
}

// `f` runs once an iteration; the bytes processed are `bytes` an iteration.
template <typename F>
void RunOn(benchmark::State& state, std::int64_t bytes, F f) {
  for (auto _ : state) {
    f();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_ToRgbw(benchmark::State& state) {
  const std::vector<Rgb> rgb = Row(ledcolor::kAdalightMaxLeds);
  std::vector<ledcolor::Rgbw> out(rgb.size());
  RunOn(state, kRgbwRowBytes, [&] {
    benchmark::DoNotOptimize(ledcolor::ToRgbw(rgb, ledcolor::kDefaultWhiteCalibration, out));
  });
}

void BM_ExtractWhite(benchmark::State& state) {
  const std::vector<Rgb> rgb = Row(ledcolor::kAdalightMaxLeds);
  std::vector<ledcolor::Rgbw> out(rgb.size());
  RunOn(state, kRgbwRowBytes, [&] {
    benchmark::DoNotOptimize(ledcolor::ExtractWhite(rgb, Rgb{255, 224, 192}, out));
  });
}

void BM_ApplyTableRgbw(benchmark::State& state) {
  std::vector<ledcolor::Rgbw> row = RgbwRow();
  static constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
  RunOn(state, kRgbwRowBytes, [&] { ledcolor::ApplyTable(row, kGamma); });
}

void BM_ApplyCeilingRgbw(benchmark::State& state) {
  std::vector<ledcolor::Rgbw> row = RgbwRow();
  RunOn(state, kRgbwRowBytes, [&] { ledcolor::ApplyCeiling(row, std::uint8_t{50}); });
}

void BM_ApplyCeilingPerChannelRgbw(benchmark::State& state) {
  std::vector<ledcolor::Rgbw> row = RgbwRow();
  RunOn(state, kRgbwRowBytes, [&] {
    ledcolor::ApplyCeiling(row, ledcolor::Rgbw{255, 200, 150, 230});
  });
}

constexpr ledcolor::PowerModel kRgbwModel{16'000, 11'000, 15'000, 1'000, 20'000};

void BM_EstimateCurrentRgbw(benchmark::State& state) {
  const std::vector<ledcolor::Rgbw> row = RgbwRow();
  RunOn(state, kRgbwRowBytes,
        [&] { benchmark::DoNotOptimize(ledcolor::EstimateCurrent(row, kRgbwModel)); });
}

void BM_CeilingForBudgetRgbw(benchmark::State& state) {
  const std::vector<ledcolor::Rgbw> row = RgbwRow();
  const std::uint64_t budget = ledcolor::EstimateCurrent(row, kRgbwModel) / 2;
  RunOn(state, kRgbwRowBytes,
        [&] { benchmark::DoNotOptimize(ledcolor::CeilingForBudget(row, kRgbwModel, budget)); });
}

void BM_EncodeWs2812SpiRgbw(benchmark::State& state) {
  const std::vector<ledcolor::Rgbw> row = RgbwRow();
  std::vector<std::uint8_t> out(ledcolor::Ws2812SpiSize(row.size(), 4));
  RunOn(state, static_cast<std::int64_t>(out.size()), [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Spi(row, ledcolor::ColorOrder::kGrb,
                                                       ledcolor::WhitePosition::kLast, out));
  });
}

void BM_EncodeWs2812BytesRgbw(benchmark::State& state) {
  const std::vector<ledcolor::Rgbw> row = RgbwRow();
  std::vector<std::uint8_t> out(4 * row.size());
  RunOn(state, kRgbwRowBytes, [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Bytes(row, ledcolor::ColorOrder::kGrb,
                                                         ledcolor::WhitePosition::kLast, out));
  });
}

void BM_EncodeWs2812BytesRgb(benchmark::State& state) {
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<std::uint8_t> out(3 * row.size());
  RunOn(state, kRowBytes, [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Bytes(row, ledcolor::ColorOrder::kGrb, out));
  });
}

// The network: one 170-LED universe (510 levels) decoded and taken into a two-universe row by a
// FrameAssembler, as a controller does with each datagram, beside a memcpy of the 510 levels.
template <typename Decode>
void TakeUniverse(benchmark::State& state, const ledcolor_testing::Bytes& datagram,
                  Decode decode_and_take) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(decode_and_take(datagram));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 510);
}

void BM_NetDdp(benchmark::State& state) {
  std::vector<std::uint8_t> row(3 * 340);
  ledcolor::FrameAssembler assembler(row, {1, 1, 3});
  std::uint8_t sequence = 0;
  TakeUniverse(state, ledcolor_testing::MakeDdp(false, 0, 0, ledcolor_testing::Bytes(510, 0x5A)),
               [&](const ledcolor_testing::Bytes& d) {
                 ledcolor::DdpPacket packet = *ledcolor::DecodeDdp(d);
                 packet.sequence = sequence = static_cast<std::uint8_t>(sequence % 15 + 1);
                 return assembler.Take(packet, 0).show;
               });
}

void BM_NetE131(benchmark::State& state) {
  std::vector<std::uint8_t> row(3 * 340);
  ledcolor::FrameAssembler assembler(row, {1, 1, 3});
  std::uint8_t sequence = 0;
  TakeUniverse(state, ledcolor_testing::MakeE131Data({}, ledcolor_testing::Bytes(510, 0x5A)),
               [&](const ledcolor_testing::Bytes& d) {
                 ledcolor::E131Packet packet = *ledcolor::DecodeE131(d);
                 packet.sequence = ++sequence;
                 packet.universe = static_cast<std::uint16_t>(1 + sequence % 2);
                 return assembler.Take(packet, 0).show;
               });
}

void BM_NetArtNet(benchmark::State& state) {
  std::vector<std::uint8_t> row(3 * 340);
  ledcolor::FrameAssembler assembler(row, {1, 1, 3});
  std::uint8_t sequence = 0;
  TakeUniverse(state, ledcolor_testing::MakeArtDmx(0, 1, ledcolor_testing::Bytes(510, 0x5A)),
               [&](const ledcolor_testing::Bytes& d) {
                 ledcolor::ArtNetPacket packet = *ledcolor::DecodeArtNet(d);
                 packet.sequence = ++sequence;
                 packet.port_address = static_cast<std::uint16_t>(1 + sequence % 2);
                 return assembler.Take(packet, 0x0A000001, 0).show;
               });
}

// Sixteen bits of light, on the 65536-LED row: each beside a memcpy of the bytes it writes.
std::vector<ledcolor::Rgb16> Row16() {
  static constexpr ledcolor::WordTable kGamma = *ledcolor::MakeGammaTable16(2.2);
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<ledcolor::Rgb16> row16(row.size());
  (void)ledcolor::ApplyTable(row, kGamma, row16);
  return row16;
}
constexpr std::int64_t kRow16Bytes = 2 * kRowBytes;

void BM_ApplyTable16(benchmark::State& state) {
  static constexpr ledcolor::WordTable kGamma = *ledcolor::MakeGammaTable16(2.2);
  const std::vector<Rgb> row = Row(ledcolor::kAdalightMaxLeds);
  std::vector<ledcolor::Rgb16> out(row.size());
  RunOn(state, kRow16Bytes,
        [&] { benchmark::DoNotOptimize(ledcolor::ApplyTable(row, kGamma, out)); });
}

void BM_TemporalDither(benchmark::State& state) {
  const std::vector<ledcolor::Rgb16> row = Row16();
  std::vector<Rgb> out(row.size());
  ledcolor::TemporalDither dither(4);
  RunOn(state, kRowBytes, [&] { benchmark::DoNotOptimize(dither.Next(row, out)); });
}

void BM_ApplyCeiling16(benchmark::State& state) {
  std::vector<ledcolor::Rgb16> row = Row16();
  RunOn(state, kRow16Bytes, [&] { ledcolor::ApplyCeiling(row, std::uint16_t{50'000}); });
}

void BM_ApplyCeilingPerChannel16(benchmark::State& state) {
  std::vector<ledcolor::Rgb16> row = Row16();
  RunOn(state, kRow16Bytes, [&] {
    ledcolor::ApplyCeiling(row, ledcolor::Rgb16{65535, 56000, 47000});
  });
}

void BM_EncodeWs2812Bytes16(benchmark::State& state) {
  const std::vector<ledcolor::Rgb16> row = Row16();
  std::vector<std::uint8_t> out(6 * row.size());
  RunOn(state, kRow16Bytes, [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Bytes(row, ledcolor::ColorOrder::kGrb, out));
  });
}

void BM_EncodeWs2812Spi16(benchmark::State& state) {
  const std::vector<ledcolor::Rgb16> row = Row16();
  std::vector<std::uint8_t> out(ledcolor::Ws2812SpiSize16(row.size()));
  RunOn(state, 3 * kRow16Bytes, [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeWs2812Spi(row, ledcolor::ColorOrder::kGrb, out));
  });
}

void BM_EncodeApa102Frame16(benchmark::State& state) {
  const std::vector<ledcolor::Rgb16> row = Row16();
  std::vector<std::uint8_t> out(ledcolor::Apa102FrameSize(row.size()));
  RunOn(state, static_cast<std::int64_t>(out.size()), [&] {
    benchmark::DoNotOptimize(ledcolor::EncodeApa102Frame(row, ledcolor::ColorOrder::kBgr, out));
  });
}

// The encoders: a 170-LED universe (510 levels) into its datagram, beside the same memcpy.
template <typename Encode>
void EncodeUniverse(benchmark::State& state, Encode encode) {
  const ledcolor_testing::Bytes levels(510, 0x5A);
  std::vector<std::uint8_t> out(1500);
  for (auto _ : state) {
    benchmark::DoNotOptimize(encode(levels, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 510);
}

void BM_EncodeDdp(benchmark::State& state) {
  EncodeUniverse(state, [](std::span<const std::uint8_t> levels, std::span<std::uint8_t> out) {
    return ledcolor::EncodeDdp({true, 1, 0x0B, 0, levels}, out);
  });
}

void BM_EncodeE131(benchmark::State& state) {
  EncodeUniverse(state, [](std::span<const std::uint8_t> levels, std::span<std::uint8_t> out) {
    ledcolor::E131Packet packet{};
    packet.priority = 100;
    packet.universe = 1;
    packet.slots = levels;
    return ledcolor::EncodeE131(packet, "ledcolor bench", out);
  });
}

void BM_EncodeArtNet(benchmark::State& state) {
  EncodeUniverse(state, [](std::span<const std::uint8_t> levels, std::span<std::uint8_t> out) {
    return ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kDmx, 1, 1, levels}, out);
  });
}

BENCHMARK_CAPTURE(BM_EncodeAdalightFrame, classic, ledcolor::AdalightFormat::kClassic)
    ->Arg(1)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_EncodeAdalightFrame, checked, ledcolor::AdalightFormat::kAwa)->Arg(65536);
BENCHMARK(BM_EncodeAdalightFrameCalibrated);
BENCHMARK(BM_EncodeAdalightFrameRgbw);
BENCHMARK(BM_MemcpyColourBytes)->Arg(1)->Arg(10)->Arg(1000)->Arg(65536);
BENCHMARK_CAPTURE(BM_ParseHexColor, accepted, std::string_view("fF8000"));
BENCHMARK_CAPTURE(BM_ParseHexColor, rejected_last_char, std::string_view("12345Z"));
BENCHMARK(BM_ApplyCeilingRow);
BENCHMARK(BM_MemcpyRow);
BENCHMARK(BM_ApplyCeilingPerByte);
BENCHMARK(BM_ApplyTableRow);
BENCHMARK(BM_ApplyCeilingPerChannelRow);
BENCHMARK(BM_EstimateCurrent);
BENCHMARK(BM_EncodeWs2812Spi);
BENCHMARK(BM_MemcpyBytes)->Arg(9 * 65536);
BENCHMARK(BM_EncodeApa102Frame);
BENCHMARK(BM_MemcpyBytes)->Arg(8 + 4 * 65536 + 4096);
BENCHMARK(BM_EncodeWs2801Frame);
BENCHMARK(BM_MemcpyBytes)->Arg(3 * 65536);
BENCHMARK(BM_EncodeLpd8806Frame);
BENCHMARK(BM_MemcpyBytes)->Arg(3 * 65536 + 2048);
BENCHMARK(BM_EncodeP9813Frame);
BENCHMARK(BM_MemcpyBytes)->Arg(12 + 4 * 65536);
BENCHMARK(BM_CeilingForBudget);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, classic, ledcolor::AdalightFormat::kClassic,
                  Variant::kPlain);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, checked, ledcolor::AdalightFormat::kAwa, Variant::kPlain);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, calibrated, ledcolor::AdalightFormat::kAwa,
                  Variant::kCalibrated);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, rgbw, ledcolor::AdalightFormat::kAwa, Variant::kRgbw);
BENCHMARK(BM_MemcpyFrameStream);
BENCHMARK(BM_ToRgbw);
BENCHMARK(BM_ExtractWhite);
BENCHMARK(BM_ApplyTableRgbw);
BENCHMARK(BM_ApplyCeilingRgbw);
BENCHMARK(BM_ApplyCeilingPerChannelRgbw);
BENCHMARK(BM_EstimateCurrentRgbw);
BENCHMARK(BM_CeilingForBudgetRgbw);
BENCHMARK(BM_EncodeWs2812BytesRgbw);
BENCHMARK(BM_MemcpyBytes)->Arg(4 * 65536);
BENCHMARK(BM_EncodeWs2812BytesRgb);
BENCHMARK(BM_EncodeWs2812SpiRgbw);
BENCHMARK(BM_MemcpyBytes)->Arg(12 * 65536);
BENCHMARK(BM_NetDdp);
BENCHMARK(BM_NetE131);
BENCHMARK(BM_NetArtNet);
BENCHMARK(BM_ApplyTable16);
BENCHMARK(BM_TemporalDither);
BENCHMARK(BM_ApplyCeiling16);
BENCHMARK(BM_ApplyCeilingPerChannel16);
BENCHMARK(BM_EncodeWs2812Bytes16);
BENCHMARK(BM_MemcpyBytes)->Arg(6 * 65536);
BENCHMARK(BM_EncodeWs2812Spi16);
BENCHMARK(BM_MemcpyBytes)->Arg(18 * 65536);
BENCHMARK(BM_EncodeApa102Frame16);
BENCHMARK(BM_EncodeDdp);
BENCHMARK(BM_EncodeE131);
BENCHMARK(BM_EncodeArtNet);
BENCHMARK(BM_MemcpyBytes)->Arg(510);

}  // namespace
