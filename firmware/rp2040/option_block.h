// The options a flashed firmware reads at boot, so that one image serves every strip: a block in
// flash that `ledcolor uf2 set` writes into a UF2, and the image's own built-in options in a
// record at a fixed place, which a tool reads. Nothing chip-specific: the firmware, the tool and
// the tests share it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "firmware/rp2040/path.h"

namespace firmware {

// The option block: the last 4 KiB of the first MiB of flash, beyond any image (a firmware of
// 1 MiB would not fit a Pico's SRAM anyway). The built-in record: right after the vector table,
// 256 bytes into the image.
inline constexpr std::uint32_t kFlashBase = 0x10000000;
inline constexpr std::uint32_t kOptionBlockAddress = 0x100FF000;
inline constexpr std::uint32_t kOptionBlockSize = 4096;
inline constexpr std::uint32_t kBuiltInAddress = 0x10000200;

// What a block holds: every option that does not size storage (max_leds may lower the build's
// capacity, never raise it), and the gamma tables the tool computed, so the chip does no floating
// point (gamma_milli is the gamma they were made for, shown by the tool).
struct Settings {
  Options options;
  std::uint32_t gamma_milli = 1000;
  ledcolor::ByteTable gamma{};
  ledcolor::WordTable gamma16{};
};

// A build's own options as a block holds them, with the tables the compiler computes from their
// gamma (0.1 to 10).
constexpr Settings SettingsOf(const Options& built_in) {
  return {built_in, static_cast<std::uint32_t>(built_in.gamma * 1000 + 0.5),
          *ledcolor::MakeGammaTable(built_in.gamma), *ledcolor::MakeGammaTable16(built_in.gamma)};
}

// A block: magic, version (16 bits), the payload's length (16 bits), the payload's CRC-32 (the
// zlib one), then the payload, all little-endian. The built-in record is a block with its own
// magic and two more bytes, the image's capacity (MAX_LEDS).
inline constexpr std::uint32_t kBlockMagic = 0x424F434C;   // "LCOB"
inline constexpr std::uint32_t kRecordMagic = 0x5249434C;  // "LCIR"
inline constexpr std::uint16_t kBlockVersion = 1;
inline constexpr std::size_t kPayloadBytes = 828;
inline constexpr std::size_t kBlockBytes = 12 + kPayloadBytes;
inline constexpr std::size_t kRecordBytes = kBlockBytes + 2;

namespace block {

// CRC-32 as zlib computes it (reflected, polynomial 0xEDB88320): a tool anywhere can check it.
constexpr std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1U) != 0 ? (crc >> 1) ^ 0xEDB88320U : crc >> 1;
    }
  }
  return ~crc;
}

constexpr void Put(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value,
                   std::size_t bytes) {
  for (std::size_t k = 0; k < bytes; ++k) {
    out[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

}  // namespace block

// Writes a block (or, with a capacity, the record) into `out`; returns the bytes written, 0 when
// it does not fit. Usable in a constant expression: the image's record is made by the compiler.
constexpr std::size_t WriteBlock(const Settings& settings, std::uint32_t magic,
                                 std::span<std::uint8_t> out,
                                 std::optional<std::uint16_t> capacity = std::nullopt) {
  using block::Put;
  const std::size_t size = capacity ? kRecordBytes : kBlockBytes;
  if (out.size() < size) {
    return 0;
  }
  for (std::size_t i = 0; i < size; ++i) {
    out[i] = 0;
  }
  const Options& o = settings.options;
  const std::span<std::uint8_t> p = out.subspan(12, kPayloadBytes);
  p[0] = static_cast<std::uint8_t>(o.strip);
  p[1] = static_cast<std::uint8_t>(o.order);
  p[2] = static_cast<std::uint8_t>(o.format);
  p[3] = static_cast<std::uint8_t>(o.white_rule);
  p[4] = static_cast<std::uint8_t>(o.white_position);
  p[5] = static_cast<std::uint8_t>(o.outputs);
  p[6] = o.status_pin < 0 ? 0xFF : static_cast<std::uint8_t>(o.status_pin);
  p[7] = static_cast<std::uint8_t>(o.data_pin);
  Put(p, 8, o.baud, 4);
  Put(p, 12, o.budget_ma, 4);
  Put(p, 16, o.white_ma, 4);
  Put(p, 20, o.idle_ms, 4);
  Put(p, 24, o.spi_hz, 4);
  Put(p, 28, settings.gamma_milli, 4);
  Put(p, 32, static_cast<std::uint32_t>(o.max_leds), 2);
  for (std::size_t k = 0; k < o.segments.size(); ++k) {
    Put(p, 34 + 2 * k, o.segments[k], 2);
  }
  p[50] = o.white_point.r;
  p[51] = o.white_point.g;
  p[52] = o.white_point.b;
  p[53] = o.balance.r;
  p[54] = o.balance.g;
  p[55] = o.balance.b;
  p[56] = o.balance.w;
  for (std::size_t v = 0; v < 256; ++v) {
    p[60 + v] = settings.gamma[v];
    Put(p, 316 + 2 * v, settings.gamma16[v], 2);
  }
  Put(out, 0, magic, 4);
  Put(out, 4, kBlockVersion, 2);
  Put(out, 6, kPayloadBytes, 2);
  Put(out, 8, block::Crc32(p), 4);
  if (capacity) {
    Put(out, kBlockBytes, *capacity, 2);
  }
  return size;
}

// What is wrong with a block, for the tool to name.
enum class BlockFault : std::uint8_t { kNone, kMissing, kDamaged, kVersion, kOutOfRange };
struct ReadResult {
  std::optional<Settings> settings;
  BlockFault fault = BlockFault::kMissing;
  std::uint16_t capacity = 0;  // the record's
};
// Reads a block (magic kBlockMagic) or the record (kRecordMagic): a wrong magic is a missing
// block, a wrong length or CRC a damaged one; a value out of range (Check, for `capacity` LEDs;
// a record checks against its own) rejects it whole.
ReadResult ReadBlock(std::span<const std::uint8_t> bytes, std::uint32_t magic,
                     std::uint16_t capacity = 0);

// The first option out of range, the rules the configure step applies, for an image of
// `capacity` LEDs whose DMA buffer holds `words` words (0: not checked): which rule, and the
// values a message names. kNone when all hold.
struct Problem {
  enum class Kind : std::uint8_t {
    kNone,
    kChoice,       // an enumeration out of range (a: which option, 0-5 as ChoiceOf)
    kBaud,         // a: the baud rate; 9600 to 7 800 000
    kMaxLeds,      // a: max_leds; 1 to capacity (b)
    kOutputs,      // a: outputs; 1 to 8
    kOutputsSpi,   // a: outputs, on an SPI strip
    kPin,          // a: the pin, b: the first output's, c: the outputs
    kPinIsStatus,  // a: the pin
    kStatusPin,    // a: the status pin
    kSegments,     // the counts are not one of 1 or more for each output
    kSegmentsSum,  // a: their sum, b: max_leds
    kWords,        // a: words the outputs' slots need, b: the image's
  };
  Kind kind = Kind::kNone;
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::uint32_t c = 0;
};
Problem Check(const Options& options, std::size_t capacity, std::size_t words);

// The DMA words a frame of max_leds LEDs takes under `options` (StartStrip's, or the parallel
// outputs' slots).
constexpr std::size_t WordsNeeded(const Options& options) {
  if (!options.OneWire()) {
    return options.MaxOutBytes();
  }
  if (options.outputs > 1) {
    return 2 * options.LedBytes() * options.MaxSlots();
  }
  return options.strip == Strip::kWs2816 ? 2 * options.max_leds : options.max_leds;
}

// The most bytes any strip's chips take for the build's max_leds (the capacity), and the DMA words
// an image holds: room for its built-in options, and for any strip on one output.
constexpr std::size_t MostOutBytes(const Options& built_in) {
  std::size_t most = 0;
  for (std::uint8_t strip = 0; strip <= static_cast<std::uint8_t>(Strip::kWs2816); ++strip) {
    Options o = built_in;
    o.strip = static_cast<Strip>(strip);
    most = o.MaxOutBytes() > most ? o.MaxOutBytes() : most;
  }
  return most;
}
constexpr std::size_t ImageWords(const Options& built_in) {
  return WordsNeeded(built_in) > MostOutBytes(built_in) ? WordsNeeded(built_in)
                                                        : MostOutBytes(built_in);
}

// The strips' names, as the options and the hello line spell them.
inline constexpr std::array<const char*, 7> kStripNames{"ws2812",  "sk6812", "apa102", "ws2801",
                                                        "lpd8806", "p9813",  "ws2816"};

}  // namespace firmware
