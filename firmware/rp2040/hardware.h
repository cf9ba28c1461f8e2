// The peripherals the controller uses: the serial line in (UART0 by DMA into a ring) and out, the
// strip (a PIO state machine for one-wire chips, SPI0 for APA102, each fed by DMA), and a
// microsecond clock with a tick that wakes the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "firmware/rp2040/path.h"

namespace firmware {

// The bytes that arrived since the last call, in at most two pieces (the ring wraps); `lost` is
// set when more arrived than the ring holds, and then the oldest are gone.
struct Arrived {
  std::span<const std::uint8_t> first;
  std::span<const std::uint8_t> second;
  bool lost = false;
};

void StartHardware(const Options& options);
std::uint32_t NowUs();
Arrived TakeArrived();
// Queues text for the serial line; what does not fit in the queue is dropped.
void SendText(const char* text, std::size_t size);
void PumpSend();
// Starts the strip on the chips' bytes, laid out in `words` for the DMA (32-bit writes, which the
// PIO FIFO and SPI's data register take whole: one-wire, an LED a word from the top; SPI, a byte a
// word). `words` must stay untouched until StripIdle.
void StartStrip(std::span<const std::uint8_t> bytes, std::span<std::uint32_t> words);
// Starts the strip on words already laid out (parallel outputs: LayOutParallel's), read by the DMA
// as the strip takes them: words not yet read may still be written, ahead of it.
void StartStripWords(std::span<const std::uint32_t> words);

// The sign of life: the status pin (the Pico's LED on GP25 by default) toggles with each frame
// shown. Nothing when the build has none.
void ToggleStatus();
// Whether the strip is to be free within `us`, by the wire time of what it was given: an estimate
// for deciding when to work on a frame, never for driving the strip (StripIdle).
bool StripFreeWithin(std::uint32_t us);
// Whether the strip has taken the last bytes and, for one-wire chips, held the line low for the
// reset time since.
bool StripIdle();
// The next Sleep ends within `us` at the latest: the firmware wakes when a frame's last byte is
// due, rather than at the next tick.
void WakeWithin(std::uint32_t us);
// Sleeps until an interrupt: the tick, at least every 100 us, or the DMA's.
void Sleep();

}  // namespace firmware
