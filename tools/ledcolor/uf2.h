// `ledcolor uf2`: a firmware's options set in a ready UF2, without a compiler, and shown.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "firmware/rp2040/option_block.h"

namespace tool {

// The firmware's options by their CMake names without the prefix (BAUD, STRIP, MAX_LEDS, ...),
// as strings, applied to `settings` (the image's built-in ones): every value checked as the
// firmware's configure step checks it, with its messages. An unset ORDER or SPI_HZ takes the
// chip's own when STRIP is given. False with the message in `error`.
bool ApplyOptions(const std::map<std::string, std::string>& values, std::size_t capacity,
                  firmware::Settings& settings, std::string& error);

// The options as the flags name them, one `name value` a line.
std::string DescribeOptions(const firmware::Settings& settings);

// A UF2 file: its 512-byte blocks, read whole or refused with the reason.
struct Uf2 {
  struct Block {
    std::uint32_t flags = 0;
    std::uint32_t address = 0;
    std::uint32_t family = 0;
    std::vector<std::uint8_t> data;  // the payload, 256 bytes for a Pico
  };
  std::vector<Block> blocks;
  // The flash bytes at [address, address + size): nullopt where a block is missing.
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> Read(std::uint32_t address,
                                                              std::size_t size) const;
};
std::optional<Uf2> ReadUf2(const std::string& path, std::string& error);
bool WriteUf2(const Uf2& uf2, const std::string& path, std::string& error);

struct Uf2Options {
  std::string input;
  std::string output;
  std::map<std::string, std::string> values;  // set: the options given
};
// `ledcolor uf2 set IN -o OUT --option value ...`: 0, or 2 when a value or the file is refused
// (nothing written).
int Uf2Set(const Uf2Options& options);
// `ledcolor uf2 show FILE`: the built-in options, the capacity, and the block's. 2 when the file
// is no UF2 of this firmware.
int Uf2Show(const std::string& path);

// The options `uf2 set` takes, by their CMake names, and the allowed values as the help says.
struct FirmwareOption {
  const char* name;  // BAUD, ...
  const char* help;
};
extern const std::vector<FirmwareOption> kFirmwareOptions;

}  // namespace tool
