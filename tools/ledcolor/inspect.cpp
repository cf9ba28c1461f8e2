// `ledcolor inspect`: a serial capture read as the firmware's reader reads it, or a pcap/pcapng
// capture of UDP read with libpcap -- loaded when it is needed, so that the program itself does
// not depend on it -- and each datagram decoded as a controller would.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <pcap/pcap.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "commands.h"
#include "ledcolor/ledcolor.h"

namespace tool {

namespace {

// One line of the listing.
struct Record {
  double time = 0;
  std::string protocol;  // ddp e131 artnet awa ada other
  std::string source;
  std::optional<std::uint32_t> universe;
  std::optional<std::uint32_t> offset;
  std::size_t leds = 0;
  bool valid = true;
  std::string why;   // when not valid
  std::string note;  // a sequence gap, a repeat
};

struct Summary {
  std::size_t datagrams = 0;
  std::size_t invalid = 0;
  std::size_t late = 0;  // late or repeated
  std::size_t lost = 0;  // packets a sequence gap says are missing
  std::size_t shows = 0;
  double first = -1;
  double last = 0;
};

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
    }
    out += c;
  }
  return out;
}

void Print(const Record& r, bool json) {
  if (json) {
    const auto number = [](const std::optional<std::uint32_t>& v) {
      return v ? std::to_string(*v) : std::string("null");
    };
    std::printf(
        "{\"time\": %.6f, \"protocol\": \"%s\", \"source\": \"%s\", \"universe\": %s, "
        "\"offset\": %s, \"leds\": %zu, \"valid\": %s%s%s%s}\n",
        r.time, r.protocol.c_str(), Escape(r.source).c_str(), number(r.universe).c_str(),
        number(r.offset).c_str(), r.leds, r.valid ? "true" : "false",
        r.valid ? "" : (", \"why\": \"" + Escape(r.why) + "\"").c_str(),
        r.note.empty() ? "" : ", \"note\": \"",
        r.note.empty() ? "" : (Escape(r.note) + "\"").c_str());
    return;
  }
  std::string where =
      r.universe ? (r.protocol == "artnet" ? "port " : "universe ") + std::to_string(*r.universe)
      : r.offset ? "offset " + std::to_string(*r.offset)
                 : "";
  std::printf("%10.6f %-6s %-21s %-14s %5zu LEDs  %s%s%s\n", r.time, r.protocol.c_str(),
              r.source.c_str(), where.c_str(), r.leds,
              r.valid ? "valid" : ("INVALID: " + r.why).c_str(), r.note.empty() ? "" : "; ",
              r.note.c_str());
}

void PrintShow(double time, std::size_t leds, bool json) {
  if (json) {
    std::printf("{\"time\": %.6f, \"show\": true, \"leds\": %zu}\n", time, leds);
  } else {
    std::printf("%10.6f shown: a whole frame of %zu LEDs\n", time, leds);
  }
}

void PrintSummary(const Summary& s, bool json, const char* frames_what) {
  const double span = s.first < 0 ? 0 : s.last - s.first;
  const std::size_t frames = s.shows;
  const double fps = span > 0 && frames > 1 ? static_cast<double>(frames - 1) / span : 0;
  if (json) {
    std::printf(
        "{\"summary\": {\"datagrams\": %zu, \"frames\": %zu, \"fps\": %.2f, \"invalid\": %zu, "
        "\"late_or_repeated\": %zu, \"lost\": %zu}}\n",
        s.datagrams, frames, fps, s.invalid, s.late, s.lost);
  } else {
    std::printf(
        "summary: %zu %s, %zu frames (%s), %.2f frames a second, %zu invalid, %zu late "
        "or repeated, %zu lost\n",
        s.datagrams, s.datagrams == 1 ? "record" : "records", frames, frames_what, fps, s.invalid,
        s.late, s.lost);
  }
}

// --- Serial ------------------------------------------------------------------------------------

int InspectSerial(const InspectOptions& o) {
  std::ifstream in(o.file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ledcolor inspect: %s: cannot be read\n", o.file.c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const auto format =
      o.format == "ada" ? ledcolor::AdalightFormat::kClassic : ledcolor::AdalightFormat::kAwa;
  std::vector<ledcolor::Rgb> storage(ledcolor::AdalightStorageLeds(ledcolor::kAdalightMaxLeds, 4));
  ledcolor::AdalightReader reader(storage, format);
  Summary s;
  std::size_t at = 0;
  std::uint64_t skipped = 0;
  const auto time_of = [&](std::size_t byte) { return static_cast<double>(byte) * 10 / o.baud; };
  const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          bytes.size());
  while (at < all.size()) {
    const ledcolor::AdalightReader::Result result = reader.Feed(all.subspan(at));
    at += result.consumed;
    const std::uint64_t now_skipped = reader.SkippedBytes();
    if (now_skipped != skipped) {
      Record r{time_of(at),
               "other",
               "serial",
               std::nullopt,
               std::nullopt,
               0,
               false,
               std::to_string(now_skipped - skipped) +
                   " bytes skipped: noise, or a frame that "
                   "failed its check",
               ""};
      Print(r, o.json);
      ++s.datagrams;
      ++s.invalid;
      skipped = now_skipped;
    }
    if (result.led_count != 0 || result.request != ledcolor::HostRequest::kNone) {
      Record r{time_of(at),
               format == ledcolor::AdalightFormat::kAwa ? "awa" : "ada",
               "serial",
               std::nullopt,
               std::nullopt,
               result.led_count,
               true,
               "",
               result.request == ledcolor::HostRequest::kHello     ? "a hello"
               : result.request == ledcolor::HostRequest::kGoodbye ? "a goodbye"
                                                                   : ""};
      Print(r, o.json);
      ++s.datagrams;
      if (result.led_count != 0) {
        ++s.shows;
        s.first = s.first < 0 ? r.time : s.first;
        s.last = r.time;
      }
    }
    if (result.consumed == 0) {
      break;
    }
  }
  PrintSummary(s, o.json, "whole, checked frames the reader returned");
  return 0;
}

// --- pcap ---------------------------------------------------------------------------------------

// libpcap's functions, loaded at run time.
struct Pcap {
  void* library = nullptr;
  decltype(&pcap_open_offline) open = nullptr;
  decltype(&pcap_datalink) datalink = nullptr;
  decltype(&pcap_next_ex) next = nullptr;
  decltype(&pcap_close) close = nullptr;

  bool Load() {
    for (const char* name : {"libpcap.so.0.8", "libpcap.so.1", "libpcap.so"}) {
      library = dlopen(name, RTLD_NOW);
      if (library != nullptr) {
        break;
      }
    }
    if (library == nullptr) {
      return false;
    }
    open = reinterpret_cast<decltype(open)>(dlsym(library, "pcap_open_offline"));
    datalink = reinterpret_cast<decltype(datalink)>(dlsym(library, "pcap_datalink"));
    next = reinterpret_cast<decltype(next)>(dlsym(library, "pcap_next_ex"));
    close = reinterpret_cast<decltype(close)>(dlsym(library, "pcap_close"));
    return open != nullptr && datalink != nullptr && next != nullptr && close != nullptr;
  }
};

// The IPv4 packet inside a captured frame, by the capture's link type; empty when there is none.
std::span<const std::uint8_t> Ipv4(int link, std::span<const std::uint8_t> frame) {
  std::size_t at = 0;
  std::uint16_t type = 0x0800;
  switch (link) {
    case DLT_EN10MB:
      at = 14;
      type = frame.size() >= 14 ? static_cast<std::uint16_t>(frame[12] << 8 | frame[13]) : 0;
      if (type == 0x8100 && frame.size() >= 18) {  // a VLAN tag
        type = static_cast<std::uint16_t>(frame[16] << 8 | frame[17]);
        at = 18;
      }
      break;
    case DLT_LINUX_SLL:
      at = 16;
      type = frame.size() >= 16 ? static_cast<std::uint16_t>(frame[14] << 8 | frame[15]) : 0;
      break;
    case DLT_LINUX_SLL2:
      at = 20;
      type = frame.size() >= 20 ? static_cast<std::uint16_t>(frame[0] << 8 | frame[1]) : 0;
      break;
    case DLT_NULL:
    case DLT_LOOP:
      at = 4;
      break;
    case DLT_RAW:
      at = 0;
      break;
    default:
      return {};
  }
  if (type != 0x0800 || frame.size() < at + 20 || (frame[at] >> 4) != 4) {
    return {};
  }
  return frame.subspan(at);
}

int InspectPcap(const InspectOptions& o) {
  Pcap pcap;
  if (!pcap.Load()) {
    std::fprintf(stderr, "ledcolor inspect: libpcap is not installed (apt install libpcap0.8)\n");
    return 1;
  }
  std::array<char, PCAP_ERRBUF_SIZE> error{};
  pcap_t* capture = pcap.open(o.file.c_str(), error.data());
  if (capture == nullptr) {
    std::fprintf(stderr, "ledcolor inspect: %s: %s\n", o.file.c_str(), error.data());
    return 1;
  }
  const int link = pcap.datalink(capture);
  // What a FrameAssembler of --leds would show: one for each protocol, at the layout asked.
  std::vector<ledcolor::Rgb> rows[3];
  std::optional<ledcolor::FrameAssembler> assemblers[3];
  if (o.leds > 0) {
    for (int p = 0; p < 3; ++p) {
      rows[p].resize(o.leds);
      const std::uint32_t first = p == 1 && o.universe == 0 ? 1 : o.universe;
      assemblers[p].emplace(std::span<ledcolor::Rgb>(rows[p]),
                            ledcolor::UniverseLayout{static_cast<std::uint16_t>(first), 1, 3});
    }
  }
  Summary s;
  std::map<std::tuple<std::string, std::string, std::uint32_t>, std::uint8_t> sequences;
  double start = -1;
  pcap_pkthdr* header = nullptr;
  const std::uint8_t* data = nullptr;
  while (pcap.next(capture, &header, &data) == 1) {
    const double stamp =
        static_cast<double>(header->ts.tv_sec) + static_cast<double>(header->ts.tv_usec) / 1e6;
    start = start < 0 ? stamp : start;
    const auto ip = Ipv4(link, std::span(data, header->caplen));
    const std::size_t ihl = ip.empty() ? 0 : 4U * (ip[0] & 15U);
    if (ip.empty() || ip[9] != 17 || ip.size() < ihl + 8) {
      continue;  // not UDP over IPv4
    }
    const auto udp = ip.subspan(ihl);
    const auto port = static_cast<std::uint16_t>(udp[2] << 8 | udp[3]);
    const std::size_t kind = port == 4048 ? 0 : port == 5568 ? 1 : port == 6454 ? 2 : 3;
    if (kind == 3) {
      continue;
    }
    const std::size_t udp_length = static_cast<std::size_t>(udp[4] << 8 | udp[5]);
    const auto datagram = udp.subspan(8, std::min(udp.size(), udp_length) - 8);
    char source[32];
    std::snprintf(source, sizeof source, "%u.%u.%u.%u:%u", ip[12], ip[13], ip[14], ip[15],
                  static_cast<unsigned>(udp[0] << 8 | udp[1]));
    Record r{stamp - start, "other", source, std::nullopt, std::nullopt, 0, true, "", ""};
    const auto now_ms = static_cast<std::uint32_t>((stamp - start) * 1000);
    bool shown = false;
    const auto drive = [&](std::span<const std::uint8_t>) { shown = true; };
    // The sequence of each source's stream: gaps are lost packets, a step back a late one.
    const auto check_sequence = [&](std::uint32_t universe, std::uint8_t sequence) {
      if (sequence == 0) {
        return;
      }
      const auto key = std::make_tuple(r.protocol, std::string(source), universe);
      const auto last = sequences.find(key);
      if (last != sequences.end()) {
        const auto step = static_cast<std::int8_t>(sequence - last->second);
        if (step <= 0) {
          r.note = "late or repeated (sequence " + std::to_string(sequence) + " after " +
                   std::to_string(last->second) + ")";
          ++s.late;
          return;
        }
        // DDP counts 1..15 and wraps to 1.
        const int expected = r.protocol == "ddp" ? last->second % 15 + 1 : (last->second + 1) & 255;
        if (sequence != expected) {
          const int missing = r.protocol == "ddp" ? (sequence - expected + 15) % 15 : step - 1;
          r.note = "sequence gap: " + std::to_string(missing) + " missing before " +
                   std::to_string(sequence);
          s.lost += static_cast<std::size_t>(missing);
        }
      }
      sequences[key] = sequence;
    };
    if (kind == 0) {
      if (const auto packet = ledcolor::DecodeDdp(datagram)) {
        r.protocol = "ddp";
        r.offset = packet->offset;
        r.leds = packet->data.size() / (packet->data_type == 0x1B ? 4 : 3);
        check_sequence(0, packet->sequence);
        if (assemblers[0]) {
          assemblers[0]->Take(*packet, now_ms, drive);
        }
      }
    } else if (kind == 1) {
      if (const auto packet = ledcolor::DecodeE131(datagram)) {
        r.protocol = "e131";
        if (packet->kind == ledcolor::E131Packet::Kind::kData) {
          r.universe = packet->universe;
          r.leds = packet->slots.size() / 3;
          check_sequence(packet->universe, packet->sequence);
        } else {
          r.note = "sync, address " + std::to_string(packet->sync_address);
        }
        if (assemblers[1]) {
          assemblers[1]->Take(*packet, now_ms, drive);
        }
      }
    } else if (const auto packet = ledcolor::DecodeArtNet(datagram)) {
      r.protocol = "artnet";
      if (packet->kind == ledcolor::ArtNetPacket::Kind::kDmx) {
        r.universe = packet->port_address;
        r.leds = packet->slots.size() / 3;
        check_sequence(packet->port_address, packet->sequence);
      } else {
        r.note = "ArtSync";
      }
      if (assemblers[2]) {
        const std::uint32_t from = std::uint32_t{ip[12]} << 24 | std::uint32_t{ip[13]} << 16 |
                                   std::uint32_t{ip[14]} << 8 | std::uint32_t{ip[15]};
        assemblers[2]->Take(*packet, from, now_ms, drive);
      }
    }
    if (r.protocol == "other") {
      r.valid = false;
      r.why = datagram.size() < 10 ? "too short for any of them"
              : kind == 0          ? "not a DDP display-data packet"
              : kind == 1          ? "not an E1.31 data or sync packet"
                                   : "not an ArtDmx or ArtSync packet";
      ++s.invalid;
    }
    ++s.datagrams;
    Print(r, o.json);
    if (shown) {
      PrintShow(r.time, o.leds, o.json);
      ++s.shows;
      s.first = s.first < 0 ? r.time : s.first;
      s.last = r.time;
    }
  }
  pcap.close(capture);
  PrintSummary(s, o.json,
               o.leds > 0 ? "shown by a FrameAssembler of --leds" : "none asked: give --leds");
  return 0;
}

}  // namespace

int Inspect(const InspectOptions& options) {
  return options.serial ? InspectSerial(options) : InspectPcap(options);
}

}  // namespace tool
