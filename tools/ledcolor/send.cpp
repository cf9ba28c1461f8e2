#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>
#include <vector>

#include "commands.h"
#include "devices.h"
#include "ledcolor/ledcolor.h"

namespace tool {

namespace {

using Clock = std::chrono::steady_clock;

// Frame k of the pattern asked for, `leds` RGB LEDs.
class Pattern {
 public:
  Pattern(const SendOptions& o, std::string& error) : o_(o) {
    if (!o.color.empty() && !ledcolor::ParseHexColor(o.color, color_)) {
      error = "--color \"" + o.color + "\" is no colour: RRGGBB, such as FF8000";
    }
    if (!o.file.empty()) {
      std::ifstream in(o.file, std::ios::binary);
      rows_.assign(std::istreambuf_iterator<char>(in), {});
      if (!in && rows_.empty()) {
        error = "--file " + o.file + ": cannot be read";
      } else if (rows_.size() < 3 * o.leds) {
        error = "--file " + o.file + " holds no whole row of " + std::to_string(o.leds) + " LEDs";
      }
    }
  }

  std::vector<ledcolor::Rgb> Frame(std::size_t k) const {
    const std::size_t n = o_.leds;
    std::vector<ledcolor::Rgb> row(n, ledcolor::Rgb{0, 0, 0});
    for (std::size_t i = 0; i < n; ++i) {
      if (o_.rainbow) {
        row[i] = Hue(static_cast<std::uint32_t>((i * 1536 / n + 8 * k) % 1536));
      } else if (o_.chase) {
        row[i] = i == k % n ? ledcolor::Rgb{255, 255, 255} : ledcolor::Rgb{0, 0, 0};
      } else if (o_.ramp) {
        // Up from black to 32 and down again, a step a frame: the dark end, where gamma and
        // dithering show.
        const auto level = static_cast<std::uint8_t>(k % 64 < 32 ? k % 64 : 64 - k % 64);
        row[i] = {level, level, level};
      } else if (!rows_.empty()) {
        const std::size_t frames = rows_.size() / (3 * n);
        const std::size_t at = (k % frames) * 3 * n + 3 * i;
        row[i] = {static_cast<std::uint8_t>(rows_[at]), static_cast<std::uint8_t>(rows_[at + 1]),
                  static_cast<std::uint8_t>(rows_[at + 2])};
      } else {
        row[i] = color_;
      }
    }
    return row;
  }

 private:
  // The hue wheel in 1536 steps, full saturation and value.
  static ledcolor::Rgb Hue(std::uint32_t h) {
    const auto up = static_cast<std::uint8_t>(h % 256);
    const auto down = static_cast<std::uint8_t>(255 - h % 256);
    switch (h / 256) {
      case 0:
        return {255, up, 0};
      case 1:
        return {down, 255, 0};
      case 2:
        return {0, 255, up};
      case 3:
        return {0, down, 255};
      case 4:
        return {up, 0, 255};
      default:
        return {255, 0, down};
    }
  }

  const SendOptions& o_;
  ledcolor::Rgb color_{0, 0, 0};
  std::vector<char> rows_;
};

// A UDP socket to the target's host (or E1.31's multicast groups).
int UdpTo(const Target& target, sockaddr_in& to, std::string& error) {
  to = sockaddr_in{};
  to.sin_family = AF_INET;
  to.sin_port = htons(target.port);
  if (!target.where.empty()) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(target.where.c_str(), nullptr, &hints, &found);
    if (status != 0) {
      error = target.where + ": " + gai_strerror(status);
      return -1;
    }
    to.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  return fd;
}

// Sends one frame to a network target: DDP in packets of 480 LEDs, E1.31 and Art-Net in universes
// of 170 from `universe`.
void SendNetwork(const Target& target, const SendOptions& o, int fd, sockaddr_in to,
                 const std::vector<ledcolor::Rgb>& row, std::uint8_t& sequence) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(row.data()),
                                            3 * row.size());
  std::array<std::uint8_t, 1500> datagram{};
  const auto send_to = [&](std::size_t size, const sockaddr_in& where) {
    if (size != 0) {
      sendto(fd, datagram.data(), size, 0, reinterpret_cast<const sockaddr*>(&where), sizeof where);
    }
  };
  sequence = static_cast<std::uint8_t>(sequence + 1);
  if (target.kind == Target::Kind::kDdp) {
    for (std::size_t at = 0; at < bytes.size(); at += ledcolor::kDdpMaxData) {
      const std::size_t n = std::min(ledcolor::kDdpMaxData, bytes.size() - at);
      const ledcolor::DdpPacket packet{at + n == bytes.size(),
                                       static_cast<std::uint8_t>(sequence % 15 + 1), 0x0B,
                                       static_cast<std::uint32_t>(at), bytes.subspan(at, n)};
      send_to(ledcolor::EncodeDdp(packet, datagram), to);
    }
    return;
  }
  const std::uint32_t first =
      target.kind == Target::Kind::kE131 && o.universe == 0 ? 1 : o.universe;
  for (std::size_t at = 0, u = first; at < bytes.size(); at += 510, ++u) {
    const auto slots = bytes.subspan(at, std::min<std::size_t>(510, bytes.size() - at));
    if (target.kind == Target::Kind::kE131) {
      ledcolor::E131Packet packet{};
      packet.kind = ledcolor::E131Packet::Kind::kData;
      packet.cid = {'l', 'e', 'd', 'c', 'o', 'l', 'o', 'r', ' ', 's', 'e', 'n', 'd'};
      packet.priority = 100;
      packet.sequence = sequence;
      packet.universe = static_cast<std::uint16_t>(u);
      packet.slots = slots;
      sockaddr_in where = to;
      if (target.where.empty()) {
        const auto group = ledcolor::E131MulticastAddress(static_cast<std::uint16_t>(u));
        std::memcpy(&where.sin_addr, group.data(), 4);
      }
      send_to(ledcolor::EncodeE131(packet, "ledcolor send", datagram), where);
    } else {
      const ledcolor::ArtNetPacket packet{ledcolor::ArtNetPacket::Kind::kDmx, sequence,
                                          static_cast<std::uint16_t>(u), slots};
      send_to(ledcolor::EncodeArtNet(packet, datagram), to);
    }
  }
}

// Writes all of `bytes` to a non-blocking port, waiting for room up to a second.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  const auto end = Clock::now() + std::chrono::seconds(1);
  while (!bytes.empty() && Clock::now() < end) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    } else {
      pollfd wait{fd, POLLOUT, 0};
      poll(&wait, 1, 10);
    }
  }
  return bytes.empty();
}

}  // namespace

int Send(const SendOptions& o) {
  Target target;
  std::string error;
  if (!ParseTarget(o.target, target, error)) {
    std::fprintf(stderr, "ledcolor send: %s\n", error.c_str());
    return 2;
  }
  const int patterns = (o.color.empty() ? 0 : 1) + (o.rainbow ? 1 : 0) + (o.chase ? 1 : 0) +
                       (o.ramp ? 1 : 0) + (o.file.empty() ? 0 : 1);
  if (patterns != 1) {
    std::fprintf(
        stderr,
        "ledcolor send: one of --color RRGGBB, --rainbow, --chase, --ramp or --file ROWS\n");
    return 2;
  }
  const Pattern pattern(o, error);
  if (!error.empty()) {
    std::fprintf(stderr, "ledcolor send: %s\n", error.c_str());
    return 2;
  }
  const auto format =
      o.format == "ada" ? ledcolor::AdalightFormat::kClassic : ledcolor::AdalightFormat::kAwa;
  int fd = -1;
  sockaddr_in to{};
  if (target.kind == Target::Kind::kSerial) {
    fd = OpenSerialPort(target.where, target.baud, error);
  } else {
    fd = UdpTo(target, to, error);
  }
  if (fd < 0) {
    std::fprintf(stderr, "ledcolor send: %s\n", error.c_str());
    return 1;
  }
  const bool terminal = isatty(STDERR_FILENO) != 0;
  std::string hello;  // the controller's last answer, on a serial port
  std::string heard;
  if (target.kind == Target::Kind::kSerial && format == ledcolor::AdalightFormat::kAwa) {
    std::array<std::uint8_t, 6> request{};
    WriteAll(fd, std::span(request).first(
                     ledcolor::EncodeHostRequest(ledcolor::HostRequest::kHello, request)));
  }
  const std::size_t frames =
      o.seconds > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(o.seconds * o.fps)) : 1;
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / o.fps));
  const Clock::time_point start = Clock::now();
  Clock::time_point shown_at = start;
  std::vector<std::uint8_t> wire;
  std::uint8_t sequence = 0;
  int status = 0;
  for (std::size_t k = 0; k < frames; ++k) {
    std::this_thread::sleep_until(start + k * period);
    const std::vector<ledcolor::Rgb> row = pattern.Frame(k);
    if (target.kind == Target::Kind::kSerial) {
      wire.resize(ledcolor::AdalightFrameSize(row.size(), format));
      wire.resize(ledcolor::EncodeAdalightFrame(row, wire, format));
      if (!WriteAll(fd, wire)) {
        std::fprintf(stderr, "\nledcolor send: %s: the port took no more\n", target.where.c_str());
        status = 1;
        break;
      }
      std::array<char, 256> buffer{};
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n > 0) {
        heard.append(buffer.data(), static_cast<std::size_t>(n));
        const std::size_t end = heard.find('\n');
        if (end != std::string::npos) {
          hello = heard.substr(0, heard.find_first_of("\r\n"));
          heard.clear();
        }
      }
    } else {
      SendNetwork(target, o, fd, to, row, sequence);
    }
    if (terminal && (Clock::now() - shown_at > std::chrono::milliseconds(250) || k + 1 == frames)) {
      shown_at = Clock::now();
      const double elapsed = std::chrono::duration<double>(shown_at - start).count();
      std::fprintf(stderr, "\rframes %zu, %.1f fps%s%s\x1b[K", k + 1,
                   elapsed > 0 ? static_cast<double>(k + 1) / elapsed : 0.0,
                   hello.empty() ? "" : ", controller: ", hello.c_str());
    }
  }
  if (terminal) {
    std::fprintf(stderr, "\n");
  }
  // The last frame's bytes out before the port closes.
  if (target.kind == Target::Kind::kSerial) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  close(fd);
  std::printf("sent %zu frame%s of %zu LEDs to %s\n", frames, frames == 1 ? "" : "s", o.leds,
              o.target.c_str());
  return status;
}

}  // namespace tool
