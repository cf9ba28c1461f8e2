// One output: its frame assembler, the path that shapes and encodes a frame, and its device. The
// newest frame wins: while the device is busy, a frame the assembler shows waits in one slot, and a
// newer one replaces it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "config.h"
#include "devices.h"
#include "ledcolor/ledcolor.h"

namespace tool {

struct OutputStats {
  std::uint64_t shown = 0;     // frames sent to the device
  std::uint64_t replaced = 0;  // frames a newer one replaced before the device was free
  std::uint64_t dropped = 0;   // packets of its universes the assembler refused: late, repeated,
                               // another source's, preview or terminated
  std::uint64_t blanked = 0;
};

// What a device takes for a shaped frame, made by the library: the strip's SPI bytes (spi:, file:),
// an Adalight frame (serial:), or the row itself (ddp:). `colours` is the frame as received, 3
// bytes an LED, and is shaped in place. Returns the bytes of `out` to send; empty when the frame
// could not be made.
std::span<const std::uint8_t> EncodeFor(const OutputConfig& output,
                                        const ledcolor::ByteTable* gamma,
                                        const ledcolor::WordTable* gamma16,
                                        std::span<std::uint8_t> colours,
                                        std::vector<ledcolor::Rgbw>& work,
                                        std::vector<std::uint8_t>& path,
                                        std::vector<std::uint8_t>& out);

// The bytes a strip device (spi:, file:) sends for each frame of the output.
std::size_t StripFrameBytes(const OutputConfig& output);

// The frame shaped in 16 bits: gamma from `colours` (3 bytes an LED) straight into 16 bits, the
// balance and budget there, in R G B order. What a dithered output shows over the dither's
// period. False when the frame does not fit.
bool ShapeWide(const OutputConfig& output, const ledcolor::WordTable& gamma16,
               std::span<std::uint8_t> colours, std::vector<ledcolor::Rgbw>& work,
               std::vector<std::uint8_t>& path, std::vector<ledcolor::Rgb16>& row);

// The time a dithered output waits between refreshes: 1 / refresh_hz, or the strip's wire time
// for a frame and its latch when that is longer.
std::chrono::microseconds RefreshPeriod(const OutputConfig& output);

// The bits of the temporal dither: 16 frames to a period.
inline constexpr std::uint8_t kDitherBits = 4;

// The gamma tables of an output's path: 8 bits, and 16 bits for a WS2816 or a dithered output
// (also at gamma 1.0).
struct GammaTables {
  std::optional<ledcolor::ByteTable> bytes;
  std::optional<ledcolor::WordTable> words;
  explicit GammaTables(const OutputConfig& output);
};

class Output {
 public:
  Output(OutputConfig config, std::unique_ptr<Device> device);

  const OutputConfig& Config() const { return config_; }
  Device& Dev() { return *device_; }
  const OutputStats& Stats() const { return stats_; }

  // A decoded packet, as every output of its protocol gets it. Returns whether it was for this
  // output (its universes, or its DDP stream).
  void Take(const ledcolor::DdpPacket& packet, std::uint32_t now_ms);
  void Take(const ledcolor::E131Packet& packet, std::uint32_t now_ms);
  void Take(const ledcolor::ArtNetPacket& packet, std::uint32_t source, std::uint32_t now_ms);

  // Sends the waiting frame when the device is free, and blanks once after idle_ms without one.
  void Serve(Clock::time_point now);
  // When Serve has something to do next: a frame waits for a busy device, or the idle time ends.
  [[nodiscard]] Clock::time_point NextServe() const;
  // One dark frame, sent and waited for: the last thing before exiting.
  void BlankNow();

 private:
  void Show(std::span<const std::uint8_t> row);
  void Send(std::span<std::uint8_t> colours, Clock::time_point now);
  // A dithered output: the 16-bit frame's next phase, shaped already, to the device.
  void SendPhase(Clock::time_point now);

  OutputConfig config_;
  std::unique_ptr<Device> device_;
  GammaTables gamma_;
  std::vector<ledcolor::Rgb> row_;
  ledcolor::FrameAssembler assembler_;
  std::vector<std::uint8_t> waiting_;  // the newest frame shown, not yet sent
  bool has_waiting_ = false;
  bool ddp_written_ = false;  // DDP data reached this output's row since its last show
  std::uint64_t shows_ = 0;   // frames the assembler showed
  std::vector<ledcolor::Rgbw> work_;
  std::vector<std::uint8_t> path_;
  std::vector<std::uint8_t> out_;
  Clock::time_point last_frame_;
  bool dark_ = false;  // blanked, and no frame since
  // Dithering: the frame in 16 bits, the dither, its phase in 8 bits, the output without shaping
  // (the 16-bit path shaped the frame), and when the next phase is due.
  std::vector<ledcolor::Rgb16> wide_;
  ledcolor::TemporalDither dither_{kDitherBits};
  std::vector<ledcolor::Rgb> phase_;
  OutputConfig plain_;
  Clock::time_point next_phase_ = Clock::time_point::max();
  OutputStats stats_;
};

}  // namespace tool
