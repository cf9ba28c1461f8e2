#include "firmware/rp2040/hardware.h"

#include <array>

#include "firmware/rp2040/registers.h"

namespace firmware {

namespace {

using rp2040::Reg;

constexpr std::uint32_t kSysHz = 125'000'000;
constexpr std::uint32_t kTickUs = 100;
constexpr std::uint32_t kResetUs = 300;        // low between frames: WS2812B asks 280
constexpr std::uint32_t kWs2801PauseUs = 550;  // the clock low between frames: WS2801 asks 500
constexpr std::uint32_t kRxChannel = 0;
constexpr std::uint32_t kStripChannel = 1;

// The serial line's ring: DMA writes it round and round, the core reads behind it. 8 KiB is 20 ms
// at 4 Mbaud, far more than the core ever spends away from it.
constexpr std::uint32_t kRingLog2 = 13;
constexpr std::uint32_t kRingSize = 1U << kRingLog2;
alignas(kRingSize) std::array<std::uint8_t, kRingSize> g_ring;
volatile std::uint32_t g_laps = 0;  // completed passes of the DMA over the ring
constexpr std::uint32_t kRxControl =
    rp2040::kDmaEnable | rp2040::kDmaIncrWrite | rp2040::DmaRingSize(kRingLog2) |
    rp2040::kDmaRingWrite | rp2040::DmaChainTo(kRxChannel) | rp2040::DmaTreq(rp2040::kDreqUart0Rx);
std::uint32_t g_read = 0;  // bytes taken so far (wraps with the count)

std::array<char, 256> g_send{};
std::uint32_t g_send_head = 0;
std::uint32_t g_send_tail = 0;

bool g_one_wire = true;
std::uint32_t g_spi_pause_us = 0;  // clocked chips that latch on a pause (WS2801)
std::uint32_t g_status_mask = 0;   // the status pin's bit, or 0
std::size_t g_channels = 3;

bool g_strip_started = false;
std::uint32_t g_word_ns = 0;     // what a word takes on the wire
std::uint32_t g_latch_us = 0;    // and the pause after a frame
std::uint32_t g_free_at_us = 0;  // when the strip is to be free again (an estimate)
std::uint32_t g_word_us256 = 0;  // g_word_ns in 1/256 us
bool g_handed_over = false;      // the DMA has put the frame's last word into the FIFO
bool g_drained = false;          // the last bits are out; the line is low since g_drained_us
std::uint32_t g_drained_us = 0;

void Unreset(std::uint32_t bits) {
  Reg(rp2040::kResetsReset + rp2040::kClear) = bits;
  while ((Reg(rp2040::kResetsDone) & bits) != bits) {
  }
}

void ArmTick() { Reg(rp2040::kTimerAlarm0) = Reg(rp2040::kTimerRawLow) + kTickUs; }

// The UART's divisor, 16ths of clk_peri per bit in 1/64ths: 125 MHz / (16 * 2 Mbaud) = 3 + 58/64.
constexpr std::uint32_t Divisor64(std::uint32_t baud) {
  return (8 * kSysHz / baud + 1) / 2;  // 64 * kSysHz / (16 * baud), rounded
}

void StartUart(std::uint32_t baud) {
  Reg(rp2040::GpioCtrl(0)) = rp2040::kFunctionUart;  // TX
  Reg(rp2040::GpioCtrl(1)) = rp2040::kFunctionUart;  // RX, pulled up: the line idles high
  Reg(rp2040::GpioPad(1)) = rp2040::kPadInputEnable | rp2040::kPadPullUp | rp2040::kPadSchmitt;
  const std::uint32_t divisor = Divisor64(baud);
  Reg(rp2040::kUartIbrd) = divisor >> 6;
  Reg(rp2040::kUartFbrd) = divisor & 63;
  Reg(rp2040::kUartLcrH) = (3U << 5) | (1U << 4);  // 8 bits, no parity, 1 stop; FIFOs on
  Reg(rp2040::kUartDmacr) = 1;                     // the receive FIFO asks for DMA
  // Every byte into the ring: TRANS_COUNT a ring's worth, re-triggered on completion (DmaIrq).
  Reg(rp2040::DmaReadAddr(kRxChannel)) = rp2040::kUartDr;
  Reg(rp2040::DmaWriteAddr(kRxChannel)) = reinterpret_cast<std::uint32_t>(g_ring.data());
  Reg(rp2040::DmaTransCount(kRxChannel)) = kRingSize;
  Reg(rp2040::kDmaInte0) = 1U << kRxChannel;
  Reg(rp2040::DmaCtrlTrig(kRxChannel)) = kRxControl;
  Reg(rp2040::kUartCr) = 1U | (1U << 8) | (1U << 9);  // enabled, TX, RX
}

// WS2812-class one-wire chips on a PIO state machine at 25 MHz (clk_sys / 5), 31 cycles a bit
// (1.24 us): high 8 (0.32 us) for a 0, 20 (0.8 us) for a 1. Each bit: `out x, 1` with the line low
// for 11 cycles, `jmp !x` with it high for 8, then high 12 more (a 1) or low 12 (a 0).
void StartOneWire(std::uint32_t pin, std::uint32_t channels) {
  constexpr std::array<std::uint16_t, 4> kProgram{
      0x6A21,  // 0: out x, 1       side 0 [10]
      0x1723,  // 1: jmp !x, 3      side 1 [7]
      0x1B00,  // 2: jmp 0          side 1 [11]
      0xAB42,  // 3: nop            side 0 [11]
  };
  for (std::uint32_t i = 0; i < kProgram.size(); ++i) {
    Reg(rp2040::PioInstrMem(i)) = kProgram[i];
  }
  Reg(rp2040::kPioSm0Clkdiv) = 5U << 16;
  Reg(rp2040::kPioSm0Execctrl) = (3U << 12) | (0U << 7);  // wrap from 3 to 0
  // Autopull one LED a word, 24 or 32 bits shifted out from the top (StartStrip's words). The TX
  // FIFO takes the RX FIFO's four entries too.
  Reg(rp2040::kPioSm0Shiftctrl) = (1U << 30) | ((8 * channels % 32) << 25) | (1U << 17);
  // One side-set pin, the data pin; SET on it once to make it an output.
  Reg(rp2040::kPioSm0Pinctrl) = (1U << 29) | (pin << 10) | (1U << 26) | (pin << 5);
  Reg(rp2040::kPioSm0Instr) = 0xE081;  // set pindirs, 1
  Reg(rp2040::kPioSm0Instr) = 0xE000;  // set pins, 0
  // The output shift register emptied before autopull is on, so that the first bit out is the
  // first bit of the first frame.
  const std::uint32_t shift = Reg(rp2040::kPioSm0Shiftctrl);
  Reg(rp2040::kPioSm0Shiftctrl) = shift & ~(1U << 17);
  Reg(rp2040::kPioSm0Instr) = 0x6060;  // out null, 32
  Reg(rp2040::kPioSm0Shiftctrl) = shift;
  Reg(rp2040::GpioCtrl(pin)) = rp2040::kFunctionPio0;
  Reg(rp2040::kPioCtrl) = 1;  // state machine 0 on
}

// Up to eight one-wire outputs in lock step on one state machine, on consecutive pins from `pin`:
// the timing above, with a byte a bit period (bit k for output k, StartStripWords' words). Each
// bit: `out x, 8` with the lines low (where the state machine waits for data, so a frame's end
// leaves them low), all high for 8 cycles, the bits for 12 (a 1 stays high), all low for 10.
void StartParallelWire(std::uint32_t pin, std::uint32_t outputs) {
  constexpr std::array<std::uint16_t, 4> kProgram{
      0x6028,  // 0: out x, 8
      0xA70B,  // 1: mov pins, !null  [7]
      0xAB01,  // 2: mov pins, x      [11]
      0xA903,  // 3: mov pins, null   [9]
  };
  for (std::uint32_t i = 0; i < kProgram.size(); ++i) {
    Reg(rp2040::PioInstrMem(i)) = kProgram[i];
  }
  Reg(rp2040::kPioSm0Clkdiv) = 5U << 16;
  Reg(rp2040::kPioSm0Execctrl) = 3U << 12;  // wrap from 3 to 0
  // The outputs are the OUT pins; autopull 32 bits, four bit periods a word from the top.
  Reg(rp2040::kPioSm0Pinctrl) = (outputs << 20) | pin;
  Reg(rp2040::kPioSm0Shiftctrl) = 1U << 30;  // autopull off while the pins are made outputs
  Reg(rp2040::kPioSm0Instr) = 0xA0EB;        // mov osr, !null
  Reg(rp2040::kPioSm0Instr) = 0x6088;        // out pindirs, 8
  Reg(rp2040::kPioSm0Instr) = 0xA003;        // mov pins, null
  Reg(rp2040::kPioSm0Instr) = 0x6060;        // out null, 32: the first bit out is the frame's
  Reg(rp2040::kPioSm0Shiftctrl) = (1U << 30) | (1U << 17);
  for (std::uint32_t k = 0; k < outputs; ++k) {
    Reg(rp2040::GpioCtrl(pin + k)) = rp2040::kFunctionPio0;
  }
  Reg(rp2040::kPioCtrl) = 1;
}

// APA102 on SPI0: SCK GP18, MOSI GP19, mode 0, 8-bit frames, at the fastest rate at or below
// `hz`: clk_peri / (prescale * (1 + scr)), prescale even 2..254, scr 0..255. Returns the rate.
std::uint32_t StartSpi(std::uint32_t hz) {
  std::uint32_t best_prescale = 254;
  std::uint32_t best_scr = 255;
  std::uint32_t best_rate = 0;
  for (std::uint32_t prescale = 2; prescale <= 254; prescale += 2) {
    for (std::uint32_t scr = 0; scr <= 255; ++scr) {
      const std::uint32_t rate = kSysHz / (prescale * (1 + scr));
      if (rate <= hz && rate > best_rate) {
        best_rate = rate;
        best_prescale = prescale;
        best_scr = scr;
      }
      if (rate <= hz) {
        break;  // larger scr only slows it
      }
    }
  }
  Reg(rp2040::kSpiCpsr) = best_prescale;
  Reg(rp2040::kSpiCr0) = (best_scr << 8) | 7;  // 8-bit frames, Motorola, mode 0
  Reg(rp2040::kSpiDmacr) = 2;                  // transmit DMA
  Reg(rp2040::kSpiCr1) = 2;                    // enabled, master
  Reg(rp2040::GpioCtrl(18)) = rp2040::kFunctionSpi;
  Reg(rp2040::GpioCtrl(19)) = rp2040::kFunctionSpi;
  return best_rate != 0 ? best_rate : 1;
}

}  // namespace

extern "C" void TimerIrq() {
  Reg(rp2040::kTimerIntr) = 1;
  ArmTick();
}

// The ring's channel completed a pass: start the next at once (the UART's FIFO holds 32 bytes,
// 80 us at 4 Mbaud, meanwhile) and count it. Writing the control register's triggering alias
// starts it again where it stopped, the write address wrapped, the count reloaded.
extern "C" void DmaIrq() {
  Reg(rp2040::kDmaInts0) = 1U << kRxChannel;
  g_laps = g_laps + 1;
  Reg(rp2040::DmaCtrlTrig(kRxChannel)) = kRxControl;
}

void StartHardware(const Options& options) {
  Unreset(rp2040::kResetIoBank0 | rp2040::kResetPadsBank0 | rp2040::kResetUart0 |
          rp2040::kResetTimer | rp2040::kResetDma | rp2040::kResetPio0 | rp2040::kResetSpi0);
  g_one_wire = options.OneWire();
  g_spi_pause_us = options.strip == Strip::kWs2801 ? kWs2801PauseUs : 0;
  // A one-wire bit is 1.24 us: a word holds an LED's 24 or 32 bits, or four bit periods of the
  // parallel outputs; SPI takes a byte a word at the rate StartSpi picks.
  constexpr std::uint32_t kBitNs = 1240;
  g_word_ns = options.outputs > 1 ? 4 * kBitNs
              : options.strip == Strip::kWs2816
                  ? 24 * kBitNs
                  : 8 * kBitNs * static_cast<std::uint32_t>(options.Channels());
  g_latch_us = g_one_wire ? kResetUs : g_spi_pause_us;
  if (g_one_wire && options.outputs > 1) {
    StartParallelWire(options.data_pin, options.outputs);
  } else if (g_one_wire) {
    StartOneWire(options.data_pin, static_cast<std::uint32_t>(options.Channels()));
    g_channels = options.Channels();
  } else {
    g_word_ns = 8 * (1'000'000'000U / StartSpi(options.spi_hz));
  }
  g_word_us256 = static_cast<std::uint32_t>(std::uint64_t{g_word_ns} * 256 / 1000);
  StartUart(options.baud);
  if (options.status_pin >= 0) {
    g_status_mask = 1U << static_cast<std::uint32_t>(options.status_pin);
    Reg(rp2040::GpioCtrl(static_cast<std::uint32_t>(options.status_pin))) = rp2040::kFunctionSio;
    Reg(rp2040::kSioGpioOeSet) = g_status_mask;
  }
  Reg(rp2040::kTimerInte) = 1;
  ArmTick();
  Reg(rp2040::kNvicIser) = (1U << rp2040::kIrqTimer0) | (1U << rp2040::kIrqDma0);
}

std::uint32_t NowUs() { return Reg(rp2040::kTimerRawLow); }

Arrived TakeArrived() {
  // The count of bytes written, read with interrupts masked so that a lap and the channel's count
  // belong together (at the end of a lap, 0 left and the lap not yet counted is the same count).
  std::uint32_t laps = 0;
  std::uint32_t left = 0;
  asm volatile("cpsid i" ::: "memory");
  laps = g_laps;
  left = Reg(rp2040::DmaTransCount(kRxChannel));
  asm volatile("cpsie i" ::: "memory");
  const std::uint32_t written = laps * kRingSize + (kRingSize - left);
  Arrived arrived;
  std::uint32_t fresh = written - g_read;
  if (fresh > kRingSize) {  // overrun: what was not read in time is gone
    arrived.lost = true;
    g_read = written - kRingSize / 2;
    fresh = kRingSize / 2;
  }
  const std::uint32_t at = g_read % kRingSize;
  const std::uint32_t run = fresh < kRingSize - at ? fresh : kRingSize - at;
  arrived.first = {g_ring.data() + at, run};
  arrived.second = {g_ring.data(), fresh - run};
  g_read = written;
  return arrived;
}

void SendText(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size && g_send_head - g_send_tail < g_send.size(); ++i) {
    g_send[g_send_head++ % g_send.size()] = text[i];
  }
  PumpSend();
}

void PumpSend() {
  while (g_send_tail != g_send_head && (Reg(rp2040::kUartFr) & rp2040::kUartTxFull) == 0) {
    Reg(rp2040::kUartDr) = static_cast<std::uint8_t>(g_send[g_send_tail++ % g_send.size()]);
  }
}

void StartStrip(std::span<const std::uint8_t> bytes, std::span<std::uint32_t> words) {
  std::size_t count = 0;
  if (g_one_wire) {
    for (std::size_t at = 0; at + g_channels <= bytes.size() && count < words.size();
         at += g_channels) {
      std::uint32_t word = 0;
      for (std::size_t k = 0; k < g_channels; ++k) {
        word |= std::uint32_t{bytes[at + k]} << (24 - 8 * k);
      }
      words[count++] = word;
    }
  } else {
    for (; count < bytes.size() && count < words.size(); ++count) {
      words[count] = bytes[count];
    }
  }
  StartStripWords(words.first(count));
}

void StartStripWords(std::span<const std::uint32_t> words) {
  // The wire time in 1/256 us a word: a multiply and a shift, no 64-bit division.
  g_free_at_us = NowUs() +
                 static_cast<std::uint32_t>((std::uint64_t{g_word_us256} * words.size()) >> 8) +
                 g_latch_us;
  g_strip_started = true;
  g_handed_over = false;
  g_drained = false;
  Reg(rp2040::DmaReadAddr(kStripChannel)) = reinterpret_cast<std::uint32_t>(words.data());
  Reg(rp2040::DmaWriteAddr(kStripChannel)) = g_one_wire ? rp2040::kPioTxf0 : rp2040::kSpiDr;
  Reg(rp2040::DmaTransCount(kStripChannel)) = static_cast<std::uint32_t>(words.size());
  Reg(rp2040::DmaCtrlTrig(kStripChannel)) =
      rp2040::kDmaEnable | (2U << 2) | rp2040::kDmaIncrRead | rp2040::DmaChainTo(kStripChannel) |
      rp2040::DmaTreq(g_one_wire ? rp2040::kDreqPio0Tx0 : rp2040::kDreqSpi0Tx);
}

void ToggleStatus() {
  if (g_status_mask != 0) {
    Reg(rp2040::kSioGpioOutXor) = g_status_mask;
  }
}

bool StripFreeWithin(std::uint32_t us) {
  return !g_strip_started || static_cast<std::int32_t>(g_free_at_us - (NowUs() + us)) <= 0;
}

bool StripIdle() {
  if (!g_strip_started) {
    return true;
  }
  if ((Reg(rp2040::DmaCtrl(kStripChannel)) & rp2040::kDmaBusy) != 0) {
    return false;
  }
  if (!g_handed_over) {
    // The last word is in the FIFO, and up to nine LEDs (the joined FIFO's eight words and the
    // shift register's) may still be going out. The stall flag is cleared only now: the state
    // machine sets it at every pull that finds the FIFO empty, so cleared while it still waits
    // before the frame's first word -- or sits idle after the last frame -- it reads as set at
    // once, and the latch would be counted from here, short by those LEDs. Cleared now, it is set
    // again only once the last bit is out (at once if it already is).
    g_handed_over = true;
    if (g_one_wire) {
      Reg(rp2040::kPioFdebug) = rp2040::kPioTxStall0;
    }
  }
  if (!g_drained) {
    // Out: the state machine stalled on an empty FIFO, or SPI0 not busy with its FIFO empty.
    const bool out = g_one_wire ? (Reg(rp2040::kPioFdebug) & rp2040::kPioTxStall0) != 0
                                : (Reg(rp2040::kSpiSr) & (rp2040::kSpiBusy | 1U)) == 1U;
    if (!out) {
      return false;
    }
    g_drained = true;
    g_drained_us = NowUs();
  }
  return NowUs() - g_drained_us >= g_latch_us;
}

void WakeWithin(std::uint32_t us) {
  // The tick's alarm brought forward; the tick re-arms it from then on.
  const std::uint32_t at = NowUs() + us;
  if (static_cast<std::int32_t>(at - Reg(rp2040::kTimerAlarm0)) < 0) {
    Reg(rp2040::kTimerAlarm0) = at;
  }
}

void Sleep() {
  // Masked, so that an interrupt raised just before is not missed: WFI wakes for it all the same,
  // and its handler runs once unmasked.
  asm volatile("cpsid i" ::: "memory");
  asm volatile("wfi" ::: "memory");
  asm volatile("cpsie i" ::: "memory");
}

}  // namespace firmware
