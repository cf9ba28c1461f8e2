// The controller: frames from the serial line, through the path, to the strip. The newest complete
// frame wins: frames that complete while the strip is written replace the one waiting, and each
// frame shown is written once.
#include <array>
#include <cstring>

#include "firmware/rp2040/firmware.h"
#include "firmware/rp2040/hardware.h"
#include "firmware/rp2040/options.h"
#include "firmware/rp2040/usb.h"

namespace firmware {

namespace {

constexpr const Options& kO = kOptions;
constexpr std::size_t kMaxLeds = kO.max_leds;
static_assert(kMaxLeds >= 1 && kMaxLeds <= ledcolor::kAdalightMaxLeds);
static_assert(kO.baud >= 9600 && kO.baud <= 7'800'000, "the UART takes up to clk_peri / 16");

constexpr bool kGamma = kO.gamma != 1.0;
// The compiler computes the table: no floating point on the chip.
constexpr ledcolor::ByteTable kGammaTable =
    *ledcolor::MakeGammaTable(kO.gamma >= 0.1 && kO.gamma <= 10 ? kO.gamma : 1.0);
static_assert(!kGamma || (kO.gamma >= 0.1 && kO.gamma <= 10), "LEDCOLOR_FW_GAMMA: 0.1 to 10");
// A 16-bit strip's gamma goes from the host's 8-bit levels straight into 16 bits (1.0: v * 257).
constexpr ledcolor::WordTable kGammaTable16 =
    *ledcolor::MakeGammaTable16(kO.gamma >= 0.1 && kO.gamma <= 10 ? kO.gamma : 1.0);

// The reader's storage: room for an "AWa" frame of kMaxLeds, 4 bytes an LED.
std::array<ledcolor::Rgb, ledcolor::AdalightStorageLeds(kMaxLeds, 4)> g_storage;
// The frame waiting for the strip, as received; the RGBW row the path makes; the strip's bytes.
std::array<std::uint8_t, 4 * kMaxLeds> g_waiting;
std::array<ledcolor::Rgbw, kMaxLeds> g_work;
// Aligned: a 16-bit strip's row is made in it.
alignas(4) std::array<std::uint8_t, kO.MaxOutBytes()> g_out;
// A word for each SPI byte; for one-wire strips a word for each 3 or 4 bytes (a WS2816's 6 bytes
// an LED go as two 24-bit words); for parallel outputs two words for each byte of an LED slot.
constexpr bool kParallel = kO.outputs > 1;
std::array<std::uint32_t, !kO.OneWire()                ? kO.MaxOutBytes()
                          : kParallel                  ? 2 * kO.LedBytes() * kO.MaxSlots()
                          : kO.strip == Strip::kWs2816 ? 2 * kMaxLeds
                                                       : kMaxLeds>
    g_words;
// SRAM is 256 KiB and holds the code too: what the frames need must leave room for the rest (the
// code, the UART ring, USB), or the build stops here with a word on it rather than in the linker.
static_assert(sizeof g_storage + sizeof g_waiting + sizeof g_work + sizeof g_out + sizeof g_words <=
                  200 * 1024,
              "LEDCOLOR_FW_MAX_LEDS: the frame buffers of this strip type do not fit in the "
              "RP2040's SRAM; build with fewer LEDs");

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

class Controller {
 public:
  void Frame(const ledcolor::AdalightReader::Result& frame) {
    if (frame.led_count > kMaxLeds) {
      ++counters_.oversized;
      return;
    }
    const bool rgbw = !frame.leds_rgbw.empty();
    const std::size_t bytes = (rgbw ? 4 : 3) * frame.led_count;
    std::memcpy(g_waiting.data(),
                rgbw ? static_cast<const void*>(frame.leds_rgbw.data()) : frame.leds.data(), bytes);
    Wait({frame.led_count, rgbw, frame.calibration});
    last_frame_us_ = NowUs();
    blanked_ = false;
  }

  // One dark frame of the last shown frame's length, until the next frame.
  void Blank() {
    if (last_shown_leds_ == 0) {
      return;
    }
    std::memset(g_waiting.data(), 0, 3 * last_shown_leds_);
    Wait({last_shown_leds_, false, std::nullopt});
    blanked_ = true;
  }

  // The answer to a host's hello, one line: the firmware, its strip and size, and its counters.
  // On the input the hello came in on.
  void Hello(std::uint64_t skipped, bool usb) const {
    Line line;
    line.Add("ledcolor-rp2040 ").Add(kO.version).Add(" ").Add(kO.strip_name).Add(" ");
    line.Add(kMaxLeds).Add(" shown ").Add(counters_.shown).Add(" replaced ");
    line.Add(counters_.replaced).Add(" skipped ").Add(skipped);
    line.Add(" oversized ").Add(counters_.oversized).Add("\r\n");
    (usb ? SendUsb : SendText)(line.text.data(), line.size);
  }

  // Drives the waiting frame when the strip is free.
  void Drive() {
    if (kO.idle_ms != 0 && !blanked_ && last_frame_us_ != 0 &&
        NowUs() - last_frame_us_ >= kO.idle_ms * 1000) {
      Blank();
    }
    if (!waiting_) {
      return;
    }
    if (!StripIdle()) {
      return;
    }
    waiting_ = false;
    const std::size_t size = RunPath(kO, kGamma ? &kGammaTable : nullptr, frame_, g_waiting, g_work,
                                     g_out, kO.strip == Strip::kWs2816 ? &kGammaTable16 : nullptr);
    if (size != 0) {
      Start(std::span(g_out).first(size));
      ToggleStatus();
      ++counters_.shown;
      last_shown_leds_ = frame_.leds;
    }
  }

 private:
  static void Start(std::span<const std::uint8_t> bytes) {
    if constexpr (kParallel) {
      // The first slots laid out, the DMA started on them, and the rest laid out while the first
      // go out: the core lays out a slot in a small part of the 30 us the wire takes for it.
      const Segments split = SplitFrame(kO, bytes.size() / kO.LedBytes());
      const std::span<std::uint32_t> words =
          std::span(g_words).first(2 * kO.LedBytes() * split.slots);
      constexpr std::size_t kAhead = 4;
      LayOutParallel(kO, split, bytes, 0, kAhead, words);
      StartStripWords(words);
      LayOutParallel(kO, split, bytes, kAhead, split.slots, words);
    } else {
      StartStrip(bytes, g_words);
    }
  }

  void Wait(const firmware::Frame& frame) {
    if (waiting_) {
      ++counters_.replaced;
    }
    frame_ = frame;
    waiting_ = true;
  }

  Counters counters_;
  firmware::Frame frame_;
  bool waiting_ = false;
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

void Handle(const ledcolor::AdalightReader::Result& result, std::uint64_t skipped) {
  if (result.led_count != 0) {
    g_controller.Frame(result);
  } else if (result.request == ledcolor::HostRequest::kHello) {
    g_controller.Hello(skipped, g_input == Input::kUsb);
  } else if (result.request == ledcolor::HostRequest::kGoodbye) {
    g_controller.Blank();
  }
}

}  // namespace

void Main() {
  StartHardware(kO);
  StartUsb();
  ledcolor::AdalightReader reader(g_storage, kO.format);
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
    if ((from_usb && usb.restarted) || (!from_usb && uart.lost)) {
      reader.Reset();  // a gap in the stream, a bus reset or a closed port: no frame spans it
    }
    const std::span<const std::uint8_t> first = from_usb ? usb.first : uart.first;
    const std::span<const std::uint8_t> second = from_usb ? usb.second : uart.second;
    for (std::span<const std::uint8_t> piece : {first, second}) {
      while (g_input != Input::kNone && !piece.empty()) {
        const ledcolor::AdalightReader::Result result = reader.Feed(piece);
        piece = piece.subspan(result.consumed);
        Handle(result, reader.SkippedBytes());
      }
    }
    // Frames a failed candidate left held.
    for (auto result = reader.Feed({});
         result.led_count != 0 || result.request != ledcolor::HostRequest::kNone;
         result = reader.Feed({})) {
      Handle(result, reader.SkippedBytes());
    }
    g_controller.Drive();
    PumpSend();
    Sleep();
  }
}

}  // namespace firmware
