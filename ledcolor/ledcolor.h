// ledcolor: the pure functions of an LED-strip controller, in the order a frame flows through one:
// the colour and its text form; the wire (frames, the reader); the light (tables, ceilings,
// power); the strip (the chips' bytes).
//
// Every function here is free of I/O, heap allocation and global state, and safe on any input.
// The same words mean the same things throughout:
//   row       the colours of a strip's LEDs, a span of Rgb (`leds`), N of them;
//   frame     the bytes of one Adalight frame, as a host sends them;
//   storage   the caller's Rgb into which the receiving functions write the colours they read;
//   rejected  the input is not one the function takes: it returns 0 (or false) and writes
//             nothing -- never out of bounds, never aborting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

namespace ledcolor {

// === The colour and its text form ===============================================================

// One LED colour. A row of N is exactly 3N bytes, R G B of the first LED first: the byte order an
// Adalight frame carries, so a row can be copied into a frame in one piece.
struct Rgb {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;

  friend constexpr bool operator==(const Rgb&, const Rgb&) noexcept = default;
};
static_assert(sizeof(Rgb) == 3 && alignof(Rgb) == 1, "a row of N Rgb must be exactly 3N bytes");
static_assert(std::is_trivially_copyable_v<Rgb> && std::is_aggregate_v<Rgb>);

// Reads a colour written as exactly six hexadecimal digits, red first ("FF8000").
// Upper and lower case are equal. Anything else -- a sign, a "0x" or "#" prefix, blanks,
// another length -- is rejected: returns false and leaves `out` as it was.
[[nodiscard]] bool ParseHexColor(std::string_view text, Rgb& out) noexcept;

// === The wire: Adalight frames, as hosts send them over a serial line ===========================
//
// A frame is a six-byte header -- three letters, the count N - 1 high byte first, and the checksum
// hi ^ lo ^ 0x55 -- then the 3N colour bytes, R G B of the first LED first; in the checked format
// three check bytes follow.

inline constexpr std::size_t kAdalightHeaderSize = 6;

// The count field holds N - 1 in 16 bits, so one frame carries 1 to 65536 LEDs.
inline constexpr std::size_t kAdalightMaxLeds = 65536;

// The two layouts of a frame. kClassic: "Ada", the count and its checksum, the colours -- what
// most hosts send, with nothing to catch a corrupted colour. kAwa: "Awa", the same count and
// checksum, the colours, then three check bytes over the colours -- what high-speed hosts send, so
// that a receiver shows no frame that a bit error or a dropped byte has touched.
enum class AdalightFormat : std::uint8_t { kClassic, kAwa };

// The check bytes after a kAwa frame's colours.
inline constexpr std::size_t kAdalightCheckSize = 3;

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
//   kAwa: a candidate fails on a wrong letter, header checksum or check byte, and a header whose
//     N exceeds the storage is no candidate: size the storage for the largest frame the host
//     sends. The candidate's colours wait in the storage for its check bytes; when they fail, the
//     search goes on through the bytes the candidate held, colours included, so a frame cut off by
//     a restarted sender costs only itself, not the intact frame whose header it swallowed.
class AdalightReader {
 public:
  // `storage` must outlive the reader. In kClassic a frame of more LEDs than it holds keeps its
  // first storage.size() colours; the rest of its payload is read and dropped. A format that is
  // neither of the two finds no frames: every byte is skipped.
  explicit AdalightReader(std::span<Rgb> storage,
                          AdalightFormat format = AdalightFormat::kClassic) noexcept
      : storage_(storage), format_(format) {}

  struct Result {
    std::size_t consumed;       // bytes taken from the front of the input
    std::size_t led_count;      // N of the frame these bytes completed; 0 when none was
    std::span<const Rgb> leds;  // its first min(N, storage.size()) colours, valid until next Feed
  };

  // Takes bytes up to and including the last byte of the next complete frame, or all of them when
  // none completes; so a caller feeds the rest of its buffer again until nothing is left. In kAwa
  // a failed candidate can leave more than one complete frame in what the reader holds: Feed hands
  // them out one at a time, taking no input (`consumed` 0) while it does. An empty input takes
  // nothing, but still hands out such a frame: one more call with an empty input gets them all.
  [[nodiscard]] Result Feed(std::span<const std::uint8_t> bytes) noexcept;

  // Forgets any partial header or frame held, counting its bytes as skipped: the next byte starts
  // a fresh hunt. For a caller that sees a gap on the line (the sender restarted) or reopens the
  // port.
  void Reset() noexcept;

  // Bytes given up so far: noise, a sender that started mid-frame, failed candidates, Reset. Each
  // byte fed is a frame's, skipped, or still held, and only one of these.
  [[nodiscard]] std::uint64_t SkippedBytes() const noexcept { return skipped_bytes_; }
  // Frames completed so far that held more LEDs than the storage, and so were cut to it (kClassic
  // only: in kAwa such a header is no candidate).
  [[nodiscard]] std::uint64_t TruncatedFrames() const noexcept { return truncated_frames_; }

 private:
  // kClassic. Each takes from the front of `bytes` and returns how many it took: Hunt up to the
  // end of the next valid header, TakePayload up to the end of the current frame's colours.
  std::size_t Hunt(std::span<const std::uint8_t> bytes) noexcept;
  std::size_t TakePayload(std::span<const std::uint8_t> bytes) noexcept;

  // kAwa. What the reader holds is one run of stream bytes in three places: header_, then
  // held_size_ bytes of the storage from byte held_from_, then tail_. While a candidate is being
  // read it starts the run: its header, its colours at the front of the storage, its check bytes.
  // A run with no header follows a frame found in it, and awaits a Search.
  Result FeedChecked(std::span<const std::uint8_t> bytes) noexcept;
  // Searches the held run from its first byte: for the first frame that lies complete in it, which
  // is moved into place and whose N is returned, the rest of the run kept for the next search;
  // else for the first position that may still start a frame, which becomes the candidate being
  // read (returns 0); else gives up the whole run.
  std::size_t Search() noexcept;
  // Search's two ways out: the frame whose colours start at held position `colours`, taken; the
  // candidate at `at`, with the header bytes held for it, made the one being read.
  void TakeFrame(std::size_t colours, std::size_t led_count) noexcept;
  void Adopt(std::size_t at, const std::array<std::uint8_t, kAdalightHeaderSize>& header,
             std::size_t led_count) noexcept;
  [[nodiscard]] std::uint8_t HeldByte(std::size_t at) const noexcept;
  // Copies the held bytes [from, from + size) to the front of the storage.
  void MoveToStorage(std::size_t from, std::size_t size) noexcept;
  // Whether the held bytes at `colours` are 3N colours followed by their three check bytes.
  [[nodiscard]] bool ChecksMatch(std::size_t colours, std::size_t led_count) const noexcept;
  [[nodiscard]] std::uint8_t* StorageBytes() const noexcept {
    return reinterpret_cast<std::uint8_t*>(storage_.data());
  }

  std::span<Rgb> storage_;
  AdalightFormat format_;
  std::array<std::uint8_t, kAdalightHeaderSize> header_{};
  std::size_t header_size_ = 0;   // bytes of a candidate header held in header_
  std::size_t led_count_ = 0;     // N of the frame whose payload is being read
  std::size_t payload_size_ = 0;  // kClassic: its 3N colour bytes
  std::size_t payload_left_ = 0;  // of which not yet read; 0 while hunting for a header
  std::size_t held_from_ = 0;     // kAwa: the held run's bytes in the storage
  std::size_t held_size_ = 0;
  std::array<std::uint8_t, kAdalightCheckSize> tail_{};
  std::size_t tail_size_ = 0;
  std::uint64_t skipped_bytes_ = 0;  // 64 bits: a busy serial link passes 4 GiB within a day
  std::uint64_t truncated_frames_ = 0;
};

// === The light: shaping the values the LEDs are driven with =====================================
//
// A controller runs these on every frame, in this order: the gamma table (perceptual values into
// linear duty), the white balance (a ceiling per channel), then the power ceiling that keeps the
// strip within its supply, taken on the values the LEDs will really be driven with.

// --- Tables: a map of one byte, such as the gamma curve -----------------------------------------

// A value-to-value map of one byte, applied to every component of a row by ApplyTable.
using ByteTable = std::array<std::uint8_t, 256>;

namespace detail {

// ln(x) for 0 < x <= 1, in a constant expression: x = m * 2^e with m near 1, and
// ln(m) = 2 atanh((m - 1) / (m + 1)), whose series gains four decimal digits a term there.
constexpr double Log(double x) noexcept {
  constexpr double kLn2 = 0.69314718055994530942;
  int e = 0;
  while (x < 0.70710678118654752440) {  // powers of two scale a double exactly
    x *= 2;
    --e;
  }
  const double s = (x - 1) / (x + 1);
  const double s2 = s * s;
  double sum = 0;
  for (int k = 41; k >= 1; k -= 2) {  // from the smallest term up, for the fewest rounding errors
    sum = sum * s2 + 1.0 / k;
  }
  return 2 * s * sum + e * kLn2;
}

// e^y for -60 < y <= 0, in a constant expression: y = k ln 2 + r with |r| <= ln 2 / 2, the
// Taylor series of e^r, then k exact halvings. ln 2 is split so that k * kLn2Hi is exact.
constexpr double Exp(double y) noexcept {
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const int k = static_cast<int>(y / (kLn2Hi + kLn2Lo) - 0.5);
  const double r = (y - k * kLn2Hi) - k * kLn2Lo;
  double sum = 1;
  for (int n = 22; n >= 1; --n) {
    sum = 1 + sum * r / n;
  }
  for (int i = 0; i > k; --i) {
    sum *= 0.5;
  }
  return sum;
}

}  // namespace detail

// The gamma curve as a table: entry v is 255 * (v / 255)^gamma rounded to the nearest integer,
// halves up, so 0 stays 0 and 255 stays 255 (for gamma 2.2, entry 128 is 56). It maps the
// perceptual values a host sends to the linear duty an LED needs. A gamma outside [0.1, 10], or
// NaN, gives std::nullopt. Usable in a constant expression, so that a firmware keeps the table in
// flash and runs no floating point:
//   constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
// where a gamma out of range is a build error. Every entry equals what std::pow gives.
[[nodiscard]] constexpr std::optional<ByteTable> MakeGammaTable(double gamma) noexcept {
  if (!(gamma >= 0.1 && gamma <= 10)) {  // written so that NaN fails too
    return std::nullopt;
  }
  ByteTable table{};
  table[255] = 255;
  for (int v = 1; v < 255; ++v) {
    const double linear = detail::Exp(gamma * detail::Log(v / 255.0));
    // Halves up, by definition; std::lround would round them away from zero, and is not constexpr.
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    table[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(255 * linear + 0.5);
  }
  return table;
}

// Maps every component v of every LED of the row to table[v], in place. Any length, 0 included,
// and any address; nothing outside the row is touched.
void ApplyTable(std::span<Rgb> leds, const ByteTable& table) noexcept;

// --- Ceilings: scaling in proportion, v * ceiling / 255 rounded down -----------------------------

// Scales `v` into 0..ceiling in proportion, v * ceiling / 255 rounded down: 255 lands exactly on
// the ceiling, 0 stays 0, and a ceiling of 255 changes nothing. A scale, not a cut-off:
// ApplyCeiling(40, 50) is 7, not 40.
[[nodiscard]] std::uint8_t ApplyCeiling(std::uint8_t v, std::uint8_t ceiling) noexcept;

// Dims the row in place: every component of every LED becomes ApplyCeiling(component, ceiling),
// exactly. Any length, 0 included, and any address; nothing outside the row is touched.
// Runs at close to memory speed (no division; SSE2 on x86-64), so a controller can dim each frame.
void ApplyCeiling(std::span<Rgb> leds, std::uint8_t ceiling) noexcept;

// White balance: scales each channel by a ceiling of its own. Every component becomes exactly
// ApplyCeiling(component, ceiling.<its channel>) -- v * c / 255 rounded down -- so a channel at
// 255 is unchanged. In place, any length and address, nothing outside the row touched, at close
// to memory speed like the single-ceiling form.
void ApplyCeiling(std::span<Rgb> leds, Rgb ceiling) noexcept;

// --- Power: keeping a strip within its supply ---------------------------------------------------

// The usual linear model of a strip's current: each channel of each LED draws in proportion to
// its value, its full figure at 255, and every LED draws an idle current besides.
struct PowerModel {
  std::uint32_t red_ua;  // one LED's red channel at 255, in microamps
  std::uint32_t green_ua;
  std::uint32_t blue_ua;
  std::uint32_t idle_ua;  // one LED with all three channels at 0
};

// The domain in which the power functions are exact and cannot overflow: every field of the model
// up to 1 A, rows up to 2^24 LEDs.
inline constexpr std::uint32_t kPowerModelMaxUa = 1'000'000;
inline constexpr std::size_t kPowerMaxLeds = std::size_t{1} << 24;

// A typical 5 V WS2812B-class LED: 16 mA red, 11 mA green, 15 mA blue at full scale, 1 mA idle.
// A starting point only: measure your own strip (full white on a known number of LEDs, and all
// LEDs dark) and fill in a PowerModel of its own.
inline constexpr PowerModel kWs2812bPowerModel{16'000, 11'000, 15'000, 1'000};

// The current the row draws under `model`, exactly, in microamps rounded up:
// N * idle + the sum over the LEDs of (r * red + g * green + b * blue) / 255. Take it on the values
// the LEDs are driven with -- after gamma and white balance -- not on the colours a host sent.
// An empty row draws 0; a row or model outside the domain above gives UINT64_MAX, "this cannot
// be powered".
[[nodiscard]] std::uint64_t EstimateCurrent(std::span<const Rgb> leds,
                                            const PowerModel& model) noexcept;

// The brightest ceiling c (0 to 255) such that the row dimmed by ApplyCeiling(leds, c) draws at
// most `budget_ua` under `model`: exact, never a microamp over the budget and never a step darker
// than needed. 255 when the row already fits (an empty row always does). 0 when even c = 0 does
// not fit (the idle current alone is over budget) or the row or model is outside the domain: the
// safe answer is always dark. A controller's last step before encoding:
//   ledcolor::ApplyCeiling(row, ledcolor::CeilingForBudget(row, model, budget_ua));
[[nodiscard]] std::uint8_t CeilingForBudget(std::span<const Rgb> leds, const PowerModel& model,
                                            std::uint64_t budget_ua) noexcept;

// === The strip: the bytes its chips take ========================================================
//
// The controller's last step: the row, shaped and limited, in the bytes a strip's chips take on
// their data line. Where they go -- an SPI bus, /dev/spidev* on a Raspberry Pi -- is the caller's.

// The order in which a strip's chips take the three channels: GRB for WS2812B and SK6812, BGR for
// APA102 and SK9822, RGB for WS2811 and many others. Wrong order is the usual first-day fault.
enum class ColorOrder : std::uint8_t { kRgb, kRbg, kGrb, kGbr, kBrg, kBgr };

// The bytes EncodeWs2812Spi writes for `led_count` LEDs, 9N; 0 for 0 LEDs or a count whose size
// would not fit in std::size_t.
[[nodiscard]] constexpr std::size_t Ws2812SpiSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > SIZE_MAX / 9 ? 0 : 9 * led_count;
}

// One-wire WS2812-class chips (WS2812B, SK6812, WS2811 at 800 kHz) driven from an SPI bus clocked
// at 2.4 MHz: each LED's three channels in `order`, each most significant bit first, each data bit
// sent as three SPI bits -- 110 for a one, 100 for a zero -- packed most significant first, 9 bytes
// an LED. Returns Ws2812SpiSize(N). The latch is the caller's: hold the line low for at least
// 280 us after the last byte (at 2.4 MHz, 84 bytes of zeros, or simply a pause). An empty row, a
// value that is no ColorOrder, an `out` shorter than the size, or an `out` that overlaps the row
// is rejected.
[[nodiscard]] std::size_t EncodeWs2812Spi(std::span<const Rgb> leds, ColorOrder order,
                                          std::span<std::uint8_t> out) noexcept;

// The bytes EncodeApa102Frame writes for `led_count` LEDs, 8 + 4N + ceil(N / 16); 0 for 0 LEDs or
// a count whose size would not fit in std::size_t.
[[nodiscard]] constexpr std::size_t Apa102FrameSize(std::size_t led_count) noexcept {
  if (led_count == 0 || led_count > (SIZE_MAX - 8) / 4) {
    return 0;
  }
  const std::size_t body = 8 + 4 * led_count;
  const std::size_t end_clocks = led_count / 16 + (led_count % 16 != 0 ? 1 : 0);
  return end_clocks > SIZE_MAX - body ? 0 : body + end_clocks;
}

// Two-wire APA102 / SK9822 chips: a start frame of four 0x00; per LED 0xE0 | brightness and its
// three channels in `order`; an end frame of 4 + ceil(N / 16) bytes of 0x00 -- the four latch an
// SK9822, the rest give an APA102 chain the N / 2 extra clock edges it needs to pass the data to
// its last LED -- so one frame drives either chip. `brightness` is the 5-bit global current, 0 to
// 31. Returns Apa102FrameSize(N). An empty row, a brightness above 31, a value that is no
// ColorOrder, an `out` shorter than the size, or an `out` that overlaps the row is rejected.
[[nodiscard]] std::size_t EncodeApa102Frame(std::span<const Rgb> leds, ColorOrder order,
                                            std::uint8_t brightness,
                                            std::span<std::uint8_t> out) noexcept;

}  // namespace ledcolor
