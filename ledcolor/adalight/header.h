// The Adalight header as the encoders write it and the decoders and the reader check it.
// Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "ledcolor/adalight.h"

namespace ledcolor::adalight {

inline constexpr std::uint8_t kMagic[] = {0x41, 0x64, 0x61};            // "Ada"
inline constexpr std::uint8_t kCheckedMagic[] = {0x41, 0x77, 0x61};     // "Awa"
inline constexpr std::uint8_t kCalibratedMagic[] = {0x41, 0x77, 0x41};  // "AwA"
inline constexpr std::uint8_t kRgbwMagic[] = {0x41, 0x57, 0x61};        // "AWa"
static_assert(kMagic[0] == kCheckedMagic[0], "every frame starts with 'A': one NextStart serves");

// The N of a header's count field, which holds N - 1, high byte first.
constexpr std::size_t CountField(const std::uint8_t* header) noexcept {
  return ((std::size_t{header[3]} << 8) | header[4]) + 1;
}

// The N that a complete six-byte header announces, 1 to 65536, or 0 when it is no header.
constexpr std::size_t LedCount(const std::uint8_t* header,
                               const std::uint8_t (&magic)[3] = kMagic) noexcept {
  if (header[0] != magic[0] || header[1] != magic[1] || header[2] != magic[2] ||
      header[5] != (header[3] ^ header[4] ^ 0x55)) {
    return 0;
  }
  return CountField(header);
}

// The position of the first 'A' -- where every frame starts -- at or after `from`, or the end of
// `bytes` when there is none: everything before it is noise. On 64-bit hosts memchr finds it
// fastest, many bytes at a time; a 32-bit microcontroller's memchr goes a byte at a time as this
// loop does, and the loop saves linking it.
inline std::size_t NextStart(std::span<const std::uint8_t> bytes, std::size_t from) noexcept {
  if constexpr (sizeof(void*) == 8) {
    const void* found = std::memchr(bytes.data() + from, kMagic[0], bytes.size() - from);
    return found == nullptr
               ? bytes.size()
               : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data());
  } else {
    while (from < bytes.size() && bytes[from] != kMagic[0]) {
      ++from;
    }
    return from;
  }
}

// Writes the six header bytes for N LEDs, 1 <= N <= 65536.
constexpr void WriteHeader(std::uint8_t* out, const std::uint8_t (&magic)[3],
                           std::size_t led_count) noexcept {
  // N - 1, because a frame always holds at least one LED: 16 bits then reach 65536 LEDs.
  const std::size_t count = led_count - 1;
  const auto hi = static_cast<std::uint8_t>(count >> 8);
  const auto lo = static_cast<std::uint8_t>(count & 0xFF);
  out[0] = magic[0];
  out[1] = magic[1];
  out[2] = magic[2];
  out[3] = hi;
  out[4] = lo;
  out[5] = static_cast<std::uint8_t>(hi ^ lo ^ 0x55);
}

// The checked variants, by their letters.
enum class Variant : std::uint8_t { kAwa, kCalibrated, kRgbw };

// The bytes of a variant's payload that go to the storage (3N, or 4N for RGBW), and the bytes
// between them and the frame's end (the calibration of an "AwA" frame, the check bytes).
constexpr std::size_t ColourBytes(Variant variant, std::size_t led_count) noexcept {
  return (variant == Variant::kRgbw ? 4 : 3) * led_count;
}
constexpr std::size_t TrailerBytes(Variant variant) noexcept {
  return (variant == Variant::kCalibrated ? kAdalightCalibrationSize : 0) + kAdalightCheckSize;
}

// What the first `have` bytes (up to six) of a checked header can still be, for storage of
// `storage_bytes` bytes: each byte is judged as it comes, the count as soon as both its bytes
// are there, the variant by its letters.
struct Judgement {
  // kNo is not 0: an all-zero object is returned by clearing it through a memset call at -Os.
  enum class Kind : std::uint8_t { kNo = 1, kMaybe, kFrame, kRequest } kind;
  Variant variant;
  std::size_t led_count;  // a kFrame's N
  HostRequest request;    // a kRequest's
};

// The variant the first `have` letters can still begin (kAwa while fewer than three are there),
// or nothing.
constexpr std::optional<Variant> LettersOf(const std::uint8_t* header, std::size_t have) noexcept {
  if (have >= 1 && header[0] != 0x41) {  // 'A'
    return std::nullopt;
  }
  if (have >= 2 && header[1] != 0x77 && header[1] != 0x57) {  // 'w' or 'W'
    return std::nullopt;
  }
  if (have < 3) {
    return Variant::kAwa;
  }
  if (header[2] == 0x61) {  // 'a': "Awa" or "AWa"
    return header[1] == 0x57 ? Variant::kRgbw : Variant::kAwa;
  }
  if (header[2] == 0x41 && header[1] == 0x77) {  // "AwA"
    return Variant::kCalibrated;
  }
  return std::nullopt;
}

inline constexpr Judgement kNo{Judgement::Kind::kNo, Variant::kAwa, 0, HostRequest::kNone};

constexpr Judgement JudgeChecked(const std::uint8_t* header, std::size_t have,
                                 std::size_t storage_bytes) noexcept {
  using Kind = Judgement::Kind;
  const std::optional<Variant> variant = LettersOf(header, have);
  if (!variant) {
    return kNo;
  }
  // Requests are "AwA" 2A A2 and one of two bytes, which fit any storage.
  const bool request_so_far = *variant == Variant::kCalibrated && (have < 4 || header[3] == 0x2A) &&
                              (have < 5 || header[4] == 0xA2);
  const std::size_t led_count = have >= 5 ? CountField(header) : 0;
  const bool fits = ColourBytes(*variant, led_count) <= storage_bytes;
  if (!fits && !request_so_far) {
    return kNo;
  }
  if (have < kAdalightHeaderSize) {
    return {Kind::kMaybe, *variant, 0, HostRequest::kNone};
  }
  if (request_so_far && (header[5] == 0x15 || header[5] == 0x35)) {
    return {Kind::kRequest, *variant, 0,
            header[5] == 0x15 ? HostRequest::kHello : HostRequest::kGoodbye};
  }
  if (!fits || header[5] != (header[3] ^ header[4] ^ 0x55)) {
    return kNo;
  }
  return {Kind::kFrame, *variant, led_count, HostRequest::kNone};
}

}  // namespace ledcolor::adalight
