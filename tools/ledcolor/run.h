// `ledcolor run`: the network controller.
#pragma once

#include <string>

namespace tool {

// Runs the configuration in `file` until SIGTERM or SIGINT (0), or checks it and prints its
// outputs (`check`). A configuration error gives 2, a device or port that cannot be had 1.
// `stats_seconds` > 0 prints each output's counters that often.
int Run(const std::string& file, bool check, double stats_seconds);

}  // namespace tool
