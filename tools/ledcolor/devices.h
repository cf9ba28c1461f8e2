// Where an output's frames go: an SPI bus (spidev), a serial port, another controller over DDP, or
// a file. Thin POSIX code; what goes out is made by the library before it gets here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "config.h"

namespace tool {

using Clock = std::chrono::steady_clock;

class Device {
 public:
  virtual ~Device() = default;
  // Opens the device at start-up; false, with the reason in `error`, when it cannot be used. A
  // serial port that is missing now is no error: it is tried again every second.
  virtual bool Open(std::string& error) = 0;
  // Whether a frame is still going out (or, for a strip, its latch pause is not over): the output
  // then keeps only its newest frame until the device is free.
  [[nodiscard]] virtual bool Busy(Clock::time_point now) = 0;
  // Sends one frame's bytes: what Encode made for this device.
  virtual void Send(std::span<const std::uint8_t> bytes, Clock::time_point now) = 0;
  // A file descriptor to poll, and the events wanted; -1 when none.
  [[nodiscard]] virtual int Fd() const { return -1; }
  [[nodiscard]] virtual short Events() const { return 0; }
  virtual void OnEvents(short /*revents*/, Clock::time_point /*now*/) {}
  // The latest time at which the device wants Tick called again (a pause ends, a retry is due).
  [[nodiscard]] virtual Clock::time_point NextTick() const { return Clock::time_point::max(); }
  virtual void Tick(Clock::time_point /*now*/) {}
  // Sends `bytes` and waits, up to `limit`, until they are out: the last blank before exiting.
  virtual void Flush(std::span<const std::uint8_t> bytes, std::chrono::milliseconds limit);
};

// The device an output names: spi:, serial:, ddp: or file:.
std::unique_ptr<Device> MakeDevice(const OutputConfig& output);

// What the device takes for a frame whose shaped row is `row` (3 or 4 bytes an LED, R G B [W] in
// the input's order before the path's encoding: see Output). Spelled out in output.cpp.

// The serial port, in serial.cpp: raw 8N1 at any rate (termios2 on Linux, as rates above 230400
// need), hello on connect, retried every second while it is away.
std::unique_ptr<Device> MakeSerialDevice(const OutputConfig& output);

// A serial port opened raw, 8N1 at `baud`, non-blocking; -1, with the reason, when it cannot be.
int OpenSerialPort(const std::string& path, std::uint32_t baud, std::string& error);

// Logs one line to stderr, for the journal.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tool
