// A dithered output of `ledcolor run`, read back: with a constant frame the refreshes cycle
// through the dither's 16 phases, the first phase first, and their mean is the frame's 16-bit level
// within the dither's bound (half an 8-bit step over 16 frames: 257 / 32); a new frame starts from
// its own first phase, and no phase of the old one follows it.
//   tool_dither_check LEDCOLOR WORK_FOLDER
// A WS2801 output of 4 LEDs (3 raw bytes an LED), file: on a FIFO, fed by DDP over 127.0.0.1.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "config.h"
#include "output.h"

namespace {

constexpr std::size_t kLeds = 4;
using Frame = std::vector<std::uint8_t>;

// The 16 phases the library makes of `colours` for this output, each as the device's bytes, and
// the frame's 16-bit row.
std::vector<Frame> Phases(const tool::OutputConfig& o, std::vector<std::uint8_t> colours,
                          std::vector<ledcolor::Rgb16>& wide) {
  const tool::GammaTables gamma(o);
  std::vector<ledcolor::Rgbw> work;
  std::vector<std::uint8_t> path;
  std::vector<Frame> phases;
  if (!tool::ShapeWide(o, *gamma.words, colours, work, path, wide)) {
    return phases;
  }
  ledcolor::TemporalDither dither(tool::kDitherBits);
  for (int f = 0; f < 16; ++f) {
    std::vector<ledcolor::Rgb> phase(kLeds);
    if (dither.Next(wide, phase) != kLeds) {
      return {};
    }
    // A WS2801 in RGB order takes the channels as they lie.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(phase.data());
    phases.emplace_back(bytes, bytes + 3 * kLeds);
  }
  return phases;
}

// The next frame from the FIFO, or an empty one after a second without.
Frame Read(int fd) {
  Frame frame(3 * kLeds);
  std::size_t got = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (got < frame.size() && std::chrono::steady_clock::now() < end) {
    pollfd wait{fd, POLLIN, 0};
    poll(&wait, 1, 50);
    const ssize_t n = read(fd, frame.data() + got, frame.size() - got);
    got += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  return got == frame.size() ? frame : Frame{};
}

void SendDdp(const std::vector<std::uint8_t>& colours) {
  std::vector<std::uint8_t> datagram(10 + colours.size());
  const ledcolor::DdpPacket packet{true, 0, 0x0B, 0, colours};
  datagram.resize(ledcolor::EncodeDdp(packet, datagram));
  const int sock = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(4048);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
         sizeof to);
  close(sock);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tool_dither_check LEDCOLOR WORK_FOLDER\n");
    return 2;
  }
  const std::string dir = argv[2];
  const std::string fifo = dir + "/dither.fifo";
  const std::string file = dir + "/dither.toml";
  mkdir(dir.c_str(), 0755);
  unlink(fifo.c_str());
  mkfifo(fifo.c_str(), 0600);
  std::ofstream(file) << "[input]\naddress = \"127.0.0.1\"\n[[output]]\ndevice = \"file:" << fifo
                      << "\"\nleds = " << kLeds
                      << "\nprotocol = \"ddp\"\nstrip = \"ws2801\"\ngamma = 2.2\ndither = true\n"
                         "refresh_hz = 500\nidle_ms = 0\n";
  auto loaded = tool::LoadConfig(file);
  if (auto* error = std::get_if<std::string>(&loaded)) {
    std::fprintf(stderr, "%s\n", error->c_str());
    return 2;
  }
  const tool::OutputConfig& o = std::get<tool::Config>(loaded).outputs[0];
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const pid_t child = fork();
  if (child == 0) {
    execl(argv[1], argv[1], "run", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  usleep(300'000);
  if (waitpid(child, nullptr, WNOHANG) == child) {
    std::printf("dither: %s did not start\n", argv[1]);
    return 1;
  }
  bool ok = true;
  const auto fail = [&](const char* what) {
    std::printf("dither: %s\n", what);
    ok = false;
  };
  // Dark levels, where the 8-bit path has the fewest steps: every channel between two of them.
  const std::vector<std::uint8_t> a{12, 20, 31, 9, 17, 25, 40, 6, 14, 35, 28, 3};
  std::vector<std::uint8_t> b(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    b[i] = static_cast<std::uint8_t>(a[i] + 7);
  }
  std::vector<ledcolor::Rgb16> wide_a;
  std::vector<ledcolor::Rgb16> wide_b;
  const std::vector<Frame> phases_a = Phases(o, a, wide_a);
  const std::vector<Frame> phases_b = Phases(o, b, wide_b);
  SendDdp(a);
  std::vector<Frame> seen;
  for (int i = 0; i < 40; ++i) {
    seen.push_back(Read(fd));
  }
  if (phases_a.size() != 16 || seen.back().empty()) {
    fail("no refreshes");
  }
  // Every refresh is the phase its place in the cycle asks, from the first.
  for (std::size_t i = 0; ok && i < seen.size(); ++i) {
    if (seen[i] != phases_a[i % 16]) {
      fail("a refresh is not the dither's next phase");
    }
  }
  // The mean over a period, against the 16-bit level.
  double worst = 0;
  for (std::size_t byte = 0; ok && byte < 3 * kLeds; ++byte) {
    double sum = 0;
    for (std::size_t f = 0; f < 16; ++f) {
      sum += seen[f][byte];
    }
    const ledcolor::Rgb16& led = wide_a[byte / 3];
    const std::uint16_t level = byte % 3 == 0 ? led.r : byte % 3 == 1 ? led.g : led.b;
    worst = std::max(worst, std::abs(sum / 16 * 257 - level));
  }
  if (worst > 257.0 / 32) {
    fail("the mean of a period strays from the 16-bit level");
  }
  // A new frame: its first phase comes, and after it only its own phases, in order.
  SendDdp(b);
  std::size_t at = 0;
  Frame frame = Read(fd);
  for (int i = 0; i < 64 && frame != phases_b[0]; ++i) {
    frame = Read(fd);
  }
  for (int i = 0; ok && i < 40; ++i, frame = Read(fd)) {
    if (frame != phases_b[at++ % 16]) {
      fail("after the new frame, a refresh is not its own next phase");
    }
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  close(fd);
  if (ok) {
    std::printf(
        "dither: 40 refreshes of a constant frame cycle through the 16 phases, the mean "
        "of a period within %.2f of the 16-bit level (bound %.2f); the next frame starts "
        "at its own first phase, and only its phases follow\n",
        worst, 257.0 / 32);
  }
  return ok ? 0 : 1;
}
