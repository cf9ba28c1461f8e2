// The library's functions beside the floor they should sit on: the encoder and the row dimmer
// against a plain memcpy of the same colour bytes, in one run so that they can be compared.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "ledcolor/ledcolor.h"

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

// The receiving side: a stream of 1000-LED frames read by AdalightReader, beside a memcpy of the
// same stream, both over the same 64 frames (about 190 KB).
std::vector<std::uint8_t> FrameStream(ledcolor::AdalightFormat format) {
  const std::vector<Rgb> row = Row(1000);
  const std::size_t size = ledcolor::AdalightFrameSize(row.size(), format);
  std::vector<std::uint8_t> stream(64 * size);
  for (std::size_t at = 0; at < stream.size(); at += size) {
    benchmark::DoNotOptimize(
        ledcolor::EncodeAdalightFrame(row, std::span(stream).subspan(at), format));
  }
  return stream;
}

void BM_AdalightReaderFeed(benchmark::State& state, ledcolor::AdalightFormat format) {
  const std::vector<std::uint8_t> stream = FrameStream(format);
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

BENCHMARK_CAPTURE(BM_EncodeAdalightFrame, classic, ledcolor::AdalightFormat::kClassic)
    ->Arg(1)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_EncodeAdalightFrame, checked, ledcolor::AdalightFormat::kAwa)->Arg(65536);
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
BENCHMARK(BM_CeilingForBudget);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, classic, ledcolor::AdalightFormat::kClassic);
BENCHMARK_CAPTURE(BM_AdalightReaderFeed, checked, ledcolor::AdalightFormat::kAwa);
BENCHMARK(BM_MemcpyFrameStream);

}  // namespace
