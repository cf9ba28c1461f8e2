// ledcolor: the controller program. One subcommand a file; this one reads the arguments.
#include <CLI/CLI.hpp>
#include <string>

#include "run.h"

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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version exit 0; a usage error 2, as a configuration error does.
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (run->parsed()) {
    return tool::Run(config, check, stats);
  }
  return 2;
}
