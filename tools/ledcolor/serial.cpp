// The serial port. termios2 (asm/termbits.h) sets any rate, as the high-speed hosts' 2 and 4 Mbaud
// need; its header cannot share a file with <termios.h>, so the port lives alone here.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "devices.h"
#include "ledcolor/ledcolor.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace tool {

int OpenSerialPort(const std::string& path, std::uint32_t baud, std::string& error) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  termios2 tio{};
  if (ioctl(fd, TCGETS2, &tio) != 0) {
    error = std::string("not a serial port: ") + std::strerror(errno);
    close(fd);
    return -1;
  }
  // Raw 8N1, no flow control, at exactly the rate asked for.
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &=
      ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= CS8 | CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &tio) != 0) {
    error = "cannot set " + std::to_string(baud) + " baud: " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

namespace {

class SerialDevice final : public Device {
 public:
  explicit SerialDevice(const OutputConfig& output)
      : path_(output.target), baud_(output.path.baud) {}
  ~SerialDevice() override { Close(); }

  bool Open(std::string&) override {
    Connect(Clock::now());
    return true;
  }
  // Busy while bytes of the frame are left, ours or the driver's: a frame waiting in the kernel
  // would be a queue, and a newer frame must replace it instead.
  bool Busy(Clock::time_point now) override {
    if (fd_ < 0) {
      return false;  // frames for an absent port are dropped, shown to nobody
    }
    if (!out_.empty()) {
      return true;
    }
    int queued = 0;
    if (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
      // Ask again once the driver should have sent them: 10 bits a byte.
      drained_ =
          now + std::chrono::microseconds(
                    std::uint64_t{10'000'000} * static_cast<std::uint64_t>(queued) / baud_ + 1);
      return true;
    }
    return false;
  }
  void Send(std::span<const std::uint8_t> bytes, Clock::time_point now) override {
    if (fd_ < 0) {
      return;
    }
    out_.assign(bytes.begin(), bytes.end());
    WriteSome(now);
  }
  int Fd() const override { return fd_; }
  short Events() const override {
    return static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT));
  }
  void OnEvents(short revents, Clock::time_point now) override {
    if ((revents & POLLOUT) != 0) {
      WriteSome(now);
    }
    if (fd_ >= 0 && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      Read(now, (revents & (POLLHUP | POLLERR)) != 0);
    }
  }
  Clock::time_point NextTick() const override {
    if (fd_ < 0) {
      return retry_;
    }
    return std::min(awaiting_hello_ ? hello_deadline_ : Clock::time_point::max(), drained_);
  }
  void Tick(Clock::time_point now) override {
    if (fd_ < 0 && now >= retry_) {
      Connect(now);
    }
    if (awaiting_hello_ && now >= hello_deadline_) {
      awaiting_hello_ = false;
      Log("%s: no answer to hello within a second", path_.c_str());
    }
    if (now >= drained_) {
      drained_ = Clock::time_point::max();
    }
  }

 private:
  void Connect(Clock::time_point now) {
    retry_ = now + std::chrono::seconds(1);
    std::string error;
    fd_ = OpenSerialPort(path_, baud_, error);
    if (fd_ < 0) {
      Away(error.c_str());
      return;
    }
    Log("%s: connected at %u baud", path_.c_str(), baud_);
    away_logged_ = false;
    // Ask who is there: our firmware, and the high-speed receivers, answer with one line.
    std::array<std::uint8_t, 6> hello{};
    const std::size_t size = ledcolor::EncodeHostRequest(ledcolor::HostRequest::kHello, hello);
    answer_.clear();
    awaiting_hello_ = write(fd_, hello.data(), size) == static_cast<ssize_t>(size);
    hello_deadline_ = now + std::chrono::seconds(1);
  }
  void Away(const char* why) {
    if (!away_logged_) {
      Log("%s: %s; trying again every second", path_.c_str(), why);
      away_logged_ = true;
    }
  }
  void Close() {
    if (fd_ >= 0) {
      close(fd_);
      fd_ = -1;
    }
    out_.clear();
    awaiting_hello_ = false;
  }
  void Gone(Clock::time_point now, const char* why) {
    Close();
    retry_ = now + std::chrono::seconds(1);
    Away((std::string("gone (") + why + ")").c_str());
  }
  void WriteSome(Clock::time_point now) {
    while (!out_.empty()) {
      const ssize_t n = write(fd_, out_.data(), out_.size());
      if (n > 0) {
        out_.erase(out_.begin(), out_.begin() + n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno == EAGAIN) {
        return;
      } else {
        Gone(now, std::strerror(errno));
        return;
      }
    }
  }
  // A raw port answers a read with 0 when it has nothing (VMIN 0): the port is gone only when the
  // read fails, or poll said it hung up.
  void Read(Clock::time_point now, bool hung_up) {
    std::array<char, 256> buffer{};
    for (;;) {
      const ssize_t n = read(fd_, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n < 0 && errno == EAGAIN) {
        return;
      }
      if (n < 0 || (n == 0 && hung_up)) {
        Gone(now, n == 0 ? "hung up" : std::strerror(errno));
        return;
      }
      if (n == 0) {
        return;
      }
      if (!awaiting_hello_) {
        continue;
      }
      answer_.append(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t end = answer_.find('\n');
      if (end != std::string::npos || answer_.size() > 200) {
        std::string line = answer_.substr(0, std::min(end, answer_.size()));
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
          line.pop_back();
        }
        Log("%s: hello answered: %s", path_.c_str(), line.c_str());
        awaiting_hello_ = false;
      }
    }
  }

  std::string path_;
  std::uint32_t baud_;
  int fd_ = -1;
  std::vector<std::uint8_t> out_;
  bool away_logged_ = false;
  bool awaiting_hello_ = false;
  std::string answer_;
  Clock::time_point hello_deadline_{};
  Clock::time_point retry_{};
  Clock::time_point drained_ = Clock::time_point::max();
};

}  // namespace

std::unique_ptr<Device> MakeSerialDevice(const OutputConfig& output) {
  return std::make_unique<SerialDevice>(output);
}

}  // namespace tool
