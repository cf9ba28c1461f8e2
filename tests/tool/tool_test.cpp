// The ledcolor program's pure parts: the configuration's checks and Art-Net's poll reply.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <variant>

#include "config.h"
#include "sockets.h"
#include "uf2.h"

namespace {

// A configuration written to a file of its own, and what LoadConfig makes of it.
std::variant<tool::Config, std::string> Load(const std::string& text) {
  const std::string file = testing::TempDir() + "ledcolor_test.toml";
  std::ofstream(file) << text;
  auto result = tool::LoadConfig(file);
  std::remove(file.c_str());
  return result;
}

// The message without the file's name: "LINE: what".
std::string Error(const std::string& text) {
  auto result = Load(text);
  const std::string* message = std::get_if<std::string>(&result);
  if (message == nullptr) {
    return "(accepted)";
  }
  return message->substr(message->find(".toml:") + 6);
}

constexpr const char* kOutput = "[[output]]\ndevice = \"file:/tmp/x\"\nleds = 10\n";
constexpr const char* kFourHundred =
    "[[output]]\ndevice = \"file:/a\"\nleds = 400\nprotocol = \"e131\"\n";

TEST(ToolConfig, RefusesEachFaultWithItsLineAndWhatIsAllowed) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "1: no [[output]]: at least one output table is needed"},
      {std::string(kOutput) + "protocol = \"e131\"\nspeed = 3\n",
       "5: unknown key \"speed\" in [[output]]: allowed device, leds, protocol, universe, channel, "
       "offset, strip, order, gamma, balance, white, budget_ma, white_ma, idle_ms, spi_hz, baud, "
       "format, dither, refresh_hz"},
      {"[input]\nport = 1\n" + std::string(kOutput) + "protocol = \"ddp\"\n",
       "2: unknown key \"port\" in [input]: allowed address, interface, name"},
      {std::string(kOutput) + "protocol = \"sacn\"\n",
       "4: protocol is \"sacn\": allowed ddp | e131 | artnet"},
      {std::string(kOutput) + "protocol = 1\n",
       "4: protocol must be a string: allowed ddp | e131 | artnet"},
      {"[[output]]\ndevice = \"file:/x\"\nleds = \"300\"\nprotocol = \"ddp\"\n",
       "3: leds must be an integer, 1 to 65536"},
      {"[[output]]\ndevice = \"file:/x\"\nleds = 0\nprotocol = \"ddp\"\n",
       "3: leds is 0: allowed 1 to 65536"},
      {"[[output]]\nleds = 3\nprotocol = \"ddp\"\n",
       "1: [[output]] lacks \"device\": every output needs device, leds and protocol"},
      {"[[output]]\ndevice = \"usb:/dev/x\"\nleds = 3\nprotocol = \"ddp\"\n",
       "2: device \"usb:/dev/x\" is no device: allowed spi:PATH, serial:PATH, ddp:HOST[:PORT] or "
       "file:PATH"},
      {"[[output]]\ndevice = \"ddp:host:0\"\nleds = 3\nprotocol = \"ddp\"\n",
       "2: device \"ddp:host:0\" has no port 1 to 65535 after the host: allowed spi:PATH, "
       "serial:PATH, ddp:HOST[:PORT] or file:PATH"},
      {std::string(kOutput) + "protocol = \"e131\"\nuniverse = 0\n",
       "5: universe is 0: allowed 1 to 63999"},
      {std::string(kOutput) + "protocol = \"artnet\"\nuniverse = 32768\n",
       "5: universe is 32768: allowed 0 to 32767"},
      {std::string(kOutput) + "protocol = \"e131\"\nchannel = 511\n",
       "5: channel is 511: allowed 1 to 510"},
      {std::string(kOutput) + "protocol = \"e131\"\ngamma = 12.0\n",
       "5: gamma must be a number from 0.1 to 10 (1.0: none)"},
      {std::string(kOutput) + "protocol = \"e131\"\nbalance = [255, 255]\n",
       "5: balance must be three integers 0 to 255 (r, g, b)"},
      {std::string(kOutput) + "protocol = \"e131\"\nstrip = \"sk6812\"\nbalance = [1, 2, 3]\n",
       "6: balance must be four integers 0 to 255 for sk6812 (r, g, b, w)"},
      {std::string(kOutput) + "protocol = \"e131\"\nbalance = [255, 256, 0]\n",
       "5: balance must be three integers 0 to 255 (r, g, b)"},
      {std::string(kOutput) + "protocol = \"e131\"\norder = \"grb\"\n",
       "5: order is \"grb\": allowed RGB | RBG | GRB | GBR | BRG | BGR"},
      {std::string(kOutput) + "protocol = \"e131\"\nbudget_ma = -1\n",
       "5: budget_ma is -1: allowed 0 to 1000000"},
      {std::string(kOutput) + "protocol = \"e131\"\nformat = \"adalight\"\n",
       "5: format is \"adalight\": allowed awa | ada"},
      {"[[output]]\ndevice = \"serial:/dev/ttyACM0\"\nleds = 3\nprotocol = \"e131\"\nstrip = "
       "\"apa102\"\n",
       "5: strip \"apa102\" is for spi: and file: devices; serial: and ddp: send the colours, as "
       "ws2812 or sk6812"},
      {"[[output]]\ndevice = \"file:/a\"\nleds = 65536\nprotocol = \"e131\"\n",
       "1: 65536 LEDs from universe 1 channel 1 span 386 universes: allowed at most 64, up to "
       "universe 63999"},
      {"[[output]]\ndevice = \"file:/a\"\nleds = 171\nprotocol = \"e131\"\nuniverse = 63999\n",
       "1: 171 LEDs from universe 63999 channel 1 span 2 universes: allowed at most 64, up to "
       "universe 63999"},
      // 400 LEDs from universe 1 reach universe 3, channel 180; the second output starts there.
      {std::string(kFourHundred) +
           "[[output]]\ndevice = \"file:/b\"\nleds = 1\nprotocol = \"e131\"\nuniverse = 3\n"
           "channel = 178\n",
       "5: this output's e131 channels overlap those of the output at line 1: each universe "
       "channel feeds one output"},
      {"[[output]\n", "1: Error while parsing table header: expected ']', saw '\\n'"},
      {std::string(kOutput) + "protocol = \"ddp\"\ndither = true\n",
       "5: dither = true is for an 8-bit RGB strip (ws2812, apa102, ws2801, lpd8806, p9813) on "
       "spi: "
       "or file:, with a gamma other than 1.0"},
      {std::string(kOutput) +
           "protocol = \"ddp\"\ngamma = 2.2\nstrip = \"ws2816\"\ndither = true\n",
       "7: dither = true is for an 8-bit RGB strip (ws2812, apa102, ws2801, lpd8806, p9813) on "
       "spi: "
       "or file:, with a gamma other than 1.0"},
      {std::string(kOutput) + "protocol = \"ddp\"\ndither = 1\n",
       "5: dither must be true or false"},
      {"[[output]]\ndevice = \"ddp:h\"\nleds = 3\nprotocol = \"e131\"\nstrip = \"p9813\"\n",
       "5: strip \"p9813\" is for spi: and file: devices; serial: and ddp: send the colours, as "
       "ws2812 or sk6812"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Error(c.text), c.message) << c.text;
  }
  // Touching is not overlapping; another protocol's universes are its own.
  EXPECT_EQ(Error(std::string(kFourHundred) +
                  "[[output]]\ndevice = \"file:/b\"\nleds = 1\nprotocol = \"e131\"\nuniverse = 3\n"
                  "channel = 181\n[[output]]\ndevice = \"file:/c\"\nleds = 400\n"
                  "protocol = \"artnet\"\n"),
            "(accepted)");
}

TEST(ToolConfig, TheShippedExampleHoldsTheDefaults) {
  auto result = tool::LoadConfig(LEDCOLOR_TOOL_EXAMPLE);
  ASSERT_TRUE(std::holds_alternative<tool::Config>(result)) << std::get<std::string>(result);
  const tool::Config& config = std::get<tool::Config>(result);
  ASSERT_EQ(config.outputs.size(), 1U);
  const tool::OutputConfig& o = config.outputs[0];
  EXPECT_EQ(o.kind, tool::DeviceKind::kSpi);
  EXPECT_EQ(o.target, "/dev/spidev0.0");
  EXPECT_EQ(tool::Describe(o),
            "spi:/dev/spidev0.0: 300 LEDs ws2812 from e131 universes 1-2 from channel 1, gamma "
            "1.00, budget 0 mA, idle 2500 ms");
  // Every key left out gives the same output as the example's written defaults.
  auto bare =
      Load("[[output]]\ndevice = \"spi:/dev/spidev0.0\"\nleds = 300\nprotocol = \"e131\"\n");
  const tool::OutputConfig& d = std::get<tool::Config>(bare).outputs[0];
  EXPECT_EQ(d.path.order, o.path.order);
  EXPECT_EQ(d.path.balance, o.path.balance);
  EXPECT_EQ(d.path.spi_hz, o.path.spi_hz);
  EXPECT_EQ(d.path.baud, o.path.baud);
  EXPECT_EQ(d.path.format, ledcolor::AdalightFormat::kAwa);
  EXPECT_EQ(d.path.white_ma, 20U);
  EXPECT_EQ(d.idle_ms, o.idle_ms);
  EXPECT_EQ(tool::Describe(d), tool::Describe(o));
  // Each chip's default order and clock is its own.
  const struct {
    const char* strip;
    ledcolor::ColorOrder order;
    std::uint32_t spi_hz;
  } chips[] = {{"apa102", ledcolor::ColorOrder::kBgr, 8'000'000},
               {"ws2801", ledcolor::ColorOrder::kRgb, 1'000'000},
               {"lpd8806", ledcolor::ColorOrder::kGrb, 2'000'000},
               {"p9813", ledcolor::ColorOrder::kGrb, 1'000'000},
               {"ws2816", ledcolor::ColorOrder::kGrb, 8'000'000}};
  for (const auto& chip : chips) {
    auto loaded =
        Load(std::string(kOutput) + "protocol = \"ddp\"\nstrip = \"" + chip.strip + "\"\n");
    const tool::OutputConfig& c = std::get<tool::Config>(loaded).outputs[0];
    EXPECT_EQ(c.path.order, chip.order) << chip.strip;
    EXPECT_EQ(c.path.spi_hz, chip.spi_hz) << chip.strip;
  }
}

TEST(ToolArtPoll, RepliesListThePortsFourAtATimeByNetAndSubNet) {
  const std::uint16_t ports[] = {18, 17, 16, 19, 20, 0x1234, 17};
  in_addr ip{};
  ip.s_addr = htonl(0x0A000102);  // 10.0.1.2
  const auto replies = tool::ArtPollReplies("strip node", ports, ip);
  ASSERT_EQ(replies.size(), 3U);
  const struct {
    std::uint8_t net, sub, count, bind_index;
    std::array<std::uint8_t, 4> sw_out;
  } expected[] = {
      {0, 1, 4, 1, {0, 1, 2, 3}}, {0, 1, 1, 2, {4, 0, 0, 0}}, {0x12, 3, 1, 3, {4, 0, 0, 0}}};
  for (std::size_t i = 0; i < replies.size(); ++i) {
    const auto& r = replies[i];
    ASSERT_EQ(r.size(), 239U);
    EXPECT_EQ(std::string(r.begin(), r.begin() + 8), std::string("Art-Net\0", 8));
    EXPECT_EQ(r[8], 0x00);
    EXPECT_EQ(r[9], 0x21);
    EXPECT_EQ((std::array<std::uint8_t, 4>{r[10], r[11], r[12], r[13]}),
              (std::array<std::uint8_t, 4>{10, 0, 1, 2}));
    EXPECT_EQ(r[14], 0x36);
    EXPECT_EQ(r[15], 0x19);
    EXPECT_EQ(r[18], expected[i].net);
    EXPECT_EQ(r[19], expected[i].sub);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[26])), "strip node");
    EXPECT_EQ(r[173], expected[i].count);
    EXPECT_EQ((std::array<std::uint8_t, 4>{r[190], r[191], r[192], r[193]}), expected[i].sw_out);
    EXPECT_EQ(r[174], 0x80);
    EXPECT_EQ(r[174 + expected[i].count - 1], 0x80);
    EXPECT_EQ(r[211], expected[i].bind_index);
  }
  EXPECT_TRUE(tool::IsArtPoll(
      std::array<std::uint8_t, 14>{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20, 0, 14, 0, 0}));
  EXPECT_FALSE(tool::IsArtPoll(
      std::array<std::uint8_t, 14>{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x50, 0, 14, 0, 0}));
}

// `ledcolor uf2 set`: every bad value refused with the configure step's message, on an image of
// 1024 LEDs built with the defaults; a change of strip brings the chip's own order and clock.
TEST(ToolUf2, RefusesEachBadValueAsTheConfigureStepDoes) {
  const firmware::Settings built_in{firmware::Options{2'000'000,
                                                      ledcolor::AdalightFormat::kAwa,
                                                      1.0,
                                                      firmware::Strip::kWs2812,
                                                      firmware::WhiteRule::kHosts,
                                                      {255, 255, 255},
                                                      {255, 255, 255, 255},
                                                      0,
                                                      20,
                                                      ledcolor::WhitePosition::kLast,
                                                      8'000'000,
                                                      ledcolor::ColorOrder::kGrb,
                                                      2,
                                                      1024,
                                                      0,
                                                      "ws2812",
                                                      "0",
                                                      25}};
  const struct {
    std::map<std::string, std::string> values;
    const char* message;
  } cases[] = {
      {{{"STRIP", "ws2811"}},
       "LEDCOLOR_FW_STRIP is 'ws2811': one of ws2812 sk6812 apa102 ws2801 lpd8806 p9813 ws2816"},
      {{{"FORMAT", "tpm2"}}, "LEDCOLOR_FW_FORMAT is 'tpm2': one of awa ada"},
      {{{"WHITE_RULE", "max"}}, "LEDCOLOR_FW_WHITE_RULE is 'max': one of hosts preserve"},
      {{{"WHITE_POSITION", "top"}},
       "LEDCOLOR_FW_WHITE_POSITION is 'top': one of first second third last"},
      {{{"BUDGET_MA", "4A"}}, "LEDCOLOR_FW_BUDGET_MA is '4A': a whole number"},
      {{{"BAUD", "-1"}}, "LEDCOLOR_FW_BAUD is '-1': a whole number"},
      {{{"BAUD", "9000000"}},
       "LEDCOLOR_FW_BAUD is 9000000: 9600 to 7800000 (the UART takes up to clk_peri / 16)"},
      {{{"GAMMA", "11"}}, "LEDCOLOR_FW_GAMMA is '11': a number from 0.1 to 10"},
      {{{"GAMMA", "2,2"}}, "LEDCOLOR_FW_GAMMA is '2,2': a number from 0.1 to 10"},
      {{{"SPI_HZ", "8MHz"}}, "LEDCOLOR_FW_SPI_HZ is '8MHz': a whole number of Hz, or empty"},
      {{{"ORDER", "RGGB"}}, "LEDCOLOR_FW_ORDER is 'RGGB': one of RGB RBG GRB GBR BRG BGR"},
      {{{"BALANCE", "255,300,255"}},
       "LEDCOLOR_FW_BALANCE is r,g,b or r,g,b,w, LEDCOLOR_FW_WHITE_POINT r,g,b"},
      {{{"WHITE_POINT", "255,255,255,255"}},
       "LEDCOLOR_FW_BALANCE is r,g,b or r,g,b,w, LEDCOLOR_FW_WHITE_POINT r,g,b"},
      {{{"STATUS_PIN", "LED"}}, "LEDCOLOR_FW_STATUS_PIN is 'LED': a pin 2-17 or 20-29, or none"},
      {{{"STATUS_PIN", "30"}},
       "LEDCOLOR_FW_STATUS_PIN is GP30: a pin 2-17 or 20-29 (GP0 and GP1 are UART0's, GP18 and "
       "GP19 SPI0's), or none"},
      {{{"MAX_LEDS", "2000"}},
       "LEDCOLOR_FW_MAX_LEDS is 2000: 1 to 1024 (the image's capacity; building sets it)"},
      {{{"OUTPUTS", "9"}}, "LEDCOLOR_FW_OUTPUTS is 9: 1 to 8"},
      {{{"OUTPUTS", "2"}, {"STRIP", "apa102"}},
       "LEDCOLOR_FW_OUTPUTS is 2: apa102 is driven on SPI0, one output; 1, or a one-wire strip "
       "(ws2812 sk6812 ws2816)"},
      {{{"OUTPUTS", "8"}, {"DATA_PIN", "12"}},
       "LEDCOLOR_FW_DATA_PIN and LEDCOLOR_FW_OUTPUTS (GP12 to GP19): GP18 is not for a strip; the "
       "outputs' pins are 2-17 or 20-29 (GP0 and GP1 are UART0's, GP18 and GP19 SPI0's, there is "
       "no GP30)"},
      {{{"DATA_PIN", "25"}},
       "LEDCOLOR_FW_DATA_PIN and LEDCOLOR_FW_STATUS_PIN both take GP25: the status pin must be "
       "another pin, or none"},
      {{{"OUTPUTS", "2"}, {"SEGMENTS", "10,x"}},
       "LEDCOLOR_FW_SEGMENTS is '10,x': with LEDCOLOR_FW_OUTPUTS above 1, that many LED counts of "
       "1 or more, such as 300,300,200,200; or empty, for equal parts"},
      {{{"OUTPUTS", "2"}, {"SEGMENTS", "1000,100"}},
       "LEDCOLOR_FW_SEGMENTS sum to 1100 LEDs: at most LEDCOLOR_FW_MAX_LEDS (1024)"},
  };
  for (const auto& c : cases) {
    firmware::Settings settings = built_in;
    std::string error;
    EXPECT_FALSE(tool::ApplyOptions(c.values, 1024, settings, error)) << c.message;
    EXPECT_EQ(error, c.message);
  }
  firmware::Settings settings = built_in;
  std::string error;
  ASSERT_TRUE(tool::ApplyOptions({{"STRIP", "apa102"}, {"GAMMA", "2.2"}}, 1024, settings, error))
      << error;
  EXPECT_EQ(settings.options.order, ledcolor::ColorOrder::kBgr);
  EXPECT_EQ(settings.options.spi_hz, 8'000'000U);
  EXPECT_EQ(settings.gamma_milli, 2200U);
  EXPECT_EQ(settings.gamma, *ledcolor::MakeGammaTable(2.2));
}

}  // namespace
