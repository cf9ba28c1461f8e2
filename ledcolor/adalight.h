// The wire: Adalight frames, as hosts send them over a serial line -- their sizes, the encoder and
// decoder of one frame, and the reader that finds them in a byte stream.
//
// A frame is a six-byte header -- three letters, the count N - 1 high byte first, and the checksum
// hi ^ lo ^ 0x55 -- then the 3N colour bytes, R G B of the first LED first; in the checked format
// three check bytes follow.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ledcolor/color.h"
#include "ledcolor/light.h"

namespace ledcolor {

inline constexpr std::size_t kAdalightHeaderSize = 6;

// The count field holds N - 1 in 16 bits, so one frame carries 1 to 65536 LEDs.
inline constexpr std::size_t kAdalightMaxLeds = 65536;

// The two layouts of a frame. kClassic: "Ada", the count and its checksum, the colours -- what
// most hosts send, with nothing to catch a corrupted colour. kAwa: "Awa", the same count and
// checksum, the colours, then three check bytes over the colours -- what high-speed hosts send, so
// that a receiver shows no frame that a bit error or a dropped byte has touched. A reader in kAwa
// also takes the checked format's two other variants and the hosts' requests:
//   "AwA": the colours, then the host's white calibration (gain, red, green, blue), the check
//          bytes over both -- sent when the host's white-channel calibration is on;
//   "AWa": 4N bytes, R G B W for each LED, then the check bytes -- sent when the host converts to
//          RGBW itself;
//   hello "AwA" 2A A2 15 and goodbye "AwA" 2A A2 35: six bytes whose last is not the header's
//          checksum (that would be DD), so never a frame.
enum class AdalightFormat : std::uint8_t { kClassic, kAwa };

// The check bytes after a checked frame's payload, and the calibration bytes an "AwA" frame's
// colours carry before them.
inline constexpr std::size_t kAdalightCheckSize = 3;
inline constexpr std::size_t kAdalightCalibrationSize = 4;

// What a host's six-byte request asks: hello (identify yourself) or goodbye (the host is closing
// the port).
enum class HostRequest : std::uint8_t { kNone, kHello, kGoodbye };

// The number of bytes a frame of `led_count` LEDs takes: 6 + 3N, and 9 + 3N in the checked format.
// 0 when no frame can hold that many (0 or more than kAdalightMaxLeds) or the format is neither of
// the two, which is also what EncodeAdalightFrame returns for them.
[[nodiscard]] constexpr std::size_t AdalightFrameSize(
    std::size_t led_count, AdalightFormat format = AdalightFormat::kClassic) noexcept {
  if (led_count == 0 || led_count > kAdalightMaxLeds) {
    return 0;
  }
  switch (format) {
    case AdalightFormat::kClassic:
      return kAdalightHeaderSize + 3 * led_count;
    case AdalightFormat::kAwa:
      return kAdalightHeaderSize + 3 * led_count + kAdalightCheckSize;
  }
  return 0;
}

// The bytes of an "AwA" frame of `led_count` LEDs, 13 + 3N, and of an "AWa" frame, 9 + 4N; 0 when
// no frame can hold that many (0 or more than kAdalightMaxLeds).
[[nodiscard]] constexpr std::size_t AdalightCalibratedFrameSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > kAdalightMaxLeds
             ? 0
             : kAdalightHeaderSize + 3 * led_count + kAdalightCalibrationSize + kAdalightCheckSize;
}
[[nodiscard]] constexpr std::size_t AdalightRgbwFrameSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > kAdalightMaxLeds
             ? 0
             : kAdalightHeaderSize + 4 * led_count + kAdalightCheckSize;
}

// The storage an AdalightReader needs, in Rgb, to take frames of up to `max_leds` LEDs of
// `channels` bytes each: max_leds for 3 ("Ada", "Awa", "AwA"), and for 4 -- "AWa" frames, R G B W
// -- the 4 * max_leds bytes rounded up to whole Rgb. A reader in kAwa that may meet "AWa" frames
// needs the latter: std::array<Rgb, max_leds> takes no "AWa" frame of max_leds LEDs. 0 for a
// channel count other than 3 or 4, or when the bytes would not fit in std::size_t.
//   std::array<ledcolor::Rgb, ledcolor::AdalightStorageLeds(kLeds, 4)> storage{};
[[nodiscard]] constexpr std::size_t AdalightStorageLeds(std::size_t max_leds,
                                                        std::size_t channels) noexcept {
  if ((channels != 3 && channels != 4) || max_leds > SIZE_MAX / channels) {
    return 0;
  }
  const std::size_t bytes = channels * max_leds;
  return bytes / 3 + (bytes % 3 != 0 ? 1 : 0);
}

// Writes the six bytes of a host's request to the front of `out`: hello "AwA" 2A A2 15, goodbye
// "AwA" 2A A2 35. Returns 6; 0, with nothing written, for kNone, a value that is no HostRequest,
// or an `out` shorter than 6. For hosts, and for tests of a controller.
[[nodiscard]] std::size_t EncodeHostRequest(HostRequest request,
                                            std::span<std::uint8_t> out) noexcept;

// Writes the classic frame for the row to the front of `frame`: "Ada", the count N - 1 high byte
// first, the checksum hi ^ lo ^ 0x55, then the 3N colour bytes unchanged. Returns the bytes
// written, AdalightFrameSize(N). An empty row, more than kAdalightMaxLeds LEDs, or a `frame`
// shorter than that is rejected. The row may overlap `frame`, so a row can be encoded in place.
[[nodiscard]] std::size_t EncodeAdalightFrame(std::span<const Rgb> leds,
                                              std::span<std::uint8_t> frame) noexcept;

// The same in either format. kClassic gives exactly the frame above. kAwa writes "Awa", the same
// count and checksum, the colours, then three check bytes over the 3N colour bytes b_0 ... b_3N-1:
//   f1 = (sum of b_k) mod 255;
//   f2 = (sum over k of f1 taken over b_0 ... b_k) mod 255;
//   fx = (sum of b_k XOR (k mod 256)) mod 255, sent as 0xAA when it comes out as 0x41 ('A').
// The position k counts from 0 and wraps every 256 bytes, as the receivers check it (some hosts
// start at 1, or never wrap: their frames are rejected). Returns AdalightFrameSize(N, format).
// Rejected as above, and for a format that is neither. The row may overlap `frame`.
[[nodiscard]] std::size_t EncodeAdalightFrame(std::span<const Rgb> leds,
                                              std::span<std::uint8_t> frame,
                                              AdalightFormat format) noexcept;

// Writes an "AwA" frame: "AwA", the count and checksum, the colours, the four calibration bytes
// (gain, red, green, blue), then the three check bytes over the colours and the calibration
// together. Returns AdalightCalibratedFrameSize(N); rejected, and the row may overlap `frame`, as
// above.
[[nodiscard]] std::size_t EncodeAdalightFrame(std::span<const Rgb> leds,
                                              std::span<std::uint8_t> frame,
                                              const WhiteCalibration& calibration) noexcept;

// Writes an "AWa" frame: "AWa", the count and checksum, the 4N bytes R G B W of each LED, then the
// three check bytes over them. Returns AdalightRgbwFrameSize(N); rejected, and the row may overlap
// `frame`, as above.
[[nodiscard]] std::size_t EncodeAdalightFrame(std::span<const Rgbw> leds,
                                              std::span<std::uint8_t> frame) noexcept;

// Reads one classic frame from the front of `frame`: "Ada", the count N - 1 high byte first, the
// checksum hi ^ lo ^ 0x55, then 3N colour bytes, which are copied to the front of the storage
// `leds`. Returns N. A wrong letter or checksum, fewer than AdalightFrameSize(N) bytes, or storage
// shorter than N is rejected. Bytes after the frame are ignored; the storage may overlap `frame`.
[[nodiscard]] std::size_t DecodeAdalightFrame(std::span<const std::uint8_t> frame,
                                              std::span<Rgb> leds) noexcept;

// The same in either format: in kAwa the letters are "Awa" and the three check bytes after the
// colours must match them too. A wrong letter, header checksum or check byte, too few bytes,
// storage shorter than N, or a format that is neither is rejected.
[[nodiscard]] std::size_t DecodeAdalightFrame(std::span<const std::uint8_t> frame,
                                              std::span<Rgb> leds, AdalightFormat format) noexcept;

// Finds Adalight frames in a byte stream that arrives in pieces of any size, as from a serial
// line: with noise, bit errors, dropped bytes, or a sender that started mid-frame or restarted.
// A frame starts at the earliest position, at or after the end of the previous frame, where a
// frame lies; a candidate that fails is given up by its first byte only, and the search goes on
// from the byte after it, so a failed candidate never hides a real frame that begins inside it.
// The frames found do not depend on how the stream is cut into pieces. No heap: the colours land
// in `storage`.
//   kClassic: a candidate fails on a wrong letter or header checksum. The 3N bytes after a valid
//     header are that frame's colours, whatever they hold.
//   kAwa: all three checked variants ("Awa", "AwA", "AWa") and the hosts' requests. A candidate
//     fails on a wrong letter, header checksum or check byte, and a header whose colours exceed
//     the storage is no candidate: size the storage for the largest frame the host sends (an "AWa"
//     frame of N LEDs takes 4N of its 3 * storage.size() bytes). The candidate's colours wait in
//     the storage for its check bytes; when they fail, the search goes on through the bytes the
//     candidate held, colours included, so a frame cut off by a restarted sender costs only
//     itself, not the intact frame whose header it swallowed. A request starts where one lies,
//     by the same rule, and its six bytes are the request's: neither a frame's nor skipped.
class AdalightReader {
 public:
  // `storage` must outlive the reader. In kClassic a frame of more LEDs than it holds keeps its
  // first storage.size() colours; the rest of its payload is read and dropped. A format that is
  // neither of the two finds no frames: every byte is skipped.
  constexpr explicit AdalightReader(std::span<Rgb> storage,
                                    AdalightFormat format = AdalightFormat::kClassic) noexcept
      : storage_(storage), feed_(FeedOf(format)) {}

  // What the bytes taken completed: a frame (led_count > 0), a request, or neither. Everything it
  // points to lies in the storage and is valid until the next Feed or Reset.
  struct Result {
    std::size_t consumed;  // bytes taken from the front of the input
    // Which colours a frame fills: an "Ada", "Awa" or "AwA" frame fills `leds` and leaves
    // `leds_rgbw` empty; an "AWa" frame fills `leds_rgbw` and leaves `leds` empty. So a controller
    // that reads only `leds` shows nothing of an "AWa" frame: it must read `leds_rgbw` too (an RGB
    // strip shows its red, green and blue), or know that its host never sends one.
    std::size_t led_count;      // N of the frame these bytes completed; 0 when none was
    std::span<const Rgb> leds;  // "Ada", "Awa", "AwA": its first min(N, storage.size()) colours
    std::span<const Rgbw> leds_rgbw = {};              // "AWa": its N colours
    std::optional<WhiteCalibration> calibration = {};  // an "AwA" frame's, as sent
    HostRequest request = HostRequest::kNone;          // the request these bytes completed
  };

  // Takes bytes up to and including the last byte of the next complete frame or request, or all
  // of them when none completes; so a caller feeds the rest of its buffer again until nothing is
  // left. In kAwa a failed candidate can leave more than one complete frame or request in what the
  // reader holds: Feed hands them out one at a time, taking no input (`consumed` 0) while it does.
  // An empty input takes nothing, but still hands out such a one: calls with an empty input get
  // them all, until one completes neither a frame nor a request.
  // `bytes` may lie in the storage itself (a firmware that reads its serial port into a spare part
  // of one buffer). A frame's colours are written from the front of the storage, below the bytes
  // they come from, so nothing not yet read is overwritten when the bytes are fed in the order they
  // lie, or lie beyond the colours of the largest frame announced in them.
  [[nodiscard]] Result Feed(std::span<const std::uint8_t> bytes) noexcept {
    return (this->*feed_)(bytes);
  }

  // Forgets any partial header or frame held, counting its bytes as skipped: the next byte starts
  // a fresh hunt. For a caller that sees a gap on the line (the sender restarted) or reopens the
  // port.
  void Reset() noexcept;

  // How far the frame being read has come, for a controller that works on its LEDs as they
  // arrive rather than after its last byte: its header's N and kind once the header is whole, and
  // the colour bytes stored so far, at the front of the storage. Nothing here is final until Feed
  // returns the frame: a frame whose check fails is dropped, and the reader may then find another
  // in the bytes it holds. `candidate` numbers the frames begun, so what was worked out from one
  // candidate's bytes holds for a later Progress, or for the frame Feed returns next, only while
  // Collecting() gives the same number (a frame returned under another number is not the one
  // that was being read). Costs nothing while frames arrive: the reader keeps no more than it did.
  struct Progress {
    std::size_t led_count = 0;  // N of the frame being read; 0 while no header is whole
    bool rgbw = false;          // an "AWa" frame: four bytes an LED
    bool calibrated = false;    // an "AwA" frame: its calibration comes after the colours
    std::span<const std::uint8_t> colours;  // its colour bytes stored so far
    std::uint32_t candidate = 0;
  };
  [[nodiscard]] Progress Collecting() const noexcept;

  // Bytes given up so far: noise, a sender that started mid-frame, failed candidates, Reset. Each
  // byte fed is a frame's, a request's, skipped, or still held, and only one of these.
  [[nodiscard]] std::uint64_t SkippedBytes() const noexcept { return skipped_bytes_; }
  // Frames completed so far that held more LEDs than the storage, and so were cut to it (kClassic
  // only: in kAwa such a header is no candidate).
  [[nodiscard]] std::uint64_t TruncatedFrames() const noexcept { return truncated_frames_; }

 private:
  // kClassic. Each takes from the front of `bytes` and returns how many it took: Hunt up to the
  // end of the next valid header, TakePayload up to the end of the current frame's colours.
  std::size_t Hunt(std::span<const std::uint8_t> bytes) noexcept;
  std::size_t TakePayload(std::span<const std::uint8_t> bytes) noexcept;

  // The reading of each format, picked when the reader is made: a firmware that names its format
  // there links the reading of that format alone.
  using FeedFunction = Result (AdalightReader::*)(std::span<const std::uint8_t>) noexcept;
  static constexpr FeedFunction FeedOf(AdalightFormat format) noexcept {
    return format == AdalightFormat::kAwa       ? &AdalightReader::FeedChecked
           : format == AdalightFormat::kClassic ? &AdalightReader::FeedClassic
                                                : &AdalightReader::FeedNothing;
  }
  Result FeedClassic(std::span<const std::uint8_t> bytes) noexcept;
  // A format that is neither: every byte is skipped.
  Result FeedNothing(std::span<const std::uint8_t> bytes) noexcept;

  // kAwa. What the reader holds is one run of stream bytes in three places: header_, then
  // held_size_ bytes of the storage from byte held_from_, then tail_. While a candidate is being
  // read it starts the run: its header, its colours at the front of the storage, then in tail_
  // what follows them (an "AwA" frame's calibration, the check bytes). A run with no header
  // follows a frame or request found in it, and awaits a Search.
  Result FeedChecked(std::span<const std::uint8_t> bytes) noexcept;
  // Searches the held run from its first byte: for the first frame or request that lies complete
  // in it, which is taken (a frame's colours moved into place, what Found reports kept in found_)
  // and answers true, the rest of the run kept for the next search; else for the first position
  // that may still start one, which becomes the candidate being read; else gives up the whole run.
  bool Search() noexcept;
  // Takes the candidate being read when it is whole, as Search would, when its check bytes match.
  bool TakeWhole() noexcept;
  // The Result of what Search found last, taking `consumed` bytes of the input.
  [[nodiscard]] Result Found(std::size_t consumed) const noexcept;
  // Drops the held bytes before `end`, keeping the rest as a run with no header.
  void KeepFrom(std::size_t end) noexcept;
  // The candidate at `at`, with the header bytes held for it, made the one being read: its
  // `colour_bytes` go to the storage, the `trailer_bytes` after them to tail_.
  void Adopt(std::size_t at, const std::array<std::uint8_t, kAdalightHeaderSize>& header,
             std::size_t have, std::size_t colour_bytes, std::size_t trailer_bytes) noexcept;
  [[nodiscard]] std::uint8_t HeldByte(std::size_t at) const noexcept;
  // Copies the held bytes [from, from + size) to the front of the storage.
  void MoveToStorage(std::size_t from, std::size_t size) noexcept;
  // Whether the held bytes at `payload` are `size` bytes followed by their three check bytes.
  [[nodiscard]] bool ChecksMatch(std::size_t payload, std::size_t size) const noexcept;
  [[nodiscard]] std::uint8_t* StorageBytes() const noexcept {
    return reinterpret_cast<std::uint8_t*>(storage_.data());
  }

  std::span<Rgb> storage_;
  FeedFunction feed_;
  std::array<std::uint8_t, kAdalightHeaderSize> header_{};
  std::size_t header_size_ = 0;   // bytes of a candidate header held in header_
  std::size_t led_count_ = 0;     // N of the frame whose payload is being read
  std::size_t payload_size_ = 0;  // kClassic: its 3N colour bytes
  std::size_t payload_left_ = 0;  // of which not yet read; 0 while hunting for a header
  std::size_t held_from_ = 0;     // kAwa: the held run's bytes in the storage
  std::size_t held_size_ = 0;
  std::size_t colour_bytes_ = 0;   // kAwa: the candidate's colour bytes, 3N or 4N
  std::size_t trailer_bytes_ = 0;  // and what follows them
  // kAwa: what Search found last -- the variant (0 "Awa", 1 "AwA", 2 "AWa"), a request, an "AwA"
  // frame's calibration -- and its N.
  struct {
    std::uint8_t variant;
    HostRequest request;
    std::array<std::uint8_t, kAdalightCalibrationSize> calibration;
  } found_{};
  std::size_t found_leds_ = 0;
  // kAwa: the check sums of the candidate's colours held so far, kept as they arrive, so that the
  // check after its last byte costs the same for any length.
  std::array<std::uint32_t, 4> colour_sums_{};
  std::array<std::uint8_t, kAdalightCalibrationSize + kAdalightCheckSize> tail_{};
  std::size_t tail_size_ = 0;
  std::uint64_t skipped_bytes_ = 0;  // 64 bits: a busy serial link passes 4 GiB within a day
  std::uint64_t truncated_frames_ = 0;
  std::uint32_t candidate_ = 0;  // frames begun (Progress::candidate)
};

// Reads one checked frame -- "Awa", "AwA" or "AWa" -- or a host request from the front of `frame`,
// as a reader in kAwa over `storage` would find it there: the colours go to the front of the
// storage, and `out` reports it as Feed does, `consumed` its size. False, with nothing written
// and `out` untouched, when the front holds none of them whole and intact, or the colours do not
// fit. Bytes after it are ignored; the storage may overlap `frame`.
[[nodiscard]] bool DecodeAdalightFrame(std::span<const std::uint8_t> frame, std::span<Rgb> storage,
                                       AdalightReader::Result& out) noexcept;

}  // namespace ledcolor
