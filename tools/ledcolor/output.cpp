#include "output.h"

#include <algorithm>
#include <cstring>

namespace tool {

namespace {

// E1.31 and Art-Net place the LEDs by universe and channel; DDP by byte offset, from `offset`.
ledcolor::UniverseLayout LayoutOf(const OutputConfig& config) {
  return {config.universe, config.channel, OutputConfig::InputChannels()};
}

bool InSpan(const OutputConfig& config, std::uint32_t universe) {
  const UniverseSpan span = SpanOf(config);
  return universe >= span.first && universe - span.first < span.count;
}

}  // namespace

GammaTables::GammaTables(const OutputConfig& output)
    : bytes(output.path.gamma != 1.0 ? ledcolor::MakeGammaTable(output.path.gamma) : std::nullopt),
      words(output.path.strip == firmware::Strip::kWs2816 || output.dither
                ? ledcolor::MakeGammaTable16(output.path.gamma)
                : std::nullopt) {}

bool ShapeWide(const OutputConfig& output, const ledcolor::WordTable& gamma16,
               std::span<std::uint8_t> colours, std::vector<ledcolor::Rgbw>& work,
               std::vector<std::uint8_t>& path, std::vector<ledcolor::Rgb16>& row) {
  // The WS2816 path in R G B order gives the 16-bit row, high bytes first.
  firmware::Options options = output.path;
  options.strip = firmware::Strip::kWs2816;
  options.order = ledcolor::ColorOrder::kRgb;
  const std::size_t n = output.leds;
  work.resize(n);
  path.resize(options.MaxOutBytes());
  const firmware::Frame frame{n, false, std::nullopt};
  if (firmware::RunPath(options, nullptr, frame, colours, work, path, &gamma16) != 6 * n) {
    return false;
  }
  row.resize(n);
  const auto word = [&](std::size_t at) {
    return static_cast<std::uint16_t>(path[at] << 8 | path[at + 1]);
  };
  for (std::size_t i = 0; i < n; ++i) {
    row[i] = {word(6 * i), word(6 * i + 2), word(6 * i + 4)};
  }
  return true;
}

std::chrono::microseconds RefreshPeriod(const OutputConfig& output) {
  const firmware::Options& p = output.path;
  const std::uint64_t hz = p.OneWire() ? 2'400'000 : p.spi_hz;
  const std::uint64_t pause = p.OneWire() ? 300 : p.strip == firmware::Strip::kWs2801 ? 550 : 0;
  const std::uint64_t wire = StripFrameBytes(output) * 8 * 1'000'000 / hz + pause;
  return std::chrono::microseconds(std::max<std::uint64_t>(1'000'000 / output.refresh_hz, wire));
}

std::size_t StripFrameBytes(const OutputConfig& output) {
  const firmware::Options& p = output.path;
  if (p.strip == firmware::Strip::kWs2816) {
    return ledcolor::Ws2812SpiSize16(output.leds);
  }
  return p.OneWire() ? ledcolor::Ws2812SpiSize(output.leds, p.Channels()) : p.MaxOutBytes();
}

std::span<const std::uint8_t> EncodeFor(const OutputConfig& output,
                                        const ledcolor::ByteTable* gamma,
                                        const ledcolor::WordTable* gamma16,
                                        std::span<std::uint8_t> colours,
                                        std::vector<ledcolor::Rgbw>& work,
                                        std::vector<std::uint8_t>& path,
                                        std::vector<std::uint8_t>& out) {
  firmware::Options options = output.path;
  const bool strip = output.kind == DeviceKind::kSpi || output.kind == DeviceKind::kFile;
  // Serial and DDP carry colours, R G B (W), for the controller behind them to order.
  if (!strip) {
    options.order = ledcolor::ColorOrder::kRgb;
  }
  const std::size_t n = output.leds;
  work.resize(n);
  path.resize(options.MaxOutBytes());
  const firmware::Frame frame{n, false, std::nullopt};
  const std::size_t made = firmware::RunPath(options, gamma, frame, colours, work, path, gamma16);
  if (made == 0) {
    return {};
  }
  const std::span<const std::uint8_t> bytes(path.data(), made);
  const bool rgbw = options.Channels() == 4;
  std::size_t size = 0;
  switch (output.kind) {
    case DeviceKind::kSpi:
    case DeviceKind::kFile:
      if (!options.OneWire()) {
        return bytes;  // the clocked chips' frame
      }
      // The path laid the bytes out in the chips' order; the waveform spreads them as they lie,
      // a WS2816's 6 bytes an LED as two 3-byte groups.
      out.resize(StripFrameBytes(output));
      size = rgbw ? ledcolor::EncodeWs2812Spi(
                        std::span(reinterpret_cast<const ledcolor::Rgbw*>(bytes.data()), n),
                        ledcolor::ColorOrder::kRgb, ledcolor::WhitePosition::kLast, out)
                  : ledcolor::EncodeWs2812Spi(
                        std::span(reinterpret_cast<const ledcolor::Rgb*>(bytes.data()),
                                  bytes.size() / 3),
                        ledcolor::ColorOrder::kRgb, out);
      break;
    case DeviceKind::kSerial:
      out.resize(rgbw ? ledcolor::AdalightRgbwFrameSize(n)
                      : ledcolor::AdalightFrameSize(n, options.format));
      size = rgbw ? ledcolor::EncodeAdalightFrame(
                        std::span(reinterpret_cast<const ledcolor::Rgbw*>(bytes.data()), n), out)
                  : ledcolor::EncodeAdalightFrame(
                        std::span(reinterpret_cast<const ledcolor::Rgb*>(bytes.data()), n), out,
                        options.format);
      break;
    case DeviceKind::kDdp:
      return bytes;
  }
  return std::span<const std::uint8_t>(out.data(), size);
}

Output::Output(OutputConfig config, std::unique_ptr<Device> device)
    : config_(std::move(config)),
      device_(std::move(device)),
      gamma_(config_),
      row_(config_.leds),
      assembler_(std::span<ledcolor::Rgb>(row_), LayoutOf(config_)),
      waiting_(3 * config_.leds),
      last_frame_(Clock::now()),
      plain_(config_) {
  // The phases are shaped already: the device gets them through the path with nothing to do.
  plain_.path.gamma = 1.0;
  plain_.path.balance = {255, 255, 255, 255};
  plain_.path.budget_ma = 0;
}

void Output::Show(std::span<const std::uint8_t> row) {
  if (has_waiting_) {
    ++stats_.replaced;
  }
  std::copy(row.begin(), row.end(), waiting_.begin());
  has_waiting_ = true;
  ddp_written_ = false;
  ++shows_;
}

void Output::Take(const ledcolor::DdpPacket& packet, std::uint32_t now_ms) {
  // The output's part of the stream: its offset becomes the row's start, and data before it is
  // cut. A push whose data lies elsewhere still ends the frame, once this row has new data.
  ledcolor::DdpPacket mine = packet;
  const std::uint64_t end = std::uint64_t{packet.offset} + packet.data.size();
  if (end <= config_.offset || packet.offset >= config_.offset + 3 * config_.leds) {
    if (!packet.push || !ddp_written_) {
      return;
    }
    mine.data = {};
    mine.offset = 0;
  } else if (packet.offset < config_.offset) {
    mine.data = packet.data.subspan(config_.offset - packet.offset);
    mine.offset = 0;
  } else {
    mine.offset = packet.offset - config_.offset;
  }
  const std::uint64_t shows = shows_;
  const bool taken =
      assembler_.Take(mine, now_ms, [this](std::span<const std::uint8_t> row) { Show(row); });
  if (!taken) {
    ++stats_.dropped;
  } else if (!mine.data.empty() && shows == shows_) {
    ddp_written_ = true;
  }
}

void Output::Take(const ledcolor::E131Packet& packet, std::uint32_t now_ms) {
  const bool taken =
      assembler_.Take(packet, now_ms, [this](std::span<const std::uint8_t> row) { Show(row); });
  if (!taken && packet.kind == ledcolor::E131Packet::Kind::kData &&
      InSpan(config_, packet.universe)) {
    ++stats_.dropped;
  }
}

void Output::Take(const ledcolor::ArtNetPacket& packet, std::uint32_t source,
                  std::uint32_t now_ms) {
  const bool taken = assembler_.Take(packet, source, now_ms,
                                     [this](std::span<const std::uint8_t> row) { Show(row); });
  if (!taken && packet.kind == ledcolor::ArtNetPacket::Kind::kDmx &&
      InSpan(config_, packet.port_address)) {
    ++stats_.dropped;
  }
}

void Output::Send(std::span<std::uint8_t> colours, Clock::time_point now) {
  if (config_.dither) {
    // A new frame starts from the dither's first phase.
    if (ShapeWide(config_, *gamma_.words, colours, work_, path_, wide_)) {
      dither_.Reset();
      SendPhase(now);
    }
    return;
  }
  const std::span<const std::uint8_t> bytes =
      EncodeFor(config_, gamma_.bytes ? &*gamma_.bytes : nullptr,
                gamma_.words ? &*gamma_.words : nullptr, colours, work_, path_, out_);
  if (!bytes.empty()) {
    device_->Send(bytes, now);
  }
}

void Output::SendPhase(Clock::time_point now) {
  phase_.resize(wide_.size());
  if (dither_.Next(wide_, phase_) != wide_.size()) {
    return;
  }
  const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(phase_.data()),
                                      3 * phase_.size());
  const std::span<const std::uint8_t> encoded =
      EncodeFor(plain_, nullptr, nullptr, bytes, work_, path_, out_);
  if (!encoded.empty()) {
    device_->Send(encoded, now);
  }
  next_phase_ = now + RefreshPeriod(config_);
}

void Output::Serve(Clock::time_point now) {
  if (has_waiting_ && !device_->Busy(now)) {
    has_waiting_ = false;
    Send(waiting_, now);
    ++stats_.shown;
    last_frame_ = now;
    dark_ = false;
  }
  if (config_.idle_ms != 0 && !dark_ && !has_waiting_ &&
      now - last_frame_ >= std::chrono::milliseconds(config_.idle_ms) && !device_->Busy(now)) {
    std::vector<std::uint8_t> black(3 * config_.leds, 0);
    Send(black, now);
    ++stats_.blanked;
    dark_ = true;
    next_phase_ = Clock::time_point::max();  // nothing to dither in the dark
  }
  if (config_.dither && !has_waiting_ && now >= next_phase_ && !device_->Busy(now)) {
    SendPhase(now);
  }
}

Clock::time_point Output::NextServe() const {
  Clock::time_point next = Clock::time_point::max();
  if (has_waiting_) {
    next = device_->NextTick();
  }
  if (config_.idle_ms != 0 && !dark_) {
    next = std::min(next, last_frame_ + std::chrono::milliseconds(config_.idle_ms));
  }
  if (config_.dither && next_phase_ != Clock::time_point::max()) {
    // The next phase, or later while the device is still latching the last one.
    const Clock::time_point device = device_->NextTick();
    next = std::min(
        next, device == Clock::time_point::max() ? next_phase_ : std::max(next_phase_, device));
  }
  return next;
}

void Output::BlankNow() {
  std::vector<std::uint8_t> black(3 * config_.leds, 0);
  const std::span<const std::uint8_t> bytes =
      EncodeFor(config_, gamma_.bytes ? &*gamma_.bytes : nullptr,
                gamma_.words ? &*gamma_.words : nullptr, black, work_, path_, out_);
  device_->Flush(bytes, std::chrono::milliseconds(1000));
}

}  // namespace tool
