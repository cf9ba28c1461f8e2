// The Pico's own USB port as a serial device: full speed, one CDC-ACM function (a communication
// interface with its notification endpoint, a data interface with bulk IN and OUT endpoints of
// 64 bytes), so that a host opens it as /dev/ttyACM0 or COM3 and writes the frames it would write
// to a UART.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace firmware {

void StartUsb();
// The bytes that arrived on the bulk OUT endpoint since the last call, in at most two pieces.
struct UsbArrived {
  std::span<const std::uint8_t> first;
  std::span<const std::uint8_t> second;
  bool restarted = false;  // a bus reset or a dropped DTR since the last call: drop partial frames
  std::size_t before_restart = 0;  // of these bytes, those that came before the (last) restart
};
UsbArrived TakeUsb();
// Queues text for the bulk IN endpoint; what does not fit is dropped.
void SendUsb(const char* text, std::size_t size);

}  // namespace firmware
