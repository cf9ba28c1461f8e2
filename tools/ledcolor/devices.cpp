#include "devices.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "ledcolor/ledcolor.h"
#include "output.h"

namespace tool {

void Log(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "ledcolor: %s\n", line);
  std::fflush(stderr);
}

void Device::Flush(std::span<const std::uint8_t> bytes, std::chrono::milliseconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  while (Busy(Clock::now()) && Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  Send(bytes, Clock::now());
  while (Busy(Clock::now()) && Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

namespace {

// The most bytes spidev moves in one transfer: its module parameter, 4096 unless raised.
std::size_t SpidevBufsiz() {
  std::ifstream file("/sys/module/spidev/parameters/bufsiz");
  std::size_t size = 4096;
  file >> size;
  return size;
}

// A strip on an SPI bus: each frame one transfer, mode 0, at the strip's clock. A one-wire strip
// latches when its line stays low for 280 us (a WS2801 when its clock does for 500 us), so a frame
// must never pause inside, and the next frame waits for the latch.
class SpiDevice final : public Device {
 public:
  explicit SpiDevice(const OutputConfig& output)
      : path_(output.target),
        hz_(output.path.OneWire() ? 2'400'000 : output.path.spi_hz),
        frame_bytes_(StripFrameBytes(output)),
        // One-wire chips latch after 280 us low, WS2801 after 500 us with the clock low.
        pause_(output.path.OneWire()                           ? 300
               : output.path.strip == firmware::Strip::kWs2801 ? 550
                                                               : 0) {}
  ~SpiDevice() override {
    if (fd_ >= 0) {
      close(fd_);
    }
  }

  bool Open(std::string& error) override {
    fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
      error = path_ + ": " + std::strerror(errno) +
              (errno == ENOENT ? " (is SPI enabled? dtparam=spi=on on a Raspberry Pi)" : "");
      return false;
    }
    std::uint8_t mode = SPI_MODE_0;
    std::uint8_t bits = 8;
    if (ioctl(fd_, SPI_IOC_WR_MODE, &mode) != 0 ||
        ioctl(fd_, SPI_IOC_WR_BITS_PER_WORD, &bits) != 0 ||
        ioctl(fd_, SPI_IOC_WR_MAX_SPEED_HZ, &hz_) != 0) {
      error = path_ + ": not an SPI device, or it refuses mode 0 at " + std::to_string(hz_) +
              " Hz: " + std::strerror(errno);
      return false;
    }
    const std::size_t bufsiz = SpidevBufsiz();
    if (frame_bytes_ > bufsiz) {
      error = path_ + ": a frame is " + std::to_string(frame_bytes_) +
              " bytes and must go out in one transfer, but spidev moves at most " +
              std::to_string(bufsiz) + ": add spidev.bufsiz=" + std::to_string(frame_bytes_) +
              " (or more) to the kernel command line (cmdline.txt on a Raspberry Pi) and reboot";
      return false;
    }
    return true;
  }
  bool Busy(Clock::time_point now) override { return now < ready_; }
  // Only a latch still running is worth waking for: a time past would wake the loop at once, and
  // again, and again.
  Clock::time_point NextTick() const override {
    return latching_ ? ready_ : Clock::time_point::max();
  }
  void Tick(Clock::time_point now) override { latching_ = latching_ && now < ready_; }
  void Send(std::span<const std::uint8_t> bytes, Clock::time_point now) override {
    spi_ioc_transfer transfer{};
    transfer.tx_buf = reinterpret_cast<std::uintptr_t>(bytes.data());
    transfer.len = static_cast<std::uint32_t>(bytes.size());
    transfer.speed_hz = hz_;
    transfer.bits_per_word = 8;
    if (ioctl(fd_, SPI_IOC_MESSAGE(1), &transfer) < 0 && !failed_) {
      failed_ = true;
      Log("%s: the transfer failed: %s", path_.c_str(), std::strerror(errno));
    }
    ready_ = Clock::now() + std::chrono::microseconds(pause_);
    latching_ = pause_ != 0;
    (void)now;
  }

 private:
  std::string path_;
  std::uint32_t hz_;
  std::size_t frame_bytes_;
  std::uint32_t pause_;
  bool latching_ = false;
  int fd_ = -1;
  bool failed_ = false;
  Clock::time_point ready_{};
};

// What an SPI device would send, appended to a file: one frame's transfer after the other.
class FileDevice final : public Device {
 public:
  explicit FileDevice(const OutputConfig& output) : path_(output.target) {}
  ~FileDevice() override {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  bool Open(std::string& error) override {
    fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error = path_ + ": " + std::strerror(errno);
    }
    return fd_ >= 0;
  }
  bool Busy(Clock::time_point) override { return false; }
  void Send(std::span<const std::uint8_t> bytes, Clock::time_point) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        Log("%s: write failed: %s", path_.c_str(), std::strerror(errno));
        return;
      }
      done += static_cast<std::size_t>(n);
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// Another controller over DDP: the row in datagrams of at most kDdpMaxData bytes, numbered 1..15,
// the last with push.
class DdpDevice final : public Device {
 public:
  explicit DdpDevice(const OutputConfig& output)
      : host_(output.target), port_(output.port), rgbw_(output.path.Channels() == 4) {}
  ~DdpDevice() override {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  bool Open(std::string& error) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found);
    if (status != 0) {
      error = "ddp:" + host_ + ": " + gai_strerror(status);
      return false;
    }
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool connected = fd_ >= 0 && connect(fd_, found->ai_addr, found->ai_addrlen) == 0;
    freeaddrinfo(found);
    if (!connected) {
      error = "ddp:" + host_ + ": " + std::strerror(errno);
    }
    return connected;
  }
  bool Busy(Clock::time_point) override { return false; }
  void Send(std::span<const std::uint8_t> row, Clock::time_point) override {
    std::array<std::uint8_t, 10 + ledcolor::kDdpMaxData> datagram{};
    // Whole LEDs in each datagram: 480 RGB or 360 RGBW.
    const std::size_t step = ledcolor::kDdpMaxData - ledcolor::kDdpMaxData % (rgbw_ ? 4 : 3);
    for (std::size_t at = 0; at < row.size(); at += step) {
      const std::size_t bytes = std::min(step, row.size() - at);
      sequence_ = static_cast<std::uint8_t>(sequence_ % 15 + 1);
      const ledcolor::DdpPacket packet{at + bytes == row.size(), sequence_,
                                       static_cast<std::uint8_t>(rgbw_ ? 0x1B : 0x0B),
                                       static_cast<std::uint32_t>(at), row.subspan(at, bytes)};
      const std::size_t size = ledcolor::EncodeDdp(packet, datagram);
      // A receiver that is not there yet is no fault of ours: the next frame tries again.
      if (size != 0 && send(fd_, datagram.data(), size, 0) < 0 && errno != ECONNREFUSED &&
          !failed_) {
        failed_ = true;
        Log("ddp:%s: send failed: %s", host_.c_str(), std::strerror(errno));
      }
    }
  }

 private:
  std::string host_;
  std::uint16_t port_;
  bool rgbw_;
  int fd_ = -1;
  std::uint8_t sequence_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Device> MakeDevice(const OutputConfig& output) {
  switch (output.kind) {
    case DeviceKind::kSpi:
      return std::make_unique<SpiDevice>(output);
    case DeviceKind::kSerial:
      return MakeSerialDevice(output);
    case DeviceKind::kDdp:
      return std::make_unique<DdpDevice>(output);
    case DeviceKind::kFile:
      return std::make_unique<FileDevice>(output);
  }
  return nullptr;
}

}  // namespace tool
