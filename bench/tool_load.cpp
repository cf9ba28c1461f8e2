// `ledcolor run` under a show program's load, measured: 64 E1.31 universes at 40 frames a second
// (10 880 RGB LEDs in 4 outputs of 16 universes, file: devices on FIFOs) from this process over
// 127.0.0.1. Prints the program's CPU share of one core, from /proc, and the latency from the
// last datagram of an output's frame to that frame's first bytes in its FIFO. A benchmark: it
// prints, and fails only when a frame does not arrive.
//   ledcolor_tool_load LEDCOLOR [SECONDS]
//
// With `dark-fade` instead of SECONDS: the dark-scene benchmark's fade (black to 2 % of full light
// in 1000 steps, even to the eye) as a host sends it, 8-bit values for gamma 2.2, by DDP to one
// LED of two WS2801 outputs with gamma 2.2, one dithered: how many distinct light levels each
// shows (the dithered one's light is the mean of a period of 16 refreshes), and the largest error
// in thousandths of the fade's top.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kOutputs = 4;
constexpr int kUniversesEach = 16;
constexpr std::size_t kLedsEach = 170 * kUniversesEach;
constexpr std::size_t kFrameBytes = 9 * kLedsEach;  // the WS2812 waveform over SPI

// `ledcolor run FILE` in a process of its own, its log discarded, given half a second to start.
pid_t StartLedcolor(const char* ledcolor, const std::string& file) {
  const pid_t child = fork();
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    execl(ledcolor, ledcolor, "run", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return child;
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  return to;
}

// Reads one 3-byte frame from a FIFO; false after a second without.
bool ReadFrame(int fd, std::array<std::uint8_t, 3>& frame) {
  std::size_t got = 0;
  const Clock::time_point end = Clock::now() + std::chrono::seconds(1);
  while (got < frame.size() && Clock::now() < end) {
    pollfd wait{fd, POLLIN, 0};
    poll(&wait, 1, 20);
    const ssize_t n = read(fd, frame.data() + got, frame.size() - got);
    got += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  return got == frame.size();
}

void Drain(int fd) {
  std::array<std::uint8_t, 4096> sink{};
  while (read(fd, sink.data(), sink.size()) > 0) {
  }
}

int DarkFade(const char* ledcolor) {
  char folder[] = "/tmp/ledcolor-fade-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    return 1;
  }
  const std::string dir = folder;
  std::ofstream config(dir + "/fade.toml");
  config << "[input]\naddress = \"127.0.0.1\"\n";
  std::array<int, 2> fifo{};
  for (int o = 0; o < 2; ++o) {
    const std::string path = dir + "/out" + std::to_string(o);
    mkfifo(path.c_str(), 0600);
    fifo[static_cast<std::size_t>(o)] = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    config << "[[output]]\ndevice = \"file:" << path
           << "\"\nleds = 1\nprotocol = \"ddp\"\nstrip = \"ws2801\"\ngamma = 2.2\nidle_ms = 0\n"
           << (o == 1 ? "dither = true\nrefresh_hz = 2000\n" : "");
  }
  config.close();
  const pid_t child = StartLedcolor(ledcolor, dir + "/fade.toml");
  const int sock = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = Loopback(4048);
  constexpr int kSteps = 1000;
  constexpr double kTop = 0.02;
  std::array<std::set<double>, 2> shown;
  std::array<double, 2> worst{};
  int status = 0;
  for (int t = 0; t < kSteps; ++t) {
    const double asked = kTop * std::pow(t / (kSteps - 1.0), 2.2);
    // The host's value: what gamma 2.2 turns into the light asked.
    const auto v = static_cast<std::uint8_t>(255 * std::pow(asked, 1 / 2.2) + 0.5);
    Drain(fifo[0]);
    Drain(fifo[1]);
    const std::array<std::uint8_t, 3> colours{v, 0, 0};
    std::array<std::uint8_t, 13> datagram{};
    const std::size_t size =
        ledcolor::EncodeDdp({true, 0, 0x0B, 0, colours}, std::span<std::uint8_t>(datagram));
    sendto(sock, datagram.data(), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    std::array<std::uint8_t, 3> frame{};
    std::array<double, 2> light{};
    status |= ReadFrame(fifo[0], frame) ? 0 : 1;
    light[0] = frame[0] / 255.0;
    // Two refreshes may be of the step before; then a whole period of this one's.
    double sum = 0;
    for (int f = 0; f < 18; ++f) {
      status |= ReadFrame(fifo[1], frame) ? 0 : 1;
      sum += f >= 2 ? frame[0] : 0;
    }
    light[1] = sum / 16 / 255.0;
    for (std::size_t o = 0; o < 2; ++o) {
      shown[o].insert(light[o]);
      worst[o] = std::max(worst[o], std::abs(light[o] - asked));
    }
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  for (int o = 0; o < 2; ++o) {
    unlink((dir + "/out" + std::to_string(o)).c_str());
  }
  unlink((dir + "/fade.toml").c_str());
  rmdir(dir.c_str());
  std::printf("| ledcolor run, WS2801 with gamma 2.2, from a host's 8-bit values | %zu | %.2f |\n",
              shown[0].size(), 1000 * worst[0] / kTop);
  std::printf("| ledcolor run, the same dithered (mean of 16 refreshes) | %zu | %.2f |\n",
              shown[1].size(), 1000 * worst[1] / kTop);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ledcolor_tool_load LEDCOLOR [SECONDS | dark-fade]\n");
    return 2;
  }
  if (argc > 2 && std::string(argv[2]) == "dark-fade") {
    return DarkFade(argv[1]);
  }
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
  char folder[] = "/tmp/ledcolor-load-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = folder;
  std::ofstream config(dir + "/load.toml");
  config << "[input]\naddress = \"127.0.0.1\"\n";
  std::array<int, kOutputs> fifo{};
  for (int o = 0; o < kOutputs; ++o) {
    const std::string path = dir + "/out" + std::to_string(o);
    mkfifo(path.c_str(), 0600);
    fifo[static_cast<std::size_t>(o)] = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    config << "[[output]]\ndevice = \"file:" << path << "\"\nleds = " << kLedsEach
           << "\nprotocol = \"e131\"\nuniverse = " << 1 + o * kUniversesEach
           << "\ngamma = 2.2\nbudget_ma = 20000\nidle_ms = 0\n";
  }
  config.close();
  const pid_t child = StartLedcolor(argv[1], dir + "/load.toml");
  const int sock = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = Loopback(5568);
  std::array<std::uint8_t, 638> datagram{};
  std::array<std::uint8_t, 512> levels{};
  std::vector<std::uint8_t> sink(kFrameBytes);
  std::vector<double> latency_us;
  const int frames = static_cast<int>(seconds * 40);
  const Clock::time_point start = Clock::now();
  int missing = 0;
  for (int f = 0; f < frames; ++f) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(25'000 * f));
    for (int o = 0; o < kOutputs; ++o) {
      Clock::time_point sent;
      for (int u = 0; u < kUniversesEach; ++u) {
        std::fill(levels.begin(), levels.end(), static_cast<std::uint8_t>(f * 7 + u));
        ledcolor::E131Packet packet{};
        packet.kind = ledcolor::E131Packet::Kind::kData;
        packet.cid = {0x6C, 0x6F, 0x61, 0x64};
        packet.priority = 100;
        packet.sequence = static_cast<std::uint8_t>(f);
        packet.universe = static_cast<std::uint16_t>(1 + o * kUniversesEach + u);
        packet.slots = levels;
        const std::size_t size = ledcolor::EncodeE131(packet, "load", datagram);
        sendto(sock, datagram.data(), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        sent = Clock::now();
      }
      // This output's frame: its first bytes mark the write; then all of it, to empty the FIFO.
      std::size_t got = 0;
      bool first = true;
      const Clock::time_point give_up = sent + std::chrono::milliseconds(500);
      while (got < kFrameBytes && Clock::now() < give_up) {
        pollfd wait{fifo[static_cast<std::size_t>(o)], POLLIN, 0};
        poll(&wait, 1, 10);
        const ssize_t n = read(wait.fd, sink.data(), kFrameBytes - got);
        if (n > 0) {
          if (first) {
            latency_us.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            first = false;
          }
          got += static_cast<std::size_t>(n);
        }
      }
      missing += got < kFrameBytes ? 1 : 0;
      if (waitpid(child, nullptr, WNOHANG) == child) {
        std::fprintf(stderr, "ledcolor_tool_load: ledcolor stopped\n");
        return 1;
      }
    }
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  // Its whole life's CPU time, to the microsecond: the half second before the load adds next to
  // nothing to a program that waits in poll.
  kill(child, SIGTERM);
  rusage usage{};
  wait4(child, nullptr, 0, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  for (int o = 0; o < kOutputs; ++o) {
    unlink((dir + "/out" + std::to_string(o)).c_str());
  }
  unlink((dir + "/load.toml").c_str());
  rmdir(dir.c_str());

  std::sort(latency_us.begin(), latency_us.end());
  const auto at = [&](double q) {
    return latency_us.empty() ? 0.0
                              : latency_us[static_cast<std::size_t>(
                                    q * static_cast<double>(latency_us.size() - 1))];
  };
  std::printf(
      "ledcolor run: 64 E1.31 universes, 10880 LEDs in 4 outputs (gamma, budget, WS2812 "
      "over SPI), 40 frames a second for %.1f s\n",
      wall);
  std::printf("  CPU: %.2f %% of one core (%.3f s user and system)\n", 100.0 * cpu / wall, cpu);
  std::printf(
      "  latency, last datagram to the device write: median %.0f us, 90th percentile %.0f us, "
      "99th %.0f us, over %zu frames\n",
      at(0.5), at(0.9), at(0.99), latency_us.size());
  std::printf("  frames not arrived: %d of %d\n", missing, frames * kOutputs);
  return missing == 0 ? 0 : 1;
}
