#include "run.h"

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "config.h"
#include "devices.h"
#include "ledcolor/ledcolor.h"
#include "output.h"
#include "sockets.h"

namespace tool {

namespace {

constexpr std::array<std::uint16_t, 3> kPorts{4048, 5568, 6454};  // DDP, E1.31, Art-Net

// An E1.31 packet that is valid but carries no levels (universe discovery): not ours, not
// malformed.
bool IsE131Other(std::span<const std::uint8_t> d) {
  constexpr std::string_view kId{"ASC-E1.17\0\0\0", 12};
  return d.size() >= 44 && std::equal(kId.begin(), kId.end(), d.begin() + 4) && d[21] == 8 &&
         d[43] == 2;
}

// Everything a configuration runs: its outputs and the sockets they share.
struct Runtime {
  Config config;
  std::vector<std::unique_ptr<Output>> outputs;
  std::array<int, 3> sockets{-1, -1, -1};
  std::vector<int> holders;  // sockets that hold multicast groups for the E1.31 one
  std::array<std::uint64_t, 3> malformed{};
  std::vector<std::uint16_t> artnet_ports;
  Clock::time_point start = Clock::now();

  Runtime() = default;
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  ~Runtime() {
    for (const int fd : sockets) {
      if (fd >= 0) {
        close(fd);
      }
    }
    for (const int fd : holders) {
      close(fd);
    }
  }
  std::uint32_t NowMs(Clock::time_point now) const {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count());
  }
};

// Opens the devices and sockets a configuration needs; null, with the reason, when one cannot be
// had.
std::unique_ptr<Runtime> Build(Config config, std::string& error) {
  auto runtime = std::make_unique<Runtime>();
  for (const OutputConfig& output : config.outputs) {
    std::unique_ptr<Device> device = MakeDevice(output);
    if (!device->Open(error)) {
      return nullptr;
    }
    runtime->outputs.push_back(std::make_unique<Output>(output, std::move(device)));
    const auto protocol = static_cast<std::size_t>(output.protocol);
    int& fd = runtime->sockets[protocol];
    if (fd < 0) {
      fd = BindUdp(config.input.address, kPorts[protocol], error);
      if (fd < 0) {
        return nullptr;
      }
    }
    const UniverseSpan span = SpanOf(output);
    for (std::uint32_t u = span.first;
         output.protocol != Protocol::kDdp && u < span.first + span.count; ++u) {
      if (output.protocol == Protocol::kE131 &&
          !JoinUniverse(fd, runtime->holders, static_cast<std::uint16_t>(u), config.input.interface,
                        error)) {
        return nullptr;
      }
      if (output.protocol == Protocol::kArtNet) {
        runtime->artnet_ports.push_back(static_cast<std::uint16_t>(u));
      }
    }
  }
  runtime->config = std::move(config);
  return runtime;
}

void Dispatch(Runtime& rt, Protocol protocol, std::span<const std::uint8_t> datagram,
              const sockaddr_in& from, Clock::time_point now) {
  const std::uint32_t now_ms = rt.NowMs(now);
  const auto each = [&](auto&& take) {
    for (const auto& output : rt.outputs) {
      if (output->Config().protocol == protocol) {
        take(*output);
      }
    }
  };
  bool usable = false;
  switch (protocol) {
    case Protocol::kDdp:
      if (const auto packet = ledcolor::DecodeDdp(datagram)) {
        usable = true;
        each([&](Output& o) { o.Take(*packet, now_ms); });
      }
      break;
    case Protocol::kE131:
      if (const auto packet = ledcolor::DecodeE131(datagram)) {
        usable = true;
        each([&](Output& o) { o.Take(*packet, now_ms); });
      } else {
        usable = IsE131Other(datagram);
      }
      break;
    case Protocol::kArtNet:
      if (IsArtPoll(datagram)) {
        usable = true;
        // The reply goes back where the poll came from: a controller polls from port 6454.
        for (const auto& reply :
             ArtPollReplies(rt.config.input.name, rt.artnet_ports, LocalAddressFor(from))) {
          sendto(rt.sockets[2], reply.data(), reply.size(), 0,
                 reinterpret_cast<const sockaddr*>(&from), sizeof from);
        }
      } else if (const auto packet = ledcolor::DecodeArtNet(datagram)) {
        usable = true;
        const std::uint32_t source = ntohl(from.sin_addr.s_addr);
        each([&](Output& o) { o.Take(*packet, source, now_ms); });
      } else {
        usable = IsArtNet(datagram);
      }
      break;
  }
  if (!usable) {
    ++rt.malformed[static_cast<std::size_t>(protocol)];
  }
}

// Reads what a socket holds, up to a bound so that a flood cannot starve the devices.
void Receive(Runtime& rt, Protocol protocol) {
  std::array<std::uint8_t, 2048> buffer{};
  for (int i = 0; i < 256; ++i) {
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t size =
        recvfrom(rt.sockets[static_cast<std::size_t>(protocol)], buffer.data(), buffer.size(),
                 MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &from_size);
    if (size < 0) {
      return;
    }
    const auto length = static_cast<std::size_t>(size);
    if (length > buffer.size()) {  // longer than any packet we take
      ++rt.malformed[static_cast<std::size_t>(protocol)];
      continue;
    }
    Dispatch(rt, protocol, std::span(buffer.data(), length), from, Clock::now());
  }
}

void PrintStats(const Runtime& rt, std::vector<OutputStats>& before, double seconds) {
  before.resize(rt.outputs.size());
  for (std::size_t i = 0; i < rt.outputs.size(); ++i) {
    const Output& o = *rt.outputs[i];
    const OutputStats& s = o.Stats();
    std::printf(
        "%s: shown %llu (%.1f fps), replaced %llu, dropped %llu (late, repeated or another "
        "source's), malformed %s datagrams %llu\n",
        o.Config().device.c_str(), static_cast<unsigned long long>(s.shown),
        static_cast<double>(s.shown - before[i].shown) / seconds,
        static_cast<unsigned long long>(s.replaced), static_cast<unsigned long long>(s.dropped),
        ProtocolName(o.Config().protocol),
        static_cast<unsigned long long>(
            rt.malformed[static_cast<std::size_t>(o.Config().protocol)]));
    before[i] = s;
  }
  std::fflush(stdout);
}

}  // namespace

int Run(const std::string& file, bool check, double stats_seconds) {
  auto loaded = LoadConfig(file);
  if (auto* error = std::get_if<std::string>(&loaded)) {
    std::fprintf(stderr, "%s\n", error->c_str());
    return 2;
  }
  if (check) {
    for (const OutputConfig& output : std::get<Config>(loaded).outputs) {
      std::printf("%s\n", Describe(output).c_str());
    }
    return 0;
  }
  // The signals arrive as reads, between datagrams, never inside a device write.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signal_fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);

  std::string error;
  std::unique_ptr<Runtime> rt = Build(std::move(std::get<Config>(loaded)), error);
  if (!rt) {
    std::fprintf(stderr, "ledcolor: %s\n", error.c_str());
    return 1;
  }
  for (const auto& output : rt->outputs) {
    Log("%s", Describe(output->Config()).c_str());
  }
  Log("running %s", file.c_str());

  const auto stats_every =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(stats_seconds));
  Clock::time_point next_stats = Clock::now() + stats_every;
  std::vector<OutputStats> before;
  std::vector<pollfd> fds;
  for (;;) {
    // Wait for a datagram, a signal, a device, or the next thing due.
    Clock::time_point due = stats_seconds > 0 ? next_stats : Clock::time_point::max();
    fds.assign(1, pollfd{signal_fd, POLLIN, 0});
    for (const int fd : rt->sockets) {
      if (fd >= 0) {
        fds.push_back({fd, POLLIN, 0});
      }
    }
    const std::size_t first_device = fds.size();
    for (const auto& output : rt->outputs) {
      Device& device = output->Dev();
      fds.push_back({device.Fd(), device.Events(), 0});
      due = std::min({due, device.NextTick(), output->NextServe()});
    }
    const Clock::time_point now = Clock::now();
    timespec wait{};
    timespec* timeout = nullptr;
    if (due != Clock::time_point::max()) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::max(due - now, Clock::duration::zero()))
                          .count();
      wait = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      timeout = &wait;
    }
    if (ppoll(fds.data(), fds.size(), timeout, nullptr) < 0 && errno != EINTR) {
      Log("poll failed: %s", std::strerror(errno));
      return 1;
    }

    if ((fds[0].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      while (read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGHUP) {
          auto reloaded = LoadConfig(file);
          if (auto* message = std::get_if<std::string>(&reloaded)) {
            Log("reload refused, the running configuration kept: %s", message->c_str());
            continue;
          }
          Config running = rt->config;
          rt.reset();  // its sockets and devices free for the new one
          rt = Build(std::move(std::get<Config>(reloaded)), error);
          if (rt) {
            Log("reloaded %s", file.c_str());
          } else {
            Log("reload failed, the running configuration kept: %s", error.c_str());
            rt = Build(std::move(running), error);
            if (!rt) {
              Log("%s", error.c_str());
              return 1;
            }
          }
          before.clear();
          break;
        }
        // SIGTERM, SIGINT: every strip dark, then out.
        Log("stopping: blanking %zu outputs", rt->outputs.size());
        for (const auto& output : rt->outputs) {
          output->BlankNow();
        }
        return 0;
      }
      continue;  // the runtime may be new: its descriptors are polled afresh
    }
    std::size_t at = 1;
    for (std::size_t p = 0; p < rt->sockets.size(); ++p) {
      if (rt->sockets[p] >= 0) {
        if ((fds[at].revents & POLLIN) != 0) {
          Receive(*rt, static_cast<Protocol>(p));
        }
        ++at;
      }
    }
    const Clock::time_point after = Clock::now();
    for (std::size_t i = 0; i < rt->outputs.size(); ++i) {
      Device& device = rt->outputs[i]->Dev();
      if (fds[first_device + i].revents != 0) {
        device.OnEvents(fds[first_device + i].revents, after);
      }
      if (after >= device.NextTick()) {
        device.Tick(after);
      }
      rt->outputs[i]->Serve(after);
    }
    if (stats_seconds > 0 && after >= next_stats) {
      PrintStats(*rt, before, stats_seconds);
      next_stats += stats_every;
    }
  }
}

}  // namespace tool
