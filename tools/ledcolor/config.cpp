#include "config.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

namespace tool {

namespace {

// The first error found ends the reading: thrown from where it is found, caught in LoadConfig.
struct ConfigError {
  std::size_t line;
  std::string what;
};

std::size_t LineOf(const toml::node& node) { return node.source().begin.line; }

[[noreturn]] void Fail(const toml::node& node, std::string what) {
  throw ConfigError{LineOf(node), std::move(what)};
}

// An integer key within [low, high]; `fallback` when the key is absent.
std::int64_t Integer(const toml::table& table, std::string_view key, std::int64_t fallback,
                     std::int64_t low, std::int64_t high) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return fallback;
  }
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  const auto value = node->value_exact<std::int64_t>();
  if (!value) {
    Fail(*node, std::string(key) + " must be an integer, " + range);
  }
  if (*value < low || *value > high) {
    Fail(*node, std::string(key) + " is " + std::to_string(*value) + ": allowed " + range);
  }
  return *value;
}

std::string Text(const toml::table& table, std::string_view key, std::string fallback) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return fallback;
  }
  const auto value = node->value_exact<std::string>();
  if (!value) {
    Fail(*node, std::string(key) + " must be a string");
  }
  return *value;
}

// A text key that is one of `choices`: its index.
template <std::size_t N>
std::size_t Choice(const toml::table& table, std::string_view key, std::size_t fallback,
                   const std::array<std::string_view, N>& choices) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return fallback;
  }
  std::string allowed;
  for (const std::string_view choice : choices) {
    allowed += (allowed.empty() ? "" : " | ") + std::string(choice);
  }
  const auto value = node->value_exact<std::string>();
  const auto* at = value ? std::find(choices.begin(), choices.end(), *value) : choices.end();
  if (at == choices.end()) {
    Fail(*node, std::string(key) + (value ? " is \"" + *value + "\"" : " must be a string") +
                    ": allowed " + allowed);
  }
  return static_cast<std::size_t>(at - choices.begin());
}

// Every key of `table` must be one of `known`.
template <std::size_t N>
void OnlyKnown(const toml::table& table, const std::array<std::string_view, N>& known,
               std::string_view where) {
  for (const auto& [key, node] : table) {
    if (std::find(known.begin(), known.end(), key.str()) == known.end()) {
      std::string allowed;
      for (const std::string_view k : known) {
        allowed += (allowed.empty() ? "" : ", ") + std::string(k);
      }
      throw ConfigError{key.source().begin.line != 0 ? key.source().begin.line : LineOf(node),
                        "unknown key \"" + std::string(key.str()) + "\" in " + std::string(where) +
                            ": allowed " + allowed};
    }
  }
}

constexpr std::array<std::string_view, 3> kInputKeys{"address", "interface", "name"};
constexpr std::array<std::string_view, 19> kOutputKeys{
    "device", "leds",  "protocol", "universe", "channel",   "offset",   "strip",
    "order",  "gamma", "balance",  "white",    "budget_ma", "white_ma", "idle_ms",
    "spi_hz", "baud",  "format",   "dither",   "refresh_hz"};
constexpr std::array<std::string_view, 3> kProtocols{"ddp", "e131", "artnet"};
// In the order of firmware::Strip.
constexpr std::array<std::string_view, 7> kStrips{"ws2812",  "sk6812", "apa102", "ws2801",
                                                  "lpd8806", "p9813",  "ws2816"};
constexpr std::array<std::string_view, 6> kOrders{"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"};

void ParseDevice(const toml::node& node, OutputConfig& out) {
  const auto value = node.value_exact<std::string>();
  constexpr std::string_view kAllowed =
      ": allowed spi:PATH, serial:PATH, ddp:HOST[:PORT] or file:PATH";
  if (!value) {
    Fail(node, "device must be a string" + std::string(kAllowed));
  }
  out.device = *value;
  const std::string_view text(*value);
  const std::size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  std::string_view rest = colon == std::string_view::npos ? "" : text.substr(colon + 1);
  if (kind == "spi") {
    out.kind = DeviceKind::kSpi;
  } else if (kind == "serial") {
    out.kind = DeviceKind::kSerial;
  } else if (kind == "file") {
    out.kind = DeviceKind::kFile;
  } else if (kind == "ddp") {
    out.kind = DeviceKind::kDdp;
    const std::size_t port_at = rest.rfind(':');
    if (port_at != std::string_view::npos) {
      std::uint64_t port = 0;
      if (!ParseDecimal(rest.substr(port_at + 1), 65535, port)) {
        Fail(node, "device \"" + *value + "\" has no port 1 to 65535 after the host" +
                       std::string(kAllowed));
      }
      out.port = static_cast<std::uint16_t>(port);
      rest = rest.substr(0, port_at);
    }
  } else {
    Fail(node, "device \"" + *value + "\" is no device" + std::string(kAllowed));
  }
  if (rest.empty()) {
    Fail(node, "device \"" + *value + "\" names no path or host" + std::string(kAllowed));
  }
  out.target = std::string(rest);
}

OutputConfig ParseOutput(const toml::table& table) {
  OnlyKnown(table, kOutputKeys, "[[output]]");
  OutputConfig out;
  out.line = LineOf(table);
  for (const char* required : {"device", "leds", "protocol"}) {
    if (!table.contains(required)) {
      Fail(table, std::string("[[output]] lacks \"") + required +
                      "\": every output needs device, leds and protocol");
    }
  }
  ParseDevice(*table.get("device"), out);
  out.leds = static_cast<std::size_t>(Integer(table, "leds", 0, 1, 65536));
  out.protocol = static_cast<Protocol>(Choice(table, "protocol", 0, kProtocols));
  const bool artnet = out.protocol == Protocol::kArtNet;
  out.universe = static_cast<std::uint16_t>(
      Integer(table, "universe", 1, artnet ? 0 : 1, artnet ? 32767 : 63999));
  out.channel = static_cast<std::uint16_t>(Integer(table, "channel", 1, 1, 510));
  out.offset = static_cast<std::uint32_t>(Integer(table, "offset", 0, 0, 0xFFFFFFFF));

  firmware::Options& p = out.path;
  p.strip = static_cast<firmware::Strip>(Choice(table, "strip", 0, kStrips));
  p.strip_name = kStrips[static_cast<std::size_t>(p.strip)].data();
  const bool rgbw = p.strip == firmware::Strip::kSk6812;
  if (p.strip != firmware::Strip::kWs2812 && !rgbw &&
      (out.kind == DeviceKind::kSerial || out.kind == DeviceKind::kDdp)) {
    Fail(*table.get("strip"), "strip \"" + std::string(p.strip_name) +
                                  "\" is for spi: and file: devices; serial: and ddp: send the "
                                  "colours, as ws2812 or sk6812");
  }
  // Each chip's usual order: BGR for APA102, RGB for WS2801, GRB for the rest (P9813's is fixed).
  const std::size_t order = p.strip == firmware::Strip::kApa102   ? 5
                            : p.strip == firmware::Strip::kWs2801 ? 0
                                                                  : 2;
  p.order = static_cast<ledcolor::ColorOrder>(Choice(table, "order", order, kOrders));
  p.white_position = ledcolor::WhitePosition::kLast;
  p.gamma = 1.0;
  if (const toml::node* node = table.get("gamma")) {
    const auto gamma = node->value<double>();
    if (!gamma || !(*gamma >= 0.1 && *gamma <= 10.0)) {
      Fail(*node, "gamma must be a number from 0.1 to 10 (1.0: none)");
    }
    p.gamma = *gamma;
  }
  p.balance = {255, 255, 255, 255};
  if (const toml::node* node = table.get("balance")) {
    const toml::array* values = node->as_array();
    const std::size_t want = rgbw ? 4 : 3;
    const std::string allowed = rgbw ? "four integers 0 to 255 for sk6812 (r, g, b, w)"
                                     : "three integers 0 to 255 (r, g, b)";
    if (values == nullptr || values->size() != want) {
      Fail(*node, "balance must be " + allowed);
    }
    std::array<std::uint8_t, 4> b{255, 255, 255, 255};
    for (std::size_t i = 0; i < want; ++i) {
      const auto v = values->get(i)->value_exact<std::int64_t>();
      if (!v || *v < 0 || *v > 255) {
        Fail(*values->get(i), "balance must be " + allowed);
      }
      b[i] = static_cast<std::uint8_t>(*v);
    }
    p.balance = {b[0], b[1], b[2], b[3]};
  }
  p.white_rule = static_cast<firmware::WhiteRule>(
      Choice(table, "white", 0, std::array<std::string_view, 2>{"hosts", "preserve"}));
  p.white_point = {255, 255, 255};
  p.budget_ma = static_cast<std::uint32_t>(Integer(table, "budget_ma", 0, 0, 1'000'000));
  p.white_ma = static_cast<std::uint32_t>(Integer(table, "white_ma", 20, 0, 1000));
  out.idle_ms = static_cast<std::uint32_t>(Integer(table, "idle_ms", 2500, 0, 86'400'000));
  p.idle_ms = out.idle_ms;
  // The clock the chips take over long wires: 8 MHz APA102, 2 MHz LPD8806, 1 MHz WS2801 and P9813.
  const std::int64_t hz =
      p.strip == firmware::Strip::kLpd8806                                        ? 2'000'000
      : p.strip == firmware::Strip::kWs2801 || p.strip == firmware::Strip::kP9813 ? 1'000'000
                                                                                  : 8'000'000;
  p.spi_hz = static_cast<std::uint32_t>(Integer(table, "spi_hz", hz, 1000, 100'000'000));
  p.baud = static_cast<std::uint32_t>(Integer(table, "baud", 2'000'000, 50, 16'000'000));
  p.format = static_cast<ledcolor::AdalightFormat>(
      1 - Choice(table, "format", 0, std::array<std::string_view, 2>{"awa", "ada"}));
  p.max_leds = out.leds;
  if (const toml::node* node = table.get("dither")) {
    const auto dither = node->value_exact<bool>();
    if (!dither) {
      Fail(*node, "dither must be true or false");
    }
    out.dither = *dither;
    const bool eight_bit_rgb =
        p.strip != firmware::Strip::kSk6812 && p.strip != firmware::Strip::kWs2816;
    if (out.dither && (!eight_bit_rgb || out.kind == DeviceKind::kSerial ||
                       out.kind == DeviceKind::kDdp || p.gamma == 1.0)) {
      Fail(*node,
           "dither = true is for an 8-bit RGB strip (ws2812, apa102, ws2801, lpd8806, "
           "p9813) on spi: or file:, with a gamma other than 1.0");
    }
  }
  out.refresh_hz = static_cast<std::uint32_t>(Integer(table, "refresh_hz", 200, 1, 10'000));
  p.version = "";

  if (out.protocol != Protocol::kDdp) {
    // The layout must hold: whole LEDs in the first universe, at most 64 universes, none past the
    // protocol's last.
    const UniverseSpan span = SpanOf(out);
    const std::uint32_t last = artnet ? 32767 : 63999;
    if (span.count > 64 || span.first + span.count - 1 > last) {
      Fail(table, std::to_string(out.leds) + " LEDs from " +
                      (artnet ? "port address " : "universe ") + std::to_string(out.universe) +
                      " channel " + std::to_string(out.channel) + " span " +
                      std::to_string(span.count) + " universes: allowed at most 64, up to " +
                      (artnet ? "port address " : "universe ") + std::to_string(last));
    }
  }
  return out;
}

// Where an output's LEDs lie on the wire, as [first, last] in universe * 512 + channel - 1.
std::pair<std::uint64_t, std::uint64_t> ChannelRange(const OutputConfig& o) {
  const UniverseChannel last = ChannelOf(o, o.leds - 1);
  return {
      std::uint64_t{o.universe} * 512 + o.channel - 1,
      std::uint64_t{last.universe} * 512 + last.channel - 1 + OutputConfig::InputChannels() - 1};
}

}  // namespace

UniverseChannel ChannelOf(const OutputConfig& output, std::size_t led) {
  const std::size_t ch = OutputConfig::InputChannels();
  const std::size_t first_leds = (513 - output.channel) / ch;
  if (led < first_leds) {
    return {output.universe, static_cast<std::uint32_t>(output.channel + led * ch)};
  }
  const std::size_t per = 512 / ch;
  return {static_cast<std::uint32_t>(output.universe + 1 + (led - first_leds) / per),
          static_cast<std::uint32_t>(1 + ((led - first_leds) % per) * ch)};
}

bool ParseDecimal(std::string_view digits, std::uint64_t high, std::uint64_t& value) {
  value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || value > high) {
      return false;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return !digits.empty() && value >= 1 && value <= high;
}

const char* ProtocolName(Protocol protocol) {
  switch (protocol) {
    case Protocol::kDdp:
      return "ddp";
    case Protocol::kE131:
      return "e131";
    case Protocol::kArtNet:
      return "artnet";
  }
  return "?";
}

UniverseSpan SpanOf(const OutputConfig& output) {
  const auto [first, last] = ChannelRange(output);
  return {static_cast<std::uint32_t>(first / 512),
          static_cast<std::uint32_t>(last / 512 - first / 512 + 1)};
}

std::variant<Config, std::string> LoadConfig(const std::string& file) {
  Config config;
  config.file = file;
  try {
    const toml::table root = toml::parse_file(file);
    OnlyKnown(root, std::array<std::string_view, 2>{"input", "output"}, "the file");
    if (const toml::node* input = root.get("input")) {
      if (!input->is_table()) {
        Fail(*input, "input must be a table: [input]");
      }
      const toml::table& table = *input->as_table();
      OnlyKnown(table, kInputKeys, "[input]");
      config.input.address = Text(table, "address", config.input.address);
      config.input.interface = Text(table, "interface", "");
      config.input.name = Text(table, "name", config.input.name);
    }
    const toml::node* outputs = root.get("output");
    if (outputs == nullptr || !outputs->is_array_of_tables() || outputs->as_array()->empty()) {
      throw ConfigError{outputs != nullptr ? LineOf(*outputs) : 1,
                        "no [[output]]: at least one output table is needed"};
    }
    for (const toml::node& node : *outputs->as_array()) {
      OutputConfig output = ParseOutput(*node.as_table());
      if (output.protocol != Protocol::kDdp) {
        const auto [first, last] = ChannelRange(output);
        for (const OutputConfig& other : config.outputs) {
          if (other.protocol != output.protocol) {
            continue;
          }
          const auto [other_first, other_last] = ChannelRange(other);
          if (first <= other_last && other_first <= last) {
            throw ConfigError{output.line, std::string("this output's ") +
                                               ProtocolName(output.protocol) +
                                               " channels overlap those of the output at line " +
                                               std::to_string(other.line) +
                                               ": each universe channel feeds one output"};
          }
        }
      }
      config.outputs.push_back(std::move(output));
    }
    // The sockets' address must be one: it is given to bind() as written.
    if (config.input.address.empty()) {
      throw ConfigError{1, "input.address is empty: allowed an IPv4 address such as 0.0.0.0"};
    }
  } catch (const toml::parse_error& error) {
    return file + ":" + std::to_string(error.source().begin.line) + ": " +
           std::string(error.description());
  } catch (const ConfigError& error) {
    return file + ":" + std::to_string(error.line) + ": " + error.what;
  }
  return config;
}

std::string Describe(const OutputConfig& o) {
  char text[256];
  const firmware::Options& p = o.path;
  std::string from;
  if (o.protocol == Protocol::kDdp) {
    from = "ddp offset " + std::to_string(o.offset);
  } else {
    const UniverseSpan span = SpanOf(o);
    from =
        std::string(o.protocol == Protocol::kE131 ? "e131 universes " : "artnet port addresses ") +
        std::to_string(span.first) + "-" + std::to_string(span.first + span.count - 1) +
        " from channel " + std::to_string(o.channel);
  }
  std::snprintf(text, sizeof text, "%s: %zu LEDs %s from %s, gamma %.2f, budget %u mA, idle %u ms",
                o.device.c_str(), o.leds, p.strip_name, from.c_str(), p.gamma, p.budget_ma,
                o.idle_ms);
  return std::string(text) +
         (o.dither ? ", dithered at up to " + std::to_string(o.refresh_hz) + " Hz" : "");
}

}  // namespace tool
