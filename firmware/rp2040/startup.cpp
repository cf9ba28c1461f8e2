// Reset: the clocks, then the firmware copied from flash into SRAM, so that its timing never waits
// on the flash cache; then Main. The vector table sits at the front of the SRAM image, and its copy
// in flash at 0x10000100 is where boot2 enters.
#include <cstdint>

#include "firmware/rp2040/firmware.h"
#include "firmware/rp2040/registers.h"

extern "C" {
extern std::uint32_t __ram_image_start[];
extern std::uint32_t __ram_image_end[];
extern std::uint32_t __ram_image_load[];
extern std::uint32_t __bss_start[];
extern std::uint32_t __bss_end[];
extern std::uint32_t __stack_top[];
[[noreturn]] void ResetHandler();
}

namespace {

using rp2040::Reg;

// Runs from flash, before anything is copied: register writes and waits, nothing else.
[[gnu::section(".flash_text"), gnu::always_inline]] inline void Unreset(std::uint32_t bits) {
  Reg(rp2040::kResetsReset + rp2040::kClear) = bits;
  while ((Reg(rp2040::kResetsDone) & bits) != bits) {
  }
}

// One PLL from the 12 MHz crystal: VCO = 12 MHz * fbdiv, out = VCO / (post1 * post2).
[[gnu::section(".flash_text"), gnu::always_inline]] inline void StartPll(std::uint32_t pll,
                                                                         std::uint32_t fbdiv,
                                                                         std::uint32_t post1,
                                                                         std::uint32_t post2) {
  Reg(pll + rp2040::kPllCs) = 1;  // REFDIV 1
  Reg(pll + rp2040::kPllFbdiv) = fbdiv;
  Reg(pll + rp2040::kPllPwr + rp2040::kClear) = (1U << 0) | (1U << 5);  // PD, VCOPD off
  while ((Reg(pll + rp2040::kPllCs) & (1U << 31)) == 0) {               // LOCK
  }
  Reg(pll + rp2040::kPllPrim) = (post1 << 16) | (post2 << 12);
  Reg(pll + rp2040::kPllPwr + rp2040::kClear) = 1U << 3;  // POSTDIVPD off
}

// clk_ref from the crystal, clk_sys and clk_peri at 125 MHz from PLL_SYS (VCO 1500 MHz / 6 / 2),
// clk_usb at 48 MHz from PLL_USB (VCO 1200 MHz / 5 / 5), the microsecond tick from clk_ref.
[[gnu::section(".flash_text"), gnu::always_inline]] inline void StartClocks() {
  Reg(rp2040::kClkSysResusCtrl) = 0;
  Reg(rp2040::kXoscCtrl) = 0xAA0;  // 1-15 MHz
  Reg(rp2040::kXoscStartup) = 47;  // about 1 ms at 12 MHz, in units of 256 cycles
  Reg(rp2040::kXoscCtrl + rp2040::kSet) = 0xFAB << 12;    // enable
  while ((Reg(rp2040::kXoscStatus) & (1U << 31)) == 0) {  // STABLE
  }
  // clk_sys off the PLL while it is set up, clk_ref onto the crystal.
  Reg(rp2040::kClkSysCtrl + rp2040::kClear) = 1;
  while ((Reg(rp2040::kClkSysSelected) & 1U) == 0) {
  }
  Reg(rp2040::kClkRefCtrl) = 2;  // xosc
  while ((Reg(rp2040::kClkRefSelected) & (1U << 2)) == 0) {
  }
  Reg(rp2040::kClkRefDiv) = 1U << 8;
  Unreset(rp2040::kResetPllSys | rp2040::kResetPllUsb);
  StartPll(rp2040::kPllSys, 125, 6, 2);
  StartPll(rp2040::kPllUsb, 100, 5, 5);
  Reg(rp2040::kClkSysDiv) = 1U << 8;
  Reg(rp2040::kClkSysCtrl) = 0;  // AUXSRC pll_sys, still on clk_ref
  Reg(rp2040::kClkSysCtrl) = 1;  // onto the aux source
  while ((Reg(rp2040::kClkSysSelected) & (1U << 1)) == 0) {
  }
  Reg(rp2040::kClkPeriCtrl) = 1U << 11;  // enabled, from clk_sys
  Reg(rp2040::kClkUsbDiv) = 1U << 8;
  Reg(rp2040::kClkUsbCtrl) = 1U << 11;          // enabled, from pll_usb
  Reg(rp2040::kWatchdogTick) = (1U << 9) | 12;  // one tick a microsecond from the 12 MHz clk_ref
}

}  // namespace

// An exception nothing expects: stop here, where a debugger shows it.
extern "C" void DefaultHandler() {
  for (;;) {
  }
}

extern "C" {
void TimerIrq() __attribute__((weak, alias("DefaultHandler")));
void UsbIrq() __attribute__((weak, alias("DefaultHandler")));
void DmaIrq() __attribute__((weak, alias("DefaultHandler")));
}

[[gnu::section(".flash_text")]] void ResetHandler() {
  StartClocks();
  // Word by word through volatile pointers: a plain loop could be made a call to memcpy, which
  // is not in SRAM yet.
  volatile std::uint32_t* to = __ram_image_start;
  const volatile std::uint32_t* from = __ram_image_load;
  while (to < __ram_image_end) {
    *to++ = *from++;
  }
  for (volatile std::uint32_t* at = __bss_start; at < __bss_end; ++at) {
    *at = 0;
  }
  Reg(rp2040::kVtor) = reinterpret_cast<std::uint32_t>(__ram_image_start);
  // Main lies in SRAM, beyond a direct call's reach from flash: through a register.
  void (*volatile main)() = &firmware::Main;
  main();
  for (;;) {
  }
}

// The vector table: the initial stack, the core's exceptions, then the 26 interrupts.
using Handler = void (*)();
[[gnu::section(".vectors"), gnu::used]] const Handler kVectors[16 + 26] = {
    reinterpret_cast<Handler>(__stack_top),
    ResetHandler,
    DefaultHandler,  // NMI
    DefaultHandler,  // HardFault
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    DefaultHandler,  // SVCall
    nullptr,
    nullptr,
    DefaultHandler,  // PendSV
    DefaultHandler,  // SysTick
    TimerIrq,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    UsbIrq,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DmaIrq,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
    DefaultHandler,
};
