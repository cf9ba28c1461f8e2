// The controller: frames from the serial line, through the path, to the strip. The newest complete
// frame wins: frames that complete while the strip is written replace the one waiting, and each
// frame shown is written once.
#include <algorithm>
#include <array>
#include <cstring>

#include "firmware/rp2040/firmware.h"
#include "firmware/rp2040/hardware.h"
#include "firmware/rp2040/option_block.h"
#include "firmware/rp2040/options.h"
#include "firmware/rp2040/usb.h"

namespace firmware {

namespace {

// The build fixes the capacity (max_leds, which sizes the buffers); every other option comes
// from the option block in flash when it holds a sound one (`ledcolor uf2 set`), else from the
// build's own, which the image also carries in a record at a fixed place for a tool to read.
constexpr const Options& kBuiltIn = kOptions;
constexpr std::size_t kMaxLeds = kBuiltIn.max_leds;
static_assert(kMaxLeds >= 1 && kMaxLeds <= ledcolor::kAdalightMaxLeds);
static_assert(kBuiltIn.baud >= 9600 && kBuiltIn.baud <= 7'800'000,
              "the UART takes up to clk_peri / 16");
static_assert(kBuiltIn.gamma >= 0.1 && kBuiltIn.gamma <= 10, "LEDCOLOR_FW_GAMMA: 0.1 to 10");

// The built-in options as a block, with the tables the compiler computes: no floating point on
// the chip. A block in flash brings its own tables.
constexpr Settings kBuiltInSettings = SettingsOf(kBuiltIn);
constexpr std::array<std::uint8_t, kRecordBytes> MakeRecord() {
  std::array<std::uint8_t, kRecordBytes> record{};
  (void)WriteBlock(kBuiltInSettings, kRecordMagic, record, static_cast<std::uint16_t>(kMaxLeds));
  return record;
}
[[gnu::section(".options_record"), gnu::used]] constexpr std::array<std::uint8_t, kRecordBytes>
    kRecord = MakeRecord();

Settings g_settings = kBuiltInSettings;  // the options in force
const Options& g_o = g_settings.options;
bool g_from_flash = false;

// The reader's storage: room for an "AWa" frame of kMaxLeds, 4 bytes an LED.
std::array<ledcolor::Rgb, ledcolor::AdalightStorageLeds(kMaxLeds, 4)> g_storage;

// 8-bit strips are shaped while a frame arrives, into one of two rows (each with its levels for
// the budget): the frame arriving, and the complete one waiting for the strip. A frame that
// completes while another waits, or while the strip stays busy, is kept as received instead, and
// shaped when the strip takes it: it may yet be replaced. A WS2816's 16-bit path runs whole on the
// frame as received. Sized for any strip: 4 bytes an LED.
constexpr std::size_t kRowBytes = 4 * kMaxLeds;
std::array<std::array<std::uint8_t, kRowBytes>, 2> g_rows;
std::array<ledcolor::LevelWeights, 2> g_levels;
// The waiting frame as received (3 or 4 bytes an LED).
std::array<std::uint8_t, 4 * kMaxLeds> g_waiting;

// The strip's bytes, for any strip of kMaxLeds; aligned, since a 16-bit strip's row is made in
// it.
alignas(4) std::array<std::uint8_t, MostOutBytes(kBuiltIn)> g_out;
// The DMA's words: a word for each SPI byte; for one-wire strips a word for each 3 or 4 bytes (a
// WS2816's 6 bytes an LED go as two 24-bit words); for parallel outputs two words for each byte
// of an LED slot. Room for the built-in options and for any strip on one output; a block whose
// outputs need more is refused.
constexpr std::size_t kWords = ImageWords(kBuiltIn);
std::array<std::uint32_t, kWords> g_words;
// SRAM is 256 KiB and holds the code too: what the frames need must leave room for the rest (the
// code, the UART ring, USB), or the build stops here with a word on it rather than in the linker.
static_assert(sizeof g_storage + sizeof g_rows + sizeof g_levels + sizeof g_waiting + sizeof g_out +
                      sizeof g_words <=
                  200 * 1024,
              "LEDCOLOR_FW_MAX_LEDS: the frame buffers of this strip type do not fit in the "
              "RP2040's SRAM; build with fewer LEDs");

// The option block, read once at boot: ignored whole when missing, damaged or out of range.
void ReadOptions() {
  const std::span<const std::uint8_t> flash(
      reinterpret_cast<const std::uint8_t*>(kOptionBlockAddress), kBlockBytes);
  const ReadResult read = ReadBlock(flash, kBlockMagic, kMaxLeds);
  if (read.settings &&
      Check(read.settings->options, kMaxLeds, kWords).kind == Problem::Kind::kNone) {
    g_settings = *read.settings;
    g_settings.options.version = kBuiltIn.version;
    g_from_flash = true;
  }
}

bool ShapeEarly() { return g_o.strip != Strip::kWs2816; }
bool Budget() { return g_o.budget_ma != 0; }
const ledcolor::ByteTable* Gamma() {
  return g_settings.gamma_milli != 1000 ? &g_settings.gamma : nullptr;
}

struct Counters {
  std::uint32_t shown = 0;
  std::uint32_t replaced = 0;  // waiting frames a newer one replaced before they were shown
  std::uint32_t oversized = 0;
};

// A line of text built without printf, whose small form in newlib-nano prints no 64-bit numbers.
struct Line {
  std::array<char, 120> text{};
  std::size_t size = 0;

  Line& Add(const char* words) {
    for (; *words != '\0' && size < text.size(); ++words) {
      text[size++] = *words;
    }
    return *this;
  }
  Line& Add(std::uint64_t number) {
    std::array<char, 21> digits{};
    std::size_t n = digits.size() - 1;
    do {
      digits[--n] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    return Add(digits.data() + n);
  }
};

// The bytes of the frame being read still to come, and their time on the UART.
std::uint32_t g_byte_ns = 1;  // set at boot
std::uint32_t ByteNs() { return g_byte_ns; }
std::size_t BytesLeft(const ledcolor::AdalightReader::Progress& progress) {
  const std::size_t trailer =
      g_o.format == ledcolor::AdalightFormat::kAwa
          ? ledcolor::kAdalightCheckSize +
                (progress.calibrated ? ledcolor::kAdalightCalibrationSize : 0)
          : 0;
  return (progress.rgbw ? 4 : 3) * progress.led_count - progress.colours.size() + trailer;
}

class Controller {
 public:
  // The LEDs of the frame being read that arrived since the last call, shaped when it is worth it.
  void Arrive(const ledcolor::AdalightReader::Progress& progress, bool usb) {
    if (ShapeEarly()) {
      if (progress.led_count == 0 || progress.led_count > g_o.max_leds) {
        return;
      }
      if (!Following(progress.candidate, progress.led_count, progress.rgbw)) {
        Follow(progress.candidate, {progress.led_count, progress.rgbw, std::nullopt});
        // Worth it when the strip is to be free by the frame's end, which it can then start at
        // once; else the frame may yet be replaced before the strip takes it. (USB brings a frame
        // in little time; an "AwA" frame's white rule waits for the calibration after its LEDs.)
        const std::uint64_t left_ns = usb ? 0 : std::uint64_t{BytesLeft(progress)} * ByteNs();
        early_ = !waiting_ && StripFreeWithin(static_cast<std::uint32_t>(left_ns / 1000)) &&
                 !(progress.calibrated && g_o.strip == Strip::kSk6812 &&
                   g_o.white_rule == WhiteRule::kHosts);
      }
      if (early_) {
        ShapeUpTo(progress.colours, progress.colours.size() / (progress.rgbw ? 4 : 3));
      }
    }
  }

  // A complete frame, returned while the reader's candidate number is `candidate`.
  void Frame(const ledcolor::AdalightReader::Result& frame, std::uint32_t candidate) {
    if (frame.led_count > g_o.max_leds) {
      ++counters_.oversized;
      return;
    }
    const bool rgbw = !frame.leds_rgbw.empty();
    const std::span<const std::uint8_t> bytes(
        rgbw ? reinterpret_cast<const std::uint8_t*>(frame.leds_rgbw.data())
             : reinterpret_cast<const std::uint8_t*>(frame.leds.data()),
        (rgbw ? 4 : 3) * frame.led_count);
    const firmware::Frame kind{frame.led_count, rgbw, frame.calibration};
    bool shaped = false;
    if (ShapeEarly()) {
      // The frame followed: what came since the last call shaped, then only the budget's ceiling
      // is left to find. Another, when the strip is free: shaped whole now.
      const bool followed = early_ && Following(candidate, frame.led_count, rgbw);
      following_ = false;
      if (followed || (!waiting_ && StripIdle())) {
        if (!followed) {
          Follow(candidate, kind);
        }
        kind_ = kind;
        ShapeUpTo(bytes, frame.led_count);
        Wait(frame.led_count, false, Ceiling(arriving_));
        arriving_ ^= 1;  // the frame just shaped waits; the other row takes the next
        shaped = true;
      }
    }
    if (!shaped) {
      std::memcpy(g_waiting.data(), bytes.data(), bytes.size());
      waiting_kind_ = kind;
      Wait(frame.led_count, true, 255);
    }
    last_frame_us_ = NowUs();
    blanked_ = false;
  }

  // One dark frame of the last shown frame's length, until the next frame.
  void Blank() {
    if (last_shown_leds_ == 0) {
      return;
    }
    std::memset(g_waiting.data(), 0, 3 * last_shown_leds_);
    waiting_kind_ = {last_shown_leds_, false, std::nullopt};
    Wait(last_shown_leds_, true, 255);
    blanked_ = true;
  }

  // The answer to a host's hello, one line: the firmware, its strip and size, and its counters.
  // On the input the hello came in on.
  void Hello(std::uint64_t skipped, bool usb) const {
    Line line;
    line.Add("ledcolor-rp2040 ").Add(kBuiltIn.version).Add(" ").Add(g_o.strip_name).Add(" ");
    line.Add(g_o.max_leds).Add(" shown ").Add(counters_.shown).Add(" replaced ");
    line.Add(counters_.replaced).Add(" skipped ").Add(skipped);
    line.Add(" oversized ").Add(counters_.oversized);
    line.Add(g_from_flash ? " config flash\r\n" : " config built-in\r\n");
    (usb ? SendUsb : SendText)(line.text.data(), line.size);
  }

  // Drives the waiting frame when the strip is free.
  void Drive() {
    if (g_o.idle_ms != 0 && !blanked_ && last_frame_us_ != 0 &&
        NowUs() - last_frame_us_ >= g_o.idle_ms * 1000) {
      Blank();
    }
    // Asked every turn, so that the strip's latch is counted from when its last bit went out,
    // not from when the next frame asks for it.
    const bool idle = StripIdle();
    if (!waiting_ || !idle) {
      return;
    }
    waiting_ = false;
    if (ShapeEarly()) {
      // A frame kept as received is shaped now, into the row a waiting frame takes.
      const std::size_t row = arriving_ ^ 1;
      std::uint8_t ceiling = waiting_ceiling_;
      if (waiting_raw_) {
        ClearLevels(row);
        ShapeInto(row, waiting_kind_, g_waiting, 0, waiting_leds_);
        ceiling = Ceiling(row);
      }
      Send(g_rows[row], waiting_leds_, ceiling);
    } else {
      // The 16-bit path whole, its RGBW work row in the rows' room.
      const std::span<ledcolor::Rgbw> work(reinterpret_cast<ledcolor::Rgbw*>(g_rows[0].data()),
                                           kMaxLeds);
      const std::size_t size =
          RunPath(g_o, Gamma(), waiting_kind_, g_waiting, work, g_out, &g_settings.gamma16);
      if (size == 0) {
        return;
      }
      StartStrip(std::span(g_out).first(size), g_words);
    }
    ToggleStatus();
    ++counters_.shown;
    last_shown_leds_ = waiting_leds_;
  }

 private:
  [[nodiscard]] bool Following(std::uint32_t candidate, std::size_t leds, bool rgbw) const {
    return following_ && candidate == candidate_ && kind_.leds == leds && kind_.rgbw == rgbw;
  }

  void Follow(std::uint32_t candidate, const firmware::Frame& kind) {
    following_ = true;
    candidate_ = candidate;
    kind_ = kind;
    shaped_ = 0;
    cleared_ = false;
  }

  static void ClearLevels(std::size_t row) {
    if (Budget()) {
      g_levels[row] = {};
    }
  }

  // Shapes LEDs [from, to) of a frame into a row, and adds them to its levels.
  static void ShapeInto(std::size_t row, const firmware::Frame& kind,
                        std::span<const std::uint8_t> colours, std::size_t from, std::size_t to) {
    const std::span<std::uint8_t> bytes = g_rows[row];
    Shape(g_o, Gamma(), kind, colours, from, to, bytes);
    if (Budget()) {
      const std::uint8_t* shaped = bytes.data() + g_o.Channels() * from;
      if (g_o.Channels() == 4) {
        ledcolor::AddLevels({reinterpret_cast<const ledcolor::Rgbw*>(shaped), to - from},
                            Model(g_o), g_levels[row]);
      } else {
        ledcolor::AddLevels({reinterpret_cast<const ledcolor::Rgb*>(shaped), to - from}, Model(g_o),
                            g_levels[row]);
      }
    }
  }

  // The budget's ceiling for a shaped row.
  static std::uint8_t Ceiling(std::size_t row) {
    if (Budget()) {
      return ledcolor::CeilingForBudget(g_levels[row], Model(g_o),
                                        std::uint64_t{g_o.budget_ma} * 1000);
    }
    return 255;
  }

  // Shapes the followed frame's LEDs up to `to`; `colours` are its bytes from its first LED on.
  void ShapeUpTo(std::span<const std::uint8_t> colours, std::size_t to) {
    if (!cleared_) {  // on the first LEDs shaped: a frame kept as received needs no weights here
      ClearLevels(arriving_);
      cleared_ = true;
    }
    if (to > shaped_) {
      ShapeInto(arriving_, kind_, colours, shaped_, to);
      shaped_ = to;
    }
  }

  // The waiting row to the strip: one-wire strips a few LEDs (or slots) ahead of the DMA, which
  // starts on the first ones, so that the time to the first bit does not grow with the strip;
  // clocked strips whole, their frame having a start and an end.
  static void Send(std::span<std::uint8_t> row, std::size_t leds, std::uint8_t ceiling) {
    constexpr std::size_t kChunk = 8;
    const std::size_t per = g_o.Channels();
    const auto encode = [&](std::size_t from, std::size_t to) {
      const std::span<std::uint8_t> part = row.subspan(per * from, per * (to - from));
      Dim(g_o, part, to - from, ceiling);
      (void)Encode(g_o, part, to - from, std::span(g_out).subspan(per * from));
    };
    if (!g_o.OneWire()) {
      Dim(g_o, row, leds, ceiling);
      StartStrip(std::span(g_out).first(Encode(g_o, row, leds, g_out)), g_words);
    } else if (g_o.outputs > 1) {
      const Segments split = SplitFrame(g_o, leds);
      const std::span<std::uint32_t> words = std::span(g_words).first(2 * per * split.slots);
      for (std::size_t slot = 0; slot < split.slots; slot += kChunk) {
        const std::size_t end = std::min(slot + kChunk, split.slots);
        for (std::size_t k = 0; k < g_o.outputs; ++k) {
          if (slot < split.count[k]) {
            encode(split.first[k] + slot, split.first[k] + std::min(end, split.count[k]));
          }
        }
        LayOutParallel(g_o, split, std::span(g_out).first(per * leds), slot, end, words);
        if (slot == 0) {
          StartStripWords(words);
        }
      }
    } else {
      for (std::size_t from = 0; from < leds; from += kChunk) {
        const std::size_t to = std::min(from + kChunk, leds);
        encode(from, to);
        PackWords(g_o, std::span(g_out).first(per * leds), from, to, g_words);
        if (from == 0) {
          StartStripWords(std::span(g_words).first(leds));
        }
      }
    }
  }

  void Wait(std::size_t leds, bool raw, std::uint8_t ceiling) {
    if (waiting_) {
      ++counters_.replaced;
    }
    waiting_leds_ = leds;
    waiting_raw_ = raw;
    waiting_ceiling_ = ceiling;
    waiting_ = true;
  }

  Counters counters_;
  // The frame followed as it arrives: the reader's candidate, its kind, the LEDs shaped so far.
  bool following_ = false;
  bool early_ = false;    // shaped as it arrives
  bool cleared_ = false;  // its row's levels cleared
  std::uint32_t candidate_ = 0;
  firmware::Frame kind_;
  std::size_t shaped_ = 0;
  std::size_t arriving_ = 0;  // the row it is shaped into
  // The frame waiting for the strip: shaped (in the other row, its ceiling found), or as received
  // (in g_waiting, of kind waiting_kind_).
  bool waiting_ = false;
  bool waiting_raw_ = false;
  std::size_t waiting_leds_ = 0;
  std::uint8_t waiting_ceiling_ = 255;
  firmware::Frame waiting_kind_;
  bool blanked_ = false;
  std::size_t last_shown_leds_ = 0;
  std::uint32_t last_frame_us_ = 0;
};

Controller g_controller;

// The input being read: the first to deliver bytes, until it has been silent for 100 ms; the
// other's bytes meanwhile are read and dropped, so that two senders never interleave.
enum class Input : std::uint8_t { kNone, kUart, kUsb };
Input g_input = Input::kNone;
constexpr std::uint32_t kInputSilenceUs = 100'000;

void Handle(const ledcolor::AdalightReader& reader,
            const ledcolor::AdalightReader::Result& result) {
  if (result.led_count != 0) {
    g_controller.Frame(result, reader.Collecting().candidate);
  } else if (result.request == ledcolor::HostRequest::kHello) {
    g_controller.Hello(reader.SkippedBytes(), g_input == Input::kUsb);
  } else if (result.request == ledcolor::HostRequest::kGoodbye) {
    g_controller.Blank();
  }
}

// A frame on the UART whose last byte is due within a tick: woken then, not at the tick, so the
// time from its last byte to the strip does not wait for the tick. (USB wakes the core by its
// interrupt.) The bytes' time in 1/1024 us, a little short of the us, so the wake is never late.
void WakeForFrameEnd(const ledcolor::AdalightReader::Progress& progress) {
  const std::uint32_t byte_ns = ByteNs();
  if (progress.led_count != 0 && BytesLeft(progress) <= 100'000 / byte_ns) {
    WakeWithin(static_cast<std::uint32_t>((BytesLeft(progress) * byte_ns) >> 10) + 1);
  }
}

}  // namespace

void Main() {
  ReadOptions();
  g_byte_ns = 1'000'000'000U / g_o.baud * 10;
  StartHardware(g_o);
  StartUsb();
  ledcolor::AdalightReader reader(g_storage, g_o.format);
  std::uint32_t heard_us = 0;  // when the input being read last delivered bytes
  for (;;) {
    const Arrived uart = TakeArrived();
    const UsbArrived usb = TakeUsb();
    const std::uint32_t now = NowUs();
    const bool uart_spoke = !uart.first.empty() || !uart.second.empty();
    const bool usb_spoke = !usb.first.empty() || !usb.second.empty();
    if (g_input != Input::kNone && now - heard_us >= kInputSilenceUs) {
      g_input = Input::kNone;
    }
    if (g_input == Input::kNone && (uart_spoke || usb_spoke)) {
      g_input = uart_spoke ? Input::kUart : Input::kUsb;
      reader.Reset();  // nothing of the other input's stream may join this one's
    }
    const bool from_usb = g_input == Input::kUsb;
    if ((from_usb ? usb_spoke : uart_spoke)) {
      heard_us = now;
    }
    // A gap in the stream, a bus reset or a closed port: no frame spans it. The bytes that came
    // before a USB restart are read first, so that a frame whole before the port closed shows,
    // and one it cut does not.
    bool reset = (from_usb && usb.restarted) || (!from_usb && uart.lost);
    std::size_t before = from_usb && usb.restarted ? usb.before_restart : 0;
    const std::span<const std::uint8_t> first = from_usb ? usb.first : uart.first;
    const std::span<const std::uint8_t> second = from_usb ? usb.second : uart.second;
    const auto feed = [&](std::span<const std::uint8_t> piece) {
      while (g_input != Input::kNone && !piece.empty()) {
        const ledcolor::AdalightReader::Result result = reader.Feed(piece);
        piece = piece.subspan(result.consumed);
        Handle(reader, result);
      }
    };
    for (const std::span<const std::uint8_t> piece : {first, second}) {
      const std::size_t head = std::min(before, piece.size());
      feed(piece.first(head));
      before -= head;
      if (reset && before == 0) {
        reader.Reset();
        reset = false;
      }
      feed(piece.subspan(head));
    }
    // Frames a failed candidate left held.
    for (auto result = reader.Feed({});
         result.led_count != 0 || result.request != ledcolor::HostRequest::kNone;
         result = reader.Feed({})) {
      Handle(reader, result);
    }
    const ledcolor::AdalightReader::Progress progress = reader.Collecting();
    g_controller.Arrive(progress, g_input == Input::kUsb);
    g_controller.Drive();
    PumpSend();
    if (g_input == Input::kUart) {
      WakeForFrameEnd(progress);
    }
    Sleep();
  }
}

}  // namespace firmware
