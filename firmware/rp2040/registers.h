// The RP2040's registers this firmware uses, from the RP2040 datasheet: base addresses, offsets
// and the bits it sets. Each peripheral register also has atomic aliases: +0x1000 XOR, +0x2000 set
// bits, +0x3000 clear bits.
#pragma once

#include <cstdint>

namespace rp2040 {

inline volatile std::uint32_t& Reg(std::uint32_t address) {
  return *reinterpret_cast<volatile std::uint32_t*>(address);
}
constexpr std::uint32_t kSet = 0x2000;
constexpr std::uint32_t kClear = 0x3000;

// Resets: a peripheral stays in reset until its bit is cleared.
constexpr std::uint32_t kResets = 0x4000C000;
constexpr std::uint32_t kResetsReset = kResets + 0x0;
constexpr std::uint32_t kResetsDone = kResets + 0x8;
enum ResetBit : std::uint32_t {
  kResetDma = 1U << 2,
  kResetIoBank0 = 1U << 5,
  kResetPadsBank0 = 1U << 8,
  kResetPio0 = 1U << 10,
  kResetPllSys = 1U << 12,
  kResetPllUsb = 1U << 13,
  kResetSpi0 = 1U << 16,
  kResetTimer = 1U << 21,
  kResetUart0 = 1U << 22,
  kResetUsbCtrl = 1U << 24,
};

// Clocks, the crystal oscillator and the PLLs.
constexpr std::uint32_t kClocks = 0x40008000;
constexpr std::uint32_t kClkRefCtrl = kClocks + 0x30;
constexpr std::uint32_t kClkRefDiv = kClocks + 0x34;
constexpr std::uint32_t kClkRefSelected = kClocks + 0x38;
constexpr std::uint32_t kClkSysCtrl = kClocks + 0x3C;
constexpr std::uint32_t kClkSysDiv = kClocks + 0x40;
constexpr std::uint32_t kClkSysSelected = kClocks + 0x44;
constexpr std::uint32_t kClkPeriCtrl = kClocks + 0x48;
constexpr std::uint32_t kClkUsbCtrl = kClocks + 0x54;
constexpr std::uint32_t kClkUsbDiv = kClocks + 0x58;
constexpr std::uint32_t kClkSysResusCtrl = kClocks + 0x78;
constexpr std::uint32_t kXosc = 0x40024000;
constexpr std::uint32_t kXoscCtrl = kXosc + 0x00;
constexpr std::uint32_t kXoscStatus = kXosc + 0x04;
constexpr std::uint32_t kXoscStartup = kXosc + 0x0C;
constexpr std::uint32_t kPllSys = 0x40028000;
constexpr std::uint32_t kPllUsb = 0x4002C000;
constexpr std::uint32_t kPllCs = 0x0;
constexpr std::uint32_t kPllPwr = 0x4;
constexpr std::uint32_t kPllFbdiv = 0x8;
constexpr std::uint32_t kPllPrim = 0xC;
constexpr std::uint32_t kWatchdogTick = 0x40058000 + 0x2C;

// The microsecond timer and its alarms.
constexpr std::uint32_t kTimer = 0x40054000;
constexpr std::uint32_t kTimerAlarm0 = kTimer + 0x10;
constexpr std::uint32_t kTimerRawLow = kTimer + 0x28;
constexpr std::uint32_t kTimerIntr = kTimer + 0x34;
constexpr std::uint32_t kTimerInte = kTimer + 0x38;

// Pins: the function each takes, and its pad.
constexpr std::uint32_t GpioCtrl(std::uint32_t pin) { return 0x40014000 + 0x04 + 8 * pin; }
constexpr std::uint32_t GpioPad(std::uint32_t pin) { return 0x4001C000 + 0x04 + 4 * pin; }
enum Function : std::uint32_t {
  kFunctionSpi = 1,
  kFunctionUart = 2,
  kFunctionSio = 5,
  kFunctionPio0 = 6
};
// The single-cycle IO block's pin outputs: output enable set, and the output level toggled.
constexpr std::uint32_t kSioGpioOeSet = 0xD0000000 + 0x024;
constexpr std::uint32_t kSioGpioOutXor = 0xD0000000 + 0x01C;
constexpr std::uint32_t kPadInputEnable = 1U << 6;
constexpr std::uint32_t kPadPullUp = 1U << 3;
constexpr std::uint32_t kPadSchmitt = 1U << 1;

// UART0 (an ARM PL011).
constexpr std::uint32_t kUart0 = 0x40034000;
constexpr std::uint32_t kUartDr = kUart0 + 0x000;
constexpr std::uint32_t kUartFr = kUart0 + 0x018;
constexpr std::uint32_t kUartIbrd = kUart0 + 0x024;
constexpr std::uint32_t kUartFbrd = kUart0 + 0x028;
constexpr std::uint32_t kUartLcrH = kUart0 + 0x02C;
constexpr std::uint32_t kUartCr = kUart0 + 0x030;
constexpr std::uint32_t kUartDmacr = kUart0 + 0x048;
constexpr std::uint32_t kUartTxFull = 1U << 5;

// SPI0 (an ARM PL022).
constexpr std::uint32_t kSpi0 = 0x4003C000;
constexpr std::uint32_t kSpiCr0 = kSpi0 + 0x00;
constexpr std::uint32_t kSpiCr1 = kSpi0 + 0x04;
constexpr std::uint32_t kSpiDr = kSpi0 + 0x08;
constexpr std::uint32_t kSpiSr = kSpi0 + 0x0C;
constexpr std::uint32_t kSpiCpsr = kSpi0 + 0x10;
constexpr std::uint32_t kSpiDmacr = kSpi0 + 0x24;
constexpr std::uint32_t kSpiBusy = 1U << 4;

// DMA: channel n's registers at 0x40 n.
constexpr std::uint32_t kDma = 0x50000000;
constexpr std::uint32_t DmaReadAddr(std::uint32_t ch) { return kDma + 0x40 * ch + 0x00; }
constexpr std::uint32_t DmaWriteAddr(std::uint32_t ch) { return kDma + 0x40 * ch + 0x04; }
constexpr std::uint32_t DmaTransCount(std::uint32_t ch) { return kDma + 0x40 * ch + 0x08; }
constexpr std::uint32_t DmaCtrlTrig(std::uint32_t ch) { return kDma + 0x40 * ch + 0x0C; }
constexpr std::uint32_t DmaCtrl(std::uint32_t ch) { return kDma + 0x40 * ch + 0x10; }
constexpr std::uint32_t kDmaInte0 = kDma + 0x404;
constexpr std::uint32_t kDmaInts0 = kDma + 0x40C;
constexpr std::uint32_t kDmaEnable = 1U << 0;
constexpr std::uint32_t kDmaIncrRead = 1U << 4;
constexpr std::uint32_t kDmaIncrWrite = 1U << 5;
constexpr std::uint32_t kDmaRingWrite = 1U << 10;
constexpr std::uint32_t kDmaBusy = 1U << 24;
constexpr std::uint32_t DmaRingSize(std::uint32_t log2) { return log2 << 6; }
constexpr std::uint32_t DmaChainTo(std::uint32_t ch) { return ch << 11; }
constexpr std::uint32_t DmaTreq(std::uint32_t dreq) { return dreq << 15; }
enum Dreq : std::uint32_t { kDreqPio0Tx0 = 0, kDreqSpi0Tx = 16, kDreqUart0Rx = 21 };

// PIO0 and its state machine 0.
constexpr std::uint32_t kPio0 = 0x50200000;
constexpr std::uint32_t kPioCtrl = kPio0 + 0x000;
constexpr std::uint32_t kPioFdebug = kPio0 + 0x008;
constexpr std::uint32_t kPioTxf0 = kPio0 + 0x010;
constexpr std::uint32_t PioInstrMem(std::uint32_t at) { return kPio0 + 0x048 + 4 * at; }
constexpr std::uint32_t kPioSm0Clkdiv = kPio0 + 0x0C8;
constexpr std::uint32_t kPioSm0Execctrl = kPio0 + 0x0CC;
constexpr std::uint32_t kPioSm0Shiftctrl = kPio0 + 0x0D0;
constexpr std::uint32_t kPioSm0Instr = kPio0 + 0x0D8;
constexpr std::uint32_t kPioSm0Pinctrl = kPio0 + 0x0DC;
constexpr std::uint32_t kPioTxStall0 = 1U
                                       << 24;  // FDEBUG: state machine 0 stalled on an empty FIFO

// The core's own: the vector table's address, the interrupt enables, the wait for one.
constexpr std::uint32_t kVtor = 0xE000ED08;
constexpr std::uint32_t kNvicIser = 0xE000E100;
enum Irq : std::uint32_t { kIrqTimer0 = 0, kIrqUsb = 5, kIrqDma0 = 11 };

}  // namespace rp2040
