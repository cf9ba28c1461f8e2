#include "uf2.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

namespace tool {

namespace {

using firmware::Options;
using firmware::Settings;
using firmware::Strip;

constexpr std::uint32_t kUf2Magic0 = 0x0A324655;
constexpr std::uint32_t kUf2Magic1 = 0x9E5D5157;
constexpr std::uint32_t kUf2MagicEnd = 0x0AB16F30;
constexpr std::uint32_t kFamilyIdPresent = 0x2000;
constexpr std::uint32_t kRp2040Family = 0xE48BFF56;

const std::vector<std::string> kFormats{"awa", "ada"};
const std::vector<std::string> kStrips(firmware::kStripNames.begin(), firmware::kStripNames.end());
const std::vector<std::string> kWhiteRules{"hosts", "preserve"};
const std::vector<std::string> kWhitePositions{"first", "second", "third", "last"};
const std::vector<std::string> kOrders{"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"};

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    text += (text.empty() ? "" : " ") + word;
  }
  return text;
}

std::uint32_t Little(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

void PutLittle(std::uint8_t* at, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) {
    at[k] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

// The configure step's messages, word for word.
std::string ProblemText(const firmware::Problem& p, std::size_t capacity, const Options& o) {
  using Kind = firmware::Problem::Kind;
  const auto n = [](std::uint32_t v) { return std::to_string(v); };
  // The option a pin comes from: the data pin, or it and the outputs that follow it.
  const auto pins = [&] {
    return p.c > 1
               ? "DATA_PIN and LEDCOLOR_FW_OUTPUTS (GP" + n(p.b) + " to GP" + n(p.b + p.c - 1) + ")"
               : std::string("DATA_PIN");
  };
  switch (p.kind) {
    case Kind::kBaud:
      return "LEDCOLOR_FW_BAUD is " + n(p.a) + ": 9600 to 7800000 (the UART takes up to " +
             "clk_peri / 16)";
    case Kind::kMaxLeds:
      return "LEDCOLOR_FW_MAX_LEDS is " + n(p.a) + ": 1 to " + std::to_string(capacity) +
             " (the image's capacity; building sets it)";
    case Kind::kOutputs:
      return "LEDCOLOR_FW_OUTPUTS is " + n(p.a) + ": 1 to 8";
    case Kind::kOutputsSpi:
      return "LEDCOLOR_FW_OUTPUTS is " + n(p.a) + ": " +
             kStrips[static_cast<std::size_t>(o.strip)] +
             " is driven on SPI0, one output; 1, or a one-wire strip (ws2812 sk6812 ws2816)";
    case Kind::kPin:
      return "LEDCOLOR_FW_" + pins() + ": GP" + n(p.a) +
             " is not for a strip; the outputs' pins are 2-17 or 20-29 (GP0 and GP1 are "
             "UART0's, GP18 and GP19 SPI0's, there is no GP30)";
    case Kind::kPinIsStatus:
      return "LEDCOLOR_FW_" + pins() + " and LEDCOLOR_FW_STATUS_PIN both take GP" + n(p.a) +
             ": the status pin must be another pin, or none";
    case Kind::kStatusPin:
      return "LEDCOLOR_FW_STATUS_PIN is GP" + n(p.a) +
             ": a pin 2-17 or 20-29 (GP0 and GP1 are UART0's, GP18 and GP19 SPI0's), or none";
    case Kind::kSegments:
      return "LEDCOLOR_FW_SEGMENTS: with LEDCOLOR_FW_OUTPUTS above 1, that many LED counts of 1 "
             "or more, such as 300,300,200,200; or empty, for equal parts";
    case Kind::kSegmentsSum:
      return "LEDCOLOR_FW_SEGMENTS sum to " + n(p.a) + " LEDs: at most LEDCOLOR_FW_MAX_LEDS (" +
             n(p.b) + ")";
    case Kind::kWords:
      return "the outputs' longest segment needs " + n(p.a) + " DMA words; this image has " +
             n(p.b) + ": fewer LEDs on that output, or build with more";
    default:
      return "an option out of range";
  }
}

bool Whole(const std::string& text, std::uint32_t& value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = static_cast<std::uint32_t>(std::stoul(text));
  return true;
}

std::optional<std::size_t> IndexOf(const std::vector<std::string>& names, const std::string& v) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == v) {
      return i;
    }
  }
  return std::nullopt;
}

// r,g,b (or r,g,b,w when `four` allows it), each 0 to 255.
bool Levels(const std::string& text, bool four, std::array<std::uint8_t, 4>& out) {
  static const std::regex kList(R"(^([0-9]+),([0-9]+),([0-9]+)(?:,([0-9]+))?$)");
  std::smatch m;
  if (!std::regex_match(text, m, kList) || (m[4].matched && !four)) {
    return false;
  }
  out = {255, 255, 255, 255};
  for (std::size_t k = 0; k < 4 && m[k + 1].matched; ++k) {
    if (m[k + 1].length() > 3 || std::stoi(m[k + 1].str()) > 255) {
      return false;
    }
    out[k] = static_cast<std::uint8_t>(std::stoi(m[k + 1].str()));
  }
  return true;
}

}  // namespace

const std::vector<FirmwareOption> kFirmwareOptions{
    {"BAUD", "UART0 baud rate, 9600 to 7800000"},
    {"FORMAT", "awa or ada"},
    {"GAMMA", "gamma applied to the host's values, 0.1 to 10; 1.0: none"},
    {"STRIP", "ws2812, sk6812, ws2816, apa102, ws2801, lpd8806 or p9813"},
    {"WHITE_RULE", "RGBW strips: hosts or preserve"},
    {"WHITE_POINT", "preserve: the white LED's colour, r,g,b"},
    {"BALANCE", "white balance, r,g,b or r,g,b,w"},
    {"BUDGET_MA", "the current budget in mA; 0: none"},
    {"WHITE_MA", "an RGBW LED's white channel at full, mA"},
    {"WHITE_POSITION", "sk6812: first, second, third or last"},
    {"SPI_HZ", "SPI strips: the clock, at most this"},
    {"ORDER", "RGB, RBG, GRB, GBR, BRG or BGR"},
    {"DATA_PIN", "one-wire strips: the (first output's) data pin"},
    {"OUTPUTS", "one-wire strips: 1 to 8 outputs"},
    {"SEGMENTS", "each output's LED count, such as 300,300,200,200; empty: equal parts"},
    {"MAX_LEDS", "the longest frame shown, up to the image's capacity"},
    {"IDLE_MS", "blank after this long without a frame; 0: hold"},
    {"STATUS_PIN", "toggles with each frame shown: a pin, or none"},
};

bool ApplyOptions(const std::map<std::string, std::string>& values, std::size_t capacity,
                  Settings& settings, std::string& error) {
  Options& o = settings.options;
  const std::size_t words = firmware::ImageWords(o);  // the image's, from its built-in options
  const auto value = [&](const char* name) -> const std::string* {
    const auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  };
  const auto refuse = [&](const std::string& message) {
    error = message;
    return false;
  };
  // Choices first, then numbers, as the configure step takes them.
  const std::pair<const char*, const std::vector<std::string>*> choices[] = {
      {"FORMAT", &kFormats},
      {"STRIP", &kStrips},
      {"WHITE_RULE", &kWhiteRules},
      {"WHITE_POSITION", &kWhitePositions}};
  for (const auto& [name, names] : choices) {
    if (const std::string* v = value(name); v != nullptr && !IndexOf(*names, *v)) {
      return refuse("LEDCOLOR_FW_" + std::string(name) + " is '" + *v + "': one of " +
                    Join(*names));
    }
  }
  for (const char* name :
       {"BAUD", "BUDGET_MA", "WHITE_MA", "DATA_PIN", "OUTPUTS", "MAX_LEDS", "IDLE_MS"}) {
    std::uint32_t number = 0;
    if (const std::string* v = value(name); v != nullptr && !Whole(*v, number)) {
      return refuse("LEDCOLOR_FW_" + std::string(name) + " is '" + *v + "': a whole number");
    }
  }
  static const std::regex kGamma(R"(^[0-9]+(\.[0-9]+)?$)");
  if (const std::string* v = value("GAMMA");
      v != nullptr && (!std::regex_match(*v, kGamma) || v->size() > 12 ||
                       !(std::stod(*v) >= 0.1 && std::stod(*v) <= 10))) {
    return refuse("LEDCOLOR_FW_GAMMA is '" + *v + "': a number from 0.1 to 10");
  }
  std::uint32_t spi_hz = 0;
  if (const std::string* v = value("SPI_HZ"); v != nullptr && !v->empty() && !Whole(*v, spi_hz)) {
    return refuse("LEDCOLOR_FW_SPI_HZ is '" + *v + "': a whole number of Hz, or empty");
  }
  std::uint32_t status_pin = 0;
  if (const std::string* v = value("STATUS_PIN");
      v != nullptr && *v != "none" && !Whole(*v, status_pin)) {
    return refuse("LEDCOLOR_FW_STATUS_PIN is '" + *v + "': a pin 2-17 or 20-29, or none");
  }
  std::array<std::uint8_t, 4> balance{};
  std::array<std::uint8_t, 4> white_point{};
  const std::string* b = value("BALANCE");
  const std::string* w = value("WHITE_POINT");
  if ((b != nullptr && !b->empty() && !Levels(*b, true, balance)) ||
      (w != nullptr && !Levels(*w, false, white_point))) {
    return refuse("LEDCOLOR_FW_BALANCE is r,g,b or r,g,b,w, LEDCOLOR_FW_WHITE_POINT r,g,b");
  }
  std::string order = value("ORDER") != nullptr ? *value("ORDER") : "";
  for (char& c : order) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!order.empty() && !IndexOf(kOrders, order)) {
    return refuse("LEDCOLOR_FW_ORDER is '" + order + "': one of " + Join(kOrders));
  }

  // All well formed: into the options.
  const auto number = [&](const char* name, auto& field) {
    std::uint32_t v = 0;
    if (const std::string* text = value(name); text != nullptr && Whole(*text, v)) {
      field = static_cast<std::remove_reference_t<decltype(field)>>(v);
    }
  };
  if (const std::string* v = value("STRIP")) {
    o.strip = static_cast<Strip>(*IndexOf(kStrips, *v));
    o.strip_name = firmware::kStripNames[static_cast<std::size_t>(o.strip)];
    // The chip's own order and clock, unless given: the configure step's defaults.
    order = order.empty() ? (o.strip == Strip::kApa102   ? "BGR"
                             : o.strip == Strip::kWs2801 ? "RGB"
                                                         : "GRB")
                          : order;
    if (value("SPI_HZ") == nullptr || value("SPI_HZ")->empty()) {
      o.spi_hz = o.strip == Strip::kLpd8806                              ? 2'000'000
                 : o.strip == Strip::kWs2801 || o.strip == Strip::kP9813 ? 1'000'000
                                                                         : 8'000'000;
    }
  }
  if (!order.empty()) {
    o.order = static_cast<ledcolor::ColorOrder>(*IndexOf(kOrders, order));
  }
  if (const std::string* v = value("FORMAT")) {
    o.format = *v == "awa" ? ledcolor::AdalightFormat::kAwa : ledcolor::AdalightFormat::kClassic;
  }
  if (const std::string* v = value("WHITE_RULE")) {
    o.white_rule = *v == "hosts" ? firmware::WhiteRule::kHosts : firmware::WhiteRule::kPreserve;
  }
  if (const std::string* v = value("WHITE_POSITION")) {
    o.white_position = static_cast<ledcolor::WhitePosition>(*IndexOf(kWhitePositions, *v));
  }
  number("BAUD", o.baud);
  number("BUDGET_MA", o.budget_ma);
  number("WHITE_MA", o.white_ma);
  number("DATA_PIN", o.data_pin);
  number("OUTPUTS", o.outputs);
  number("MAX_LEDS", o.max_leds);
  number("IDLE_MS", o.idle_ms);
  if (spi_hz != 0) {
    o.spi_hz = spi_hz;
  }
  if (const std::string* v = value("STATUS_PIN")) {
    o.status_pin = *v == "none" ? -1 : static_cast<std::int32_t>(status_pin);
  }
  if (b != nullptr) {
    o.balance = b->empty() ? ledcolor::Rgbw{255, 255, 255, 255}
                           : ledcolor::Rgbw{balance[0], balance[1], balance[2], balance[3]};
  }
  if (w != nullptr) {
    o.white_point = {white_point[0], white_point[1], white_point[2]};
  }
  if (const std::string* v = value("GAMMA")) {
    const double gamma = std::stod(*v);
    settings.gamma_milli = static_cast<std::uint32_t>(std::lround(gamma * 1000));
    settings.gamma = *ledcolor::MakeGammaTable(gamma);
    settings.gamma16 = *ledcolor::MakeGammaTable16(gamma);
  }
  if (const std::string* v = value("SEGMENTS")) {
    o.segments = {};
    if (!v->empty()) {
      static const std::regex kCounts(R"(^[0-9]{1,5}(,[0-9]{1,5})*$)");
      std::size_t k = 0;
      bool ok = std::regex_match(*v, kCounts);
      for (std::size_t at = 0; ok && at <= v->size(); ++k) {
        const std::size_t comma = std::min(v->find(',', at), v->size());
        const unsigned long count = std::stoul(v->substr(at, comma - at));
        ok = k < o.segments.size() && count >= 1 && count <= 65535;
        if (ok) {
          o.segments[k] = static_cast<std::uint16_t>(count);
        }
        at = comma + 1;
      }
      if (!ok || k != o.outputs || o.outputs == 1) {
        return refuse("LEDCOLOR_FW_SEGMENTS is '" + *v +
                      "': with LEDCOLOR_FW_OUTPUTS above 1, that many LED counts of 1 or more, "
                      "such as 300,300,200,200; or empty, for equal parts");
      }
    }
  } else if (value("OUTPUTS") != nullptr) {
    o.segments = {};  // new outputs split equally unless counts are given
  }
  // The rules on the values together, the firmware's own.
  const firmware::Problem problem = firmware::Check(o, capacity, words);
  if (problem.kind != firmware::Problem::Kind::kNone) {
    return refuse(ProblemText(problem, capacity, o));
  }
  return true;
}

std::string DescribeOptions(const Settings& s) {
  const Options& o = s.options;
  std::string segments;
  for (std::size_t k = 0; k < o.segments.size() && o.segments[k] != 0; ++k) {
    segments += (k == 0 ? "" : ",") + std::to_string(o.segments[k]);
  }
  char gamma[16];
  std::snprintf(gamma, sizeof gamma, "%u.%03u", s.gamma_milli / 1000, s.gamma_milli % 1000);
  const auto b = o.balance;
  const auto w = o.white_point;
  std::string text;
  const auto line = [&](const char* name, const std::string& v) {
    text += std::string("  ") + name + " " + v + "\n";
  };
  line("strip", kStrips[static_cast<std::size_t>(o.strip)]);
  line("max-leds", std::to_string(o.max_leds));
  line("outputs", std::to_string(o.outputs));
  line("segments", segments.empty() ? "(equal parts)" : segments);
  line("data-pin", "GP" + std::to_string(o.data_pin));
  line("status-pin", o.status_pin < 0 ? "none" : "GP" + std::to_string(o.status_pin));
  line("baud", std::to_string(o.baud));
  line("format", o.format == ledcolor::AdalightFormat::kAwa ? "awa" : "ada");
  line("order", kOrders[static_cast<std::size_t>(o.order)]);
  line("gamma", gamma);
  line("white-rule", o.white_rule == firmware::WhiteRule::kHosts ? "hosts" : "preserve");
  line("white-point", std::to_string(w.r) + "," + std::to_string(w.g) + "," + std::to_string(w.b));
  line("white-position", kWhitePositions[static_cast<std::size_t>(o.white_position)]);
  line("balance", std::to_string(b.r) + "," + std::to_string(b.g) + "," + std::to_string(b.b) +
                      "," + std::to_string(b.w));
  line("budget-ma", std::to_string(o.budget_ma));
  line("white-ma", std::to_string(o.white_ma));
  line("spi-hz", std::to_string(o.spi_hz));
  line("idle-ms", std::to_string(o.idle_ms));
  return text;
}

std::optional<std::vector<std::uint8_t>> Uf2::Read(std::uint32_t address, std::size_t size) const {
  std::vector<std::uint8_t> bytes(size);
  std::vector<bool> have(size, false);
  for (const Block& block : blocks) {
    for (std::size_t i = 0; i < block.data.size(); ++i) {
      const std::uint64_t at = std::uint64_t{block.address} + i;
      if (at >= address && at < std::uint64_t{address} + size) {
        bytes[at - address] = block.data[i];
        have[at - address] = true;
      }
    }
  }
  for (const bool h : have) {
    if (!h) {
      return std::nullopt;
    }
  }
  return bytes;
}

std::optional<Uf2> ReadUf2(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.empty() || bytes.size() % 512 != 0) {
    error = path + ": not a UF2 file (its size is not a whole number of 512-byte blocks)";
    return std::nullopt;
  }
  Uf2 uf2;
  const std::size_t count = bytes.size() / 512;
  for (std::size_t n = 0; n < count; ++n) {
    const std::uint8_t* b = bytes.data() + 512 * n;
    const std::uint32_t size = Little(b + 16);
    if (Little(b) != kUf2Magic0 || Little(b + 4) != kUf2Magic1 || Little(b + 508) != kUf2MagicEnd ||
        size > 476 || Little(b + 20) != n || Little(b + 24) != count) {
      error = path + ": a damaged UF2 file: block " + std::to_string(n) +
              " has a wrong magic, size or number";
      return std::nullopt;
    }
    uf2.blocks.push_back({Little(b + 8), Little(b + 12), Little(b + 28), {b + 32, b + 32 + size}});
  }
  return uf2;
}

bool WriteUf2(const Uf2& uf2, const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes(512 * uf2.blocks.size(), 0);
  for (std::size_t n = 0; n < uf2.blocks.size(); ++n) {
    std::uint8_t* b = bytes.data() + 512 * n;
    const Uf2::Block& block = uf2.blocks[n];
    PutLittle(b, kUf2Magic0);
    PutLittle(b + 4, kUf2Magic1);
    PutLittle(b + 8, block.flags);
    PutLittle(b + 12, block.address);
    PutLittle(b + 16, static_cast<std::uint32_t>(block.data.size()));
    PutLittle(b + 20, static_cast<std::uint32_t>(n));
    PutLittle(b + 24, static_cast<std::uint32_t>(uf2.blocks.size()));
    PutLittle(b + 28, block.family);
    std::copy(block.data.begin(), block.data.end(), b + 32);
    PutLittle(b + 508, kUf2MagicEnd);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    error = path + ": cannot be written";
    return false;
  }
  return true;
}

namespace {

// The image's built-in record, or nullopt with the reason.
std::optional<firmware::ReadResult> BuiltIn(const Uf2& uf2, const std::string& path,
                                            std::string& error) {
  const auto bytes = uf2.Read(firmware::kBuiltInAddress, firmware::kRecordBytes);
  const firmware::ReadResult record =
      bytes ? firmware::ReadBlock(*bytes, firmware::kRecordMagic) : firmware::ReadResult{};
  if (!record.settings) {
    error = path + (record.fault == firmware::BlockFault::kMissing
                        ? ": no ledcolor-rp2040 image (no built-in options record at 0x10000200)"
                        : ": the image's built-in options record is damaged");
    return std::nullopt;
  }
  return record;
}

}  // namespace

int Uf2Set(const Uf2Options& options) {
  std::string error;
  std::optional<Uf2> uf2 = ReadUf2(options.input, error);
  std::optional<firmware::ReadResult> record;
  if (uf2) {
    record = BuiltIn(*uf2, options.input, error);
  }
  Settings settings = record ? *record->settings : Settings{};
  if (!record || !ApplyOptions(options.values, record->capacity, settings, error)) {
    std::fprintf(stderr, "ledcolor uf2 set: %s\n", error.c_str());
    return 2;
  }
  // The block, then erased flash to the end of its 4 KiB, in 256-byte blocks replacing any there.
  std::vector<std::uint8_t> block(firmware::kOptionBlockSize, 0xFF);
  (void)firmware::WriteBlock(settings, firmware::kBlockMagic, block);
  std::erase_if(uf2->blocks, [](const Uf2::Block& b) {
    return b.address >= firmware::kOptionBlockAddress &&
           b.address < firmware::kOptionBlockAddress + firmware::kOptionBlockSize;
  });
  const std::uint32_t flags = uf2->blocks.empty() ? kFamilyIdPresent : uf2->blocks.front().flags;
  const std::uint32_t family = uf2->blocks.empty() ? kRp2040Family : uf2->blocks.front().family;
  for (std::uint32_t at = 0; at < firmware::kOptionBlockSize; at += 256) {
    uf2->blocks.push_back({flags,
                           firmware::kOptionBlockAddress + at,
                           family,
                           {block.begin() + at, block.begin() + at + 256}});
  }
  if (!WriteUf2(*uf2, options.output, error)) {
    std::fprintf(stderr, "ledcolor uf2 set: %s\n", error.c_str());
    return 2;
  }
  std::printf("%s: the options written at 0x%08X, %zu blocks in all\n%s", options.output.c_str(),
              firmware::kOptionBlockAddress, uf2->blocks.size(), DescribeOptions(settings).c_str());
  return 0;
}

int Uf2Show(const std::string& path) {
  std::string error;
  const std::optional<Uf2> uf2 = ReadUf2(path, error);
  std::optional<firmware::ReadResult> record;
  if (uf2) {
    record = BuiltIn(*uf2, path, error);
  }
  if (!record) {
    std::fprintf(stderr, "ledcolor uf2 show: %s\n", error.c_str());
    return 2;
  }
  std::printf("built-in options (capacity %u LEDs):\n%s", record->capacity,
              DescribeOptions(*record->settings).c_str());
  const auto bytes = uf2->Read(firmware::kOptionBlockAddress, firmware::kBlockBytes);
  const firmware::ReadResult block =
      bytes ? firmware::ReadBlock(*bytes, firmware::kBlockMagic, record->capacity)
            : firmware::ReadResult{};
  switch (block.fault) {
    case firmware::BlockFault::kNone:
      std::printf("option block at 0x%08X (the firmware uses these):\n%s",
                  firmware::kOptionBlockAddress, DescribeOptions(*block.settings).c_str());
      break;
    case firmware::BlockFault::kMissing:
      std::printf("no option block: the built-in options apply\n");
      break;
    case firmware::BlockFault::kVersion:
      std::printf("option block of another version: ignored, the built-in options apply\n");
      break;
    case firmware::BlockFault::kDamaged:
      std::printf("option block damaged (length or CRC-32): ignored, the built-in options apply\n");
      break;
    case firmware::BlockFault::kOutOfRange:
      std::printf("option block with a value out of range: ignored, the built-in options apply\n");
      break;
  }
  return 0;
}

}  // namespace tool
