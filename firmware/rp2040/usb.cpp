#include "firmware/rp2040/usb.h"

#include <array>

#include "firmware/rp2040/registers.h"

namespace firmware {

namespace {

using rp2040::Reg;

// The USB controller's registers and its dual-port RAM (RP2040 datasheet, USB chapter).
constexpr std::uint32_t kRegs = 0x50110000;
constexpr std::uint32_t kAddrEndp = kRegs + 0x00;
constexpr std::uint32_t kMainCtrl = kRegs + 0x40;
constexpr std::uint32_t kSieCtrl = kRegs + 0x4C;
constexpr std::uint32_t kSieStatus = kRegs + 0x50;
constexpr std::uint32_t kBuffStatus = kRegs + 0x58;
constexpr std::uint32_t kEpStallArm = kRegs + 0x68;
constexpr std::uint32_t kUsbMuxing = kRegs + 0x74;
constexpr std::uint32_t kUsbPwr = kRegs + 0x78;
constexpr std::uint32_t kInte = kRegs + 0x90;
constexpr std::uint32_t kInts = kRegs + 0x98;
constexpr std::uint32_t kDpram = 0x50100000;
constexpr std::uint32_t EpControl(std::uint32_t ep, bool in) {
  return kDpram + 8 * ep + (in ? 0 : 4);
}
constexpr std::uint32_t BufferControl(std::uint32_t ep, bool in) {
  return kDpram + 0x80 + 8 * ep + (in ? 0 : 4);
}
constexpr std::uint32_t kEp0Buffer = 0x100;
constexpr std::uint32_t kDataOutBuffer = 0x180;
constexpr std::uint32_t kDataInBuffer = 0x1C0;
constexpr std::uint32_t kNotifyBuffer = 0x200;
constexpr std::uint32_t kFull = 1U << 15;
constexpr std::uint32_t kLast = 1U << 14;
constexpr std::uint32_t kData1 = 1U << 13;
constexpr std::uint32_t kAvailable = 1U << 10;
constexpr std::uint32_t kSieSetupRec = 1U << 17;
constexpr std::uint32_t kSieBusReset = 1U << 19;

constexpr std::uint32_t kNotifyEp = 1;  // 0x81, interrupt
constexpr std::uint32_t kDataEp = 2;    // 0x02 bulk OUT, 0x82 bulk IN

// The descriptors: pid.codes' open-source VID 0x1209 with its test PID 0x0001.
constexpr std::array<std::uint8_t, 18> kDevice{18,   1,    0x00, 0x02, 0x02, 0x00, 0x00, 64, 0x09,
                                               0x12, 0x01, 0x00, 0x00, 0x01, 1,    2,    3,  1};
constexpr std::array<std::uint8_t, 67> kConfiguration{
    9,    2,    67,
    0,    2,    1,
    0,    0x80, 50,  // 2 interfaces, bus powered, 100 mA
    9,    4,    0,
    0,    1,    0x02,
    0x02, 0x00, 0,  // communication: CDC, ACM
    5,    0x24, 0x00,
    0x10, 0x01,  // header, CDC 1.10
    5,    0x24, 0x01,
    0x00, 1,  // call management: data on interface 1
    4,    0x24, 0x02,
    0x02,  // ACM: line coding and serial state
    5,    0x24, 0x06,
    0,    1,  // union: 0 controls 1
    7,    5,    0x80 | kNotifyEp,
    3,    8,    0,
    16,  // notification, interrupt IN
    9,    4,    1,
    0,    2,    0x0A,
    0x00, 0x00, 0,  // data
    7,    5,    kDataEp,
    2,    64,   0,
    0,  // bulk OUT
    7,    5,    0x80 | kDataEp,
    2,    64,   0,
    0,  // bulk IN
};
constexpr const char* kStrings[] = {nullptr, "ledcolor", "ledcolor-rp2040", "0001"};

// Bytes from the bulk OUT endpoint, filled by the interrupt, read by the main loop.
constexpr std::uint32_t kRingSize = 4096;
std::array<std::uint8_t, kRingSize> g_ring;
volatile std::uint32_t g_written = 0;
volatile std::uint32_t g_read = 0;  // what the main loop has read: free for the interrupt
std::uint32_t g_handed = 0;         // what the last TakeUsb handed out, read by the next
volatile bool g_restarted = false;
volatile std::uint32_t g_restart_at = 0;  // g_written at the last restart
volatile bool g_out_waiting = false;      // the OUT buffer is not re-armed: the ring was full

std::array<std::uint8_t, 64> g_ep0{};  // what EP0 sends next
const std::uint8_t* g_ep0_data = nullptr;
std::uint32_t g_ep0_left = 0;
bool g_ep0_pid1 = true;
std::uint8_t g_address = 0;  // set once the status stage of SET_ADDRESS is done
bool g_out_pid1 = false;
bool g_in_pid1 = false;
bool g_in_busy = false;
std::array<std::uint8_t, 7> g_line_coding{0x80, 0x84, 0x1E, 0, 0, 0, 8};  // 2 000 000 8N1
bool g_line_coding_next = false;  // the next EP0 OUT data is a SET_LINE_CODING's

std::array<char, 256> g_send{};
std::uint32_t g_send_head = 0;
std::uint32_t g_send_tail = 0;

// DPRAM through 32-bit accesses only.
void CopyOut(std::uint32_t offset, const std::uint8_t* data, std::uint32_t size) {
  for (std::uint32_t i = 0; i < size; i += 4) {
    std::uint32_t word = 0;
    for (std::uint32_t k = 0; k < 4 && i + k < size; ++k) {
      word |= std::uint32_t{data[i + k]} << (8 * k);
    }
    Reg(kDpram + offset + i) = word;
  }
}

// Hands a buffer to the controller: the control bits first, AVAILABLE a moment later, as the
// datasheet asks (the controller runs on clk_usb).
void Arm(std::uint32_t ep, bool in, std::uint32_t control) {
  Reg(BufferControl(ep, in)) = control;
  asm volatile("nop\n nop\n nop\n nop\n nop\n nop" ::: "memory");
  Reg(BufferControl(ep, in)) = control | kAvailable;
}

void SendEp0Next() {
  const std::uint32_t size = g_ep0_left < 64 ? g_ep0_left : 64;
  CopyOut(kEp0Buffer, g_ep0_data, size);
  g_ep0_data += size;
  g_ep0_left -= size;
  Arm(0, true, kFull | kLast | (g_ep0_pid1 ? kData1 : 0) | size);
  g_ep0_pid1 = !g_ep0_pid1;
}

// The data stage of a control IN transfer, then the host's zero-length OUT as status.
void SendEp0(const std::uint8_t* data, std::uint32_t size) {
  g_ep0_data = data;
  g_ep0_left = size;
  g_ep0_pid1 = true;
  SendEp0Next();
  Arm(0, false, kData1);
}

void SendStatus() {
  g_ep0_left = 0;
  Arm(0, true, kFull | kLast | kData1);
}

void ArmDataOut() {
  Arm(kDataEp, false, (g_out_pid1 ? kData1 : 0) | 64);
  g_out_pid1 = !g_out_pid1;
}

void PumpIn() {
  if (g_in_busy || g_send_tail == g_send_head) {
    return;
  }
  std::array<std::uint8_t, 64> packet{};
  std::uint32_t size = 0;
  while (size < 64 && g_send_tail != g_send_head) {
    packet[size++] = static_cast<std::uint8_t>(g_send[g_send_tail++ % g_send.size()]);
  }
  CopyOut(kDataInBuffer, packet.data(), size);
  Arm(kDataEp, true, kFull | kLast | (g_in_pid1 ? kData1 : 0) | size);
  g_in_pid1 = !g_in_pid1;
  g_in_busy = true;
}

void Configure() {
  Reg(EpControl(kNotifyEp, true)) = (1U << 31) | (1U << 29) | (3U << 26) | kNotifyBuffer;
  Reg(EpControl(kDataEp, false)) = (1U << 31) | (1U << 29) | (2U << 26) | kDataOutBuffer;
  Reg(EpControl(kDataEp, true)) = (1U << 31) | (1U << 29) | (2U << 26) | kDataInBuffer;
  g_out_pid1 = false;
  g_in_pid1 = false;
  g_in_busy = false;
  ArmDataOut();
}

void Setup() {
  const std::uint32_t low = Reg(kDpram + 0);
  const std::uint32_t high = Reg(kDpram + 4);
  const std::uint32_t type = low & 0xFF;
  const std::uint32_t request = (low >> 8) & 0xFF;
  const std::uint32_t value = low >> 16;
  const std::uint32_t length = high >> 16;
  const auto send = [&](const std::uint8_t* data, std::uint32_t size) {
    SendEp0(data, size < length ? size : length);
  };
  if (type == 0x80 && request == 6) {  // GET_DESCRIPTOR
    const std::uint32_t kind = value >> 8;
    const std::uint32_t index = value & 0xFF;
    if (kind == 1) {
      return send(kDevice.data(), kDevice.size());
    }
    if (kind == 2) {
      return send(kConfiguration.data(), kConfiguration.size());
    }
    if (kind == 3 && index < 4) {
      // UTF-16LE, the language list (US English) for index 0.
      std::uint32_t size = 2;
      if (index == 0) {
        g_ep0[2] = 0x09;
        g_ep0[3] = 0x04;
        size = 4;
      } else {
        for (const char* c = kStrings[index]; *c != '\0' && size < 62; ++c) {
          g_ep0[size++] = static_cast<std::uint8_t>(*c);
          g_ep0[size++] = 0;
        }
      }
      g_ep0[0] = static_cast<std::uint8_t>(size);
      g_ep0[1] = 3;
      return send(g_ep0.data(), size);
    }
  } else if (type == 0x00 && request == 5) {  // SET_ADDRESS, taken after the status stage
    g_address = static_cast<std::uint8_t>(value & 0x7F);
    return SendStatus();
  } else if (type == 0x00 && request == 9) {  // SET_CONFIGURATION
    Configure();
    return SendStatus();
  } else if ((type & 0x80) != 0 && request == 0) {  // GET_STATUS
    g_ep0[0] = 0;
    g_ep0[1] = 0;
    return send(g_ep0.data(), 2);
  } else if (type == 0x21 && request == 0x20) {  // SET_LINE_CODING: its 7 bytes follow
    g_line_coding_next = true;
    Arm(0, false, kData1 | 64);
    return;
  } else if (type == 0xA1 && request == 0x21) {  // GET_LINE_CODING
    return send(g_line_coding.data(), g_line_coding.size());
  } else if (type == 0x21 && request == 0x22) {  // SET_CONTROL_LINE_STATE
    if ((value & 1U) == 0) {
      g_restarted = true;  // the host closed the port: a partial frame is no frame
      g_restart_at = g_written;
    }
    return SendStatus();
  }
  // Anything else: stall EP0 until the next setup.
  Reg(kEpStallArm) = 3;
  Reg(BufferControl(0, true)) = 1U << 11;
  Reg(BufferControl(0, false)) = 1U << 11;
}

void TakeOut() {
  const std::uint32_t size = Reg(BufferControl(kDataEp, false)) & 0x3FF;
  // The buffer's words byte by byte into the ring, its position in a register (g_written is
  // volatile): a packet every 22 us at full speed leaves no cycles to spare.
  const std::uint32_t written = g_written;
  std::uint32_t at = written;
  for (std::uint32_t i = 0; i < size; i += 4) {
    std::uint32_t word = Reg(kDpram + kDataOutBuffer + i);
    const std::uint32_t end = at + (size - i < 4 ? size - i : 4);
    for (; at != end; ++at, word >>= 8) {
      g_ring[at % kRingSize] = static_cast<std::uint8_t>(word);
    }
  }
  g_written = written + size;
  // Re-armed at once while the ring has room for a packet; else when the main loop reads.
  if (g_written - g_read <= kRingSize - 64) {
    ArmDataOut();
  } else {
    g_out_waiting = true;
  }
}

}  // namespace

extern "C" void UsbIrq() {
  const std::uint32_t status = Reg(kInts);
  if ((status & (1U << 12)) != 0) {  // bus reset
    Reg(kSieStatus) = kSieBusReset;
    Reg(kAddrEndp) = 0;
    g_address = 0;
    g_restarted = true;
    g_restart_at = g_written;
  }
  // Buffers done, read before a setup packet is handled: data that came in with a port's closing
  // (SET_CONTROL_LINE_STATE) belongs before the restart it marks.
  std::uint32_t done = 0;
  if ((status & (1U << 4)) != 0) {
    done = Reg(kBuffStatus);
    Reg(kBuffStatus) = done;
    if ((done & (1U << (2 * kDataEp + 1))) != 0) {
      TakeOut();
    }
  }
  if ((status & (1U << 16)) != 0) {  // a setup packet
    Reg(kSieStatus) = kSieSetupRec;
    Setup();
  }
  if (done != 0) {
    if ((done & 1U) != 0) {  // EP0 IN
      if (g_address != 0 && (Reg(kAddrEndp) & 0x7F) == 0) {
        Reg(kAddrEndp) = g_address;
      }
      if (g_ep0_left != 0) {
        SendEp0Next();
      }
    }
    if ((done & 2U) != 0 && g_line_coding_next) {  // EP0 OUT: the line coding
      g_line_coding_next = false;
      for (std::uint32_t i = 0; i < g_line_coding.size(); ++i) {
        g_line_coding[i] =
            static_cast<std::uint8_t>(Reg(kDpram + kEp0Buffer + (i & ~3U)) >> (8 * (i & 3U)));
      }
      SendStatus();
    }
    if ((done & (1U << (2 * kDataEp))) != 0) {
      g_in_busy = false;
      PumpIn();
    }
  }
}

void StartUsb() {
  Reg(rp2040::kResetsReset + rp2040::kClear) = rp2040::kResetUsbCtrl;
  while ((Reg(rp2040::kResetsDone) & rp2040::kResetUsbCtrl) == 0) {
  }
  for (std::uint32_t at = 0; at < 4096; at += 4) {
    Reg(kDpram + at) = 0;
  }
  Reg(kUsbMuxing) = (1U << 0) | (1U << 3);  // to the PHY, soft connect
  Reg(kUsbPwr) = (1U << 2) | (1U << 3);     // VBUS present, as the Pico is powered by it
  Reg(kMainCtrl) = 1;                       // the controller on, as a device
  Reg(kSieCtrl) = 1U << 29;                 // an interrupt for every EP0 buffer
  Reg(kInte) = (1U << 4) | (1U << 12) | (1U << 16);
  Reg(rp2040::kNvicIser) = 1U << rp2040::kIrqUsb;
  Reg(kSieCtrl + rp2040::kSet) = 1U << 16;  // pull D+ up: present to the host
}

UsbArrived TakeUsb() {
  UsbArrived arrived;
  asm volatile("cpsid i" ::: "memory");
  g_read = g_handed;  // the pieces handed out last time are read by now
  const std::uint32_t written = g_written;
  arrived.restarted = g_restarted;
  arrived.before_restart = arrived.restarted ? g_restart_at - g_handed : 0;
  g_restarted = false;
  asm volatile("cpsie i" ::: "memory");
  const std::uint32_t fresh = written - g_handed;
  const std::uint32_t at = g_handed % kRingSize;
  const std::uint32_t run = fresh < kRingSize - at ? fresh : kRingSize - at;
  arrived.first = {g_ring.data() + at, run};
  arrived.second = {g_ring.data(), fresh - run};
  g_handed = written;
  asm volatile("cpsid i" ::: "memory");
  if (g_out_waiting) {
    g_out_waiting = false;
    ArmDataOut();
  }
  asm volatile("cpsie i" ::: "memory");
  return arrived;
}

void SendUsb(const char* text, std::size_t size) {
  asm volatile("cpsid i" ::: "memory");
  for (std::size_t i = 0; i < size && g_send_head - g_send_tail < g_send.size(); ++i) {
    g_send[g_send_head++ % g_send.size()] = text[i];
  }
  PumpIn();
  asm volatile("cpsie i" ::: "memory");
}

}  // namespace firmware
