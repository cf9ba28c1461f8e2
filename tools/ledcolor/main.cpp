// ledcolor: the controller program. One subcommand a file; this one reads the arguments.
#include <CLI/CLI.hpp>
#include <cctype>
#include <map>
#include <string>

#include "commands.h"
#include "run.h"
#include "uf2.h"

int main(int argc, char** argv) {
  CLI::App app{"ledcolor: drives LED strips from the network (DDP, E1.31, Art-Net)", "ledcolor"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("ledcolor ") + LEDCOLOR_TOOL_VERSION);

  std::string config;
  bool check = false;
  double stats = 0;
  CLI::App* run = app.add_subcommand(
      "run", "Receive frames as the configuration says and drive its outputs until stopped");
  run->add_option("CONFIG", config, "The TOML configuration file")->required();
  run->add_flag("--check", check, "Check the configuration, print its outputs, and exit");
  run->add_option("--stats", stats, "Print each output's counters every SECONDS")
      ->check(CLI::Range(0.1, 86400.0))
      ->option_text("SECONDS");

  std::string status_target;
  CLI::App* status = app.add_subcommand(
      "status", "Ask a controller on a serial port who it is, and print its answer");
  status->add_option("TARGET", status_target, "serial:PATH[@BAUD] (2000000 baud by default)")
      ->required();

  tool::SendOptions send_options;
  CLI::App* send = app.add_subcommand("send", "Send test frames to a controller");
  send->add_option("TARGET", send_options.target,
                   "serial:PATH[@BAUD], ddp:HOST[:PORT], e131:HOST, e131:multicast or artnet:HOST")
      ->required();
  send->add_option("--format", send_options.format, "serial: awa (checked) or ada (classic)")
      ->check(CLI::IsMember({"awa", "ada"}));
  send->add_option("--universe", send_options.universe,
                   "e131: the first universe (1); artnet: the first port address (0)")
      ->check(CLI::Range(0, 63999));
  send->add_option("--leds", send_options.leds, "LEDs a frame (60)")->check(CLI::Range(1, 65536));
  send->add_option("--color", send_options.color, "every LED this colour, RRGGBB");
  send->add_flag("--rainbow", send_options.rainbow, "a rainbow moving along the strip");
  send->add_flag("--chase", send_options.chase, "one white LED moving along the strip");
  send->add_flag("--ramp", send_options.ramp, "a slow fade at the dark end, to judge gamma");
  send->add_option("--file", send_options.file, "raw RGB rows of --leds LEDs, one a frame");
  send->add_option("--fps", send_options.fps, "frames a second (30)")
      ->check(CLI::Range(0.1, 1000.0));
  send->add_option("--seconds", send_options.seconds, "how long; one frame if not given")
      ->check(CLI::Range(0.0, 86400.0));

  tool::InspectOptions inspect_options;
  CLI::App* inspect =
      app.add_subcommand("inspect", "List what a controller would have received from a capture");
  inspect
      ->add_option("FILE", inspect_options.file,
                   "a pcap or pcapng capture of UDP (tcpdump -w), or with --serial raw bytes")
      ->required();
  inspect->add_flag("--serial", inspect_options.serial, "FILE is a serial capture of raw bytes");
  inspect->add_option("--format", inspect_options.format, "--serial: awa (checked) or ada")
      ->check(CLI::IsMember({"awa", "ada"}));
  inspect->add_option("--baud", inspect_options.baud, "--serial: the line's rate, for the times")
      ->check(CLI::Range(50, 16'000'000));
  inspect
      ->add_option("--leds", inspect_options.leds,
                   "also list the frames a FrameAssembler of this many LEDs would show")
      ->check(CLI::Range(1, 65536));
  inspect
      ->add_option("--universe", inspect_options.universe,
                   "its first universe (E1.31, 1 by default) or port address (Art-Net, 0)")
      ->check(CLI::Range(0, 63999));
  inspect->add_flag("--json", inspect_options.json, "one JSON object a line, the summary last");

  tool::Uf2Options uf2_options;
  CLI::App* uf2 = app.add_subcommand("uf2", "Set or show a firmware's options in a UF2 file");
  uf2->require_subcommand(1);
  CLI::App* uf2_set =
      uf2->add_subcommand("set", "Write the options into a copy of a ledcolor-rp2040 UF2");
  uf2_set->add_option("IN", uf2_options.input, "the UF2 file, as built or downloaded")->required();
  uf2_set->add_option("-o,--output", uf2_options.output, "the UF2 file to write")->required();
  // One flag an option, named like the CMake option (LEDCOLOR_FW_MAX_LEDS: --max-leds).
  std::map<std::string, std::string> given;
  std::map<std::string, std::string> flags;
  for (const tool::FirmwareOption& option : tool::kFirmwareOptions) {
    std::string flag = "--";
    for (const char* c = option.name; *c != '\0'; ++c) {
      flag += *c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    flags[option.name] = flag;
    uf2_set->add_option(std::string(option.name) == "MAX_LEDS" ? "--leds," + flag : flag,
                        given[option.name], option.help);
  }
  std::string uf2_file;
  CLI::App* uf2_show = uf2->add_subcommand("show", "Print a UF2's built-in options and its block");
  uf2_show->add_option("FILE", uf2_file, "the UF2 file")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version exit 0; a usage error 2, as a configuration error does.
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (uf2_set->parsed()) {
    for (const auto& [name, flag] : flags) {
      if (uf2_set->count(flag) != 0) {
        uf2_options.values[name] = given[name];
      }
    }
    return tool::Uf2Set(uf2_options);
  }
  if (uf2_show->parsed()) {
    return tool::Uf2Show(uf2_file);
  }
  if (run->parsed()) {
    return tool::Run(config, check, stats);
  }
  if (status->parsed()) {
    return tool::Status(status_target);
  }
  if (send->parsed()) {
    return tool::Send(send_options);
  }
  if (inspect->parsed()) {
    return tool::Inspect(inspect_options);
  }
  return 2;
}
