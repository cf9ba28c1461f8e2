// Independent readings of the network packets and of the frame assembler, the oracles for the unit
// tests and the fuzzers: builders of valid datagrams, decoders written field by field from the
// formats, and a model of the assembler's rules kept in maps. They share no code with the library.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <vector>

#include "ledcolor/net.h"

namespace ledcolor_testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutBig(Bytes& d, std::size_t at, std::uint32_t value, std::size_t bytes) {
  for (std::size_t k = 0; k < bytes; ++k) {
    d[at + k] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - k)));
  }
}
inline std::uint32_t GetBig(std::span<const std::uint8_t> d, std::size_t at, std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < bytes; ++k) {
    value = value << 8 | d[at + k];
  }
  return value;
}

// --- Builders --------------------------------------------------------------------------------

inline Bytes MakeDdp(bool push, std::uint8_t sequence, std::uint32_t offset, const Bytes& data,
                     std::uint8_t type = 0x0B, bool timecode = false) {
  const std::size_t header = timecode ? 14 : 10;
  Bytes d(header, 0);
  d[0] = static_cast<std::uint8_t>(0x40 | (push ? 0x01 : 0) | (timecode ? 0x10 : 0));
  d[1] = sequence;
  d[2] = type;
  d[3] = 1;
  PutBig(d, 4, offset, 4);
  PutBig(d, 8, static_cast<std::uint32_t>(data.size()), 2);
  d.insert(d.end(), data.begin(), data.end());
  return d;
}

struct E131Fields {
  std::array<std::uint8_t, 16> cid{};
  std::uint8_t priority = 100;
  std::uint16_t sync_address = 0;
  std::uint8_t sequence = 0;
  std::uint8_t options = 0;  // 0x80 preview, 0x40 terminated, 0x20 force sync
  std::uint16_t universe = 1;
};

inline Bytes E131Root(std::size_t size, std::uint32_t vector,
                      const std::array<std::uint8_t, 16>& cid) {
  Bytes d(size, 0);
  const char* id = "ASC-E1.17";
  PutBig(d, 0, 0x0010, 2);
  std::copy(id, id + 9, d.begin() + 4);
  PutBig(d, 16, 0x7000 | static_cast<std::uint32_t>(size - 16), 2);
  PutBig(d, 18, vector, 4);
  std::copy(cid.begin(), cid.end(), d.begin() + 22);
  PutBig(d, 38, 0x7000 | static_cast<std::uint32_t>(size - 38), 2);
  return d;
}

inline Bytes MakeE131Data(const E131Fields& f, const Bytes& levels, std::uint8_t start_code = 0) {
  Bytes d = E131Root(126 + levels.size(), 4, f.cid);
  PutBig(d, 40, 2, 4);
  const char* name = "ledcolor test";
  std::copy(name, name + 13, d.begin() + 44);
  d[108] = f.priority;
  PutBig(d, 109, f.sync_address, 2);
  d[111] = f.sequence;
  d[112] = f.options;
  PutBig(d, 113, f.universe, 2);
  PutBig(d, 115, 0x7000 | static_cast<std::uint32_t>(d.size() - 115), 2);
  d[117] = 0x02;
  d[118] = 0xA1;
  PutBig(d, 121, 1, 2);
  PutBig(d, 123, static_cast<std::uint32_t>(levels.size() + 1), 2);
  d[125] = start_code;
  std::copy(levels.begin(), levels.end(), d.begin() + 126);
  return d;
}

inline Bytes MakeE131Sync(const std::array<std::uint8_t, 16>& cid, std::uint8_t sequence,
                          std::uint16_t address) {
  Bytes d = E131Root(49, 8, cid);
  PutBig(d, 40, 1, 4);
  d[44] = sequence;
  PutBig(d, 45, address, 2);
  return d;
}

inline Bytes MakeArtDmx(std::uint8_t sequence, std::uint16_t port_address, const Bytes& levels) {
  Bytes d = {'A',
             'r',
             't',
             '-',
             'N',
             'e',
             't',
             0,
             0x00,
             0x50,
             0,
             14,
             sequence,
             0,
             static_cast<std::uint8_t>(port_address & 0xFF),
             static_cast<std::uint8_t>(port_address >> 8),
             0,
             0};
  PutBig(d, 16, static_cast<std::uint32_t>(levels.size()), 2);
  d.insert(d.end(), levels.begin(), levels.end());
  return d;
}

inline Bytes MakeArtSync() {
  return {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x52, 0, 14, 0, 0};
}

// --- Decoders, field by field ------------------------------------------------------------------

inline std::optional<ledcolor::DdpPacket> ReadDdp(std::span<const std::uint8_t> d) {
  if (d.size() < 10) {
    return std::nullopt;
  }
  const bool timecode = (d[0] & 0x10) != 0;
  const std::size_t header = timecode ? 14 : 10;
  const unsigned version = d[0] / 64;
  const bool not_display = (d[0] & 0x02) || (d[0] & 0x04) || (d[0] & 0x08);
  const std::uint8_t type = d[2];
  const bool type_ok = type == 0x00 || type == 0x01 || type == 0x0B || type == 0x1B;
  const std::uint32_t length = GetBig(d, 8, 2);
  if (version != 1 || not_display || !(d[3] == 1 || d[3] == 255) || !type_ok ||
      header + length > d.size()) {
    return std::nullopt;
  }
  return ledcolor::DdpPacket{(d[0] & 0x01) != 0, static_cast<std::uint8_t>(d[1] % 16), type,
                             GetBig(d, 4, 4), d.subspan(header, length)};
}

inline std::optional<ledcolor::E131Packet> ReadE131(std::span<const std::uint8_t> d) {
  const Bytes root = {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
  const auto layer_ok = [&](std::size_t at) {
    return d.size() >= at + 2 && d[at] / 16 == 7 && GetBig(d, at, 2) % 4096 == d.size() - at;
  };
  if (d.size() < 49 || !std::equal(root.begin(), root.end(), d.begin()) || !layer_ok(16) ||
      !layer_ok(38)) {
    return std::nullopt;
  }
  ledcolor::E131Packet p{};
  std::copy(d.begin() + 22, d.begin() + 38, p.cid.begin());
  if (GetBig(d, 18, 4) == 8 && GetBig(d, 40, 4) == 1 && d.size() == 49) {
    p.kind = ledcolor::E131Packet::Kind::kSync;
    p.sequence = d[44];
    p.sync_address = static_cast<std::uint16_t>(GetBig(d, 45, 2));
    return p;
  }
  if (GetBig(d, 18, 4) != 4 || GetBig(d, 40, 4) != 2 || d.size() < 126 || !layer_ok(115)) {
    return std::nullopt;
  }
  p.kind = ledcolor::E131Packet::Kind::kData;
  p.priority = d[108];
  p.sync_address = static_cast<std::uint16_t>(GetBig(d, 109, 2));
  p.sequence = d[111];
  p.preview = d[112] & 0x80;
  p.terminated = d[112] & 0x40;
  p.force_sync = d[112] & 0x20;
  p.universe = static_cast<std::uint16_t>(GetBig(d, 113, 2));
  const std::uint32_t count = GetBig(d, 123, 2);
  const bool dmp_ok = d[117] == 2 && d[118] == 0xA1 && GetBig(d, 119, 2) == 0 &&
                      GetBig(d, 121, 2) == 1 && count >= 1 && count <= 513 &&
                      125 + count == d.size();
  if (p.priority > 200 || p.universe == 0 || p.universe > 63999 || !dmp_ok || d[125] != 0) {
    return std::nullopt;
  }
  p.slots = d.subspan(126);
  return p;
}

inline std::optional<ledcolor::ArtNetPacket> ReadArtNet(std::span<const std::uint8_t> d) {
  const Bytes id = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
  if (d.size() < 14 || !std::equal(id.begin(), id.end(), d.begin()) || GetBig(d, 10, 2) < 14) {
    return std::nullopt;
  }
  const unsigned opcode = d[8] + 256U * d[9];
  if (opcode == 0x5200) {
    return ledcolor::ArtNetPacket{ledcolor::ArtNetPacket::Kind::kSync, 0, 0, {}};
  }
  if (opcode != 0x5000 || d.size() < 18) {
    return std::nullopt;
  }
  const std::uint32_t length = GetBig(d, 16, 2);
  if (d[15] >= 0x80 || length == 0 || length > 512 || 18 + length > d.size()) {
    return std::nullopt;
  }
  return ledcolor::ArtNetPacket{ledcolor::ArtNetPacket::Kind::kDmx, d[12],
                                static_cast<std::uint16_t>(d[15] * 256 + d[14]),
                                d.subspan(18, length)};
}

// Whether two decodings agree on every field, the spans on where they point and how far.
inline auto Fields(const ledcolor::DdpPacket& p) {
  return std::tuple(p.push, p.sequence, p.data_type, p.offset, p.data.data(), p.data.size());
}
inline auto Fields(const ledcolor::E131Packet& p) {
  return std::tuple(p.kind, p.cid, p.priority, p.sync_address, p.sequence, p.preview, p.terminated,
                    p.force_sync, p.universe, p.slots.data(), p.slots.size());
}
inline auto Fields(const ledcolor::ArtNetPacket& p) {
  return std::tuple(p.kind, p.sequence, p.port_address, p.slots.data(), p.slots.size());
}
template <typename Packet>
bool SameDecoding(const std::optional<Packet>& a, const std::optional<Packet>& b) {
  return a.has_value() == b.has_value() && (!a || Fields(*a) == Fields(*b));
}

// --- The assembler's rules, kept in maps ---------------------------------------------------

// At most four sources of each protocol: tracking beyond that is the library's own affair.
class ModelAssembler {
 public:
  ModelAssembler(std::vector<std::uint8_t>& row, ledcolor::UniverseLayout layout)
      : row_(row), layout_(layout) {
    const unsigned ch = layout.channels;
    if ((ch == 3 || ch == 4) && layout.first_channel >= 1 && layout.first_channel <= 512) {
      first_leds_ = (513 - layout.first_channel) / ch;
      per_ = 512 / ch;
      std::size_t leds = row.size() / ch;
      while (leds > 0) {  // universe by universe
        leds -= std::min(leds, universes_ == 0 ? first_leds_ : per_);
        ++universes_;
      }
      valid_ = first_leds_ > 0 && universes_ >= 1 && universes_ <= 64 &&
               layout.first_universe + universes_ - 1 <= 63999;
    }
  }

  using Result = ledcolor::FrameAssembler::Result;

  Result Take(const ledcolor::DdpPacket& p, std::uint32_t now) {
    if (!valid_ || (p.sequence != 0 && p.sequence == ddp_last_)) {
      return {true, false};
    }
    ddp_last_ = p.sequence != 0 ? p.sequence : ddp_last_;
    last_data_ = now;
    any_data_ = true;
    bool end = false;
    for (std::size_t k = 0; k < p.data.size(); ++k) {
      const std::uint64_t at = std::uint64_t{p.offset} + k;
      if (at < row_.size()) {
        row_[static_cast<std::size_t>(at)] = p.data[k];
        end = end || at + 1 == row_.size();
      }
    }
    return {true, p.push || end};
  }

  Result Take(const ledcolor::E131Packet& p, std::uint32_t now) {
    if (!valid_) {
      return {true, false};
    }
    const Id id(p.cid.begin(), p.cid.end());
    if (p.kind == ledcolor::E131Packet::Kind::kSync) {
      const bool holds = std::any_of(holder_e131_.begin(), holder_e131_.end(), [&](const auto& h) {
        return h.second == id && Live(e131_[h.second][h.first], now, 2500);
      });
      if (!holds || last_sync_address_ == 0 || p.sync_address != last_sync_address_) {
        return {true, false};
      }
      e131_sync_ = now;
      e131_synced_ = true;
      arrived_.clear();
      return {true, true};
    }
    const long u = static_cast<long>(p.universe) - layout_.first_universe;
    if (p.preview || u < 0 || u >= static_cast<long>(universes_)) {
      return {true, false};
    }
    if (Crowded(e131_, id, now, 2500)) {
      return {true, false};
    }
    State& s = e131_[id][u];
    if (p.terminated) {
      s.heard = false;
      if (holder_e131_.count(u) != 0 && holder_e131_[u] == id) {
        holder_e131_.erase(u);
      }
      return {true, false};
    }
    if (Late(s, p.sequence, now, 2500)) {
      return {true, false};
    }
    s.heard = true;
    s.heard_at = now;
    s.priority = p.priority;
    // The highest priority heard within 2.5 s; among equals the holder, if heard, else this one.
    unsigned best = 0;
    for (auto& [other, streams] : e131_) {
      if (streams.count(u) != 0 && Live(streams[u], now, 2500)) {
        best = std::max<unsigned>(best, streams[u].priority);
      }
    }
    const bool holder_live = holder_e131_.count(u) != 0 && holder_e131_[u] != id &&
                             Live(e131_[holder_e131_[u]][u], now, 2500);
    if (p.priority < best || (holder_live && e131_[holder_e131_[u]][u].priority == best)) {
      s.sequenced = true;  // every source's packets are numbered, shown or not
      s.sequence = p.sequence;
      return {true, false};
    }
    holder_e131_[u] = id;
    const bool synced = p.sync_address != 0 && e131_synced_ && now - e131_sync_ < 2500;
    const Result r = Accept(static_cast<std::size_t>(u), p.slots, synced, s, p.sequence, now);
    if (r.taken) {
      last_sync_address_ = p.sync_address;
    }
    return r;
  }

  Result Take(const ledcolor::ArtNetPacket& p, std::uint32_t source, std::uint32_t now) {
    if (!valid_) {
      return {true, false};
    }
    if (p.kind == ledcolor::ArtNetPacket::Kind::kSync) {
      bool holds = false;
      for (const auto& [u, h] : holder_artnet_) {
        holds = holds || (h == source && Live(artnet_[h][u], now, 10000));
      }
      if (!holds) {
        return {true, false};
      }
      artnet_sync_ = now;
      artnet_synced_ = true;
      arrived_.clear();
      return {true, true};
    }
    const long u = static_cast<long>(p.port_address) - layout_.first_universe;
    if (u < 0 || u >= static_cast<long>(universes_)) {
      return {true, false};
    }
    if (Crowded(artnet_, source, now, 10000)) {
      return {true, false};
    }
    State& s = artnet_[source][u];
    const bool held_by_other = holder_artnet_.count(u) != 0 && holder_artnet_[u] != source &&
                               Live(artnet_[holder_artnet_[u]][u], now, 10000);
    if (Late(s, p.sequence, now, 10000)) {
      return {true, false};
    }
    s.heard = true;
    s.heard_at = now;
    if (held_by_other) {
      s.sequenced = true;  // every sender's packets are numbered, shown or not
      s.sequence = p.sequence;
      return {true, false};
    }
    holder_artnet_[u] = source;
    const bool synced = artnet_synced_ && now - artnet_sync_ < 4000;
    return Accept(static_cast<std::size_t>(u), p.slots, synced, s, p.sequence, now);
  }

  [[nodiscard]] bool SenderActive(std::uint32_t now) const {
    return valid_ && any_data_ && now - last_data_ < 2500;
  }

 private:
  using Id = std::vector<std::uint8_t>;
  struct State {
    bool heard = false;
    std::uint32_t heard_at = 0;
    unsigned priority = 0;
    bool sequenced = false;
    std::uint8_t sequence = 0;
  };

  static bool Live(const State& s, std::uint32_t now, std::uint32_t window) {
    return s.heard && now - s.heard_at < window;
  }
  // A sender not heard of late is ignored while kMaxSources others are.
  template <typename Key>
  static bool Crowded(const std::map<Key, std::map<long, State>>& senders, const Key& key,
                      std::uint32_t now, std::uint32_t window) {
    const auto heard = [&](const auto& sender) {
      return std::any_of(sender.second.begin(), sender.second.end(),
                         [&](const auto& stream) { return Live(stream.second, now, window); });
    };
    const auto self = senders.find(key);
    if (self != senders.end() && heard(*self)) {
      return false;
    }
    const auto others = std::count_if(senders.begin(), senders.end(), heard);
    return static_cast<std::size_t>(others) >= ledcolor::FrameAssembler::kMaxSources;
  }
  // A stream lost (or ended) since its last packet starts afresh.
  static bool Late(const State& s, std::uint8_t sequence, std::uint32_t now, std::uint32_t window) {
    if (sequence == 0 || !s.sequenced || !Live(s, now, window)) {
      return false;
    }
    int back = sequence - s.sequence;  // -255..255, into -128..127
    back = back > 127 ? back - 256 : back < -128 ? back + 256 : back;
    return back > -20 && back <= 0;
  }

  Result Accept(std::size_t u, std::span<const std::uint8_t> slots, bool synced, State& s,
                std::uint8_t sequence, std::uint32_t now) {
    if (!synced && arrived_.count(u) != 0) {
      arrived_.clear();
      return {false, true};
    }
    const unsigned ch = layout_.channels;
    // Each whole LED of the universe whose bytes the packet holds, channel by channel.
    for (std::size_t c = 1; c <= 512; ++c) {
      const std::size_t first = u == 0 ? layout_.first_channel : 1;
      if (c < first) {
        continue;
      }
      const std::size_t led_in_universe = (c - first) / ch;
      const std::size_t led_end = first - 1 + (led_in_universe + 1) * ch;  // slots it needs
      const std::size_t leds_here = u == 0 ? first_leds_ : per_;
      const std::size_t led = (u == 0 ? 0 : first_leds_ + (u - 1) * per_) + led_in_universe;
      const std::size_t byte = led * ch + (c - first) % ch;
      if (led_in_universe < leds_here && led_end <= slots.size() && byte < row_.size() &&
          (led + 1) * ch <= row_.size()) {
        row_[byte] = slots[c - 1];
      }
    }
    s.sequenced = true;
    s.sequence = sequence;
    last_data_ = now;
    any_data_ = true;
    arrived_.insert(u);
    if (synced || arrived_.size() < universes_) {
      return {true, false};
    }
    arrived_.clear();
    return {true, true};
  }

  std::vector<std::uint8_t>& row_;
  ledcolor::UniverseLayout layout_;
  bool valid_ = false;
  std::size_t first_leds_ = 0, per_ = 0, universes_ = 0;
  std::map<Id, std::map<long, State>> e131_;
  std::map<std::uint32_t, std::map<long, State>> artnet_;
  std::map<long, Id> holder_e131_;
  std::map<long, std::uint32_t> holder_artnet_;
  std::set<std::size_t> arrived_;
  std::uint16_t last_sync_address_ = 0;
  bool e131_synced_ = false, artnet_synced_ = false, any_data_ = false;
  std::uint32_t e131_sync_ = 0, artnet_sync_ = 0, last_data_ = 0;
  std::uint8_t ddp_last_ = 0;
};

}  // namespace ledcolor_testing
