#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>

#include "commands.h"
#include "devices.h"
#include "ledcolor/ledcolor.h"

namespace tool {

int Status(const std::string& text) {
  Target target;
  std::string error;
  if (!ParseTarget(text, target, error) || target.kind != Target::Kind::kSerial) {
    std::fprintf(stderr, "ledcolor status: %s\n",
                 error.empty() ? "the target is serial:PATH[@BAUD]" : error.c_str());
    return 2;
  }
  const int fd = OpenSerialPort(target.where, target.baud, error);
  if (fd < 0) {
    std::fprintf(stderr, "ledcolor status: %s: %s\n", target.where.c_str(), error.c_str());
    return 1;
  }
  std::array<std::uint8_t, 6> hello{};
  const std::size_t size = ledcolor::EncodeHostRequest(ledcolor::HostRequest::kHello, hello);
  std::string answer;
  if (write(fd, hello.data(), size) == static_cast<ssize_t>(size)) {
    // One line, within a second.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (answer.find('\n') == std::string::npos && answer.size() < 512 &&
           std::chrono::steady_clock::now() < end) {
      pollfd wait{fd, POLLIN, 0};
      poll(&wait, 1, 20);
      std::array<char, 256> buffer{};
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n > 0) {
        answer.append(buffer.data(), static_cast<std::size_t>(n));
      }
    }
  }
  close(fd);
  const std::size_t end = answer.find_first_of("\r\n");
  const std::string line = answer.substr(0, end);
  if (line.empty()) {
    std::fprintf(stderr, "ledcolor status: no answer from %s within a second (at %u baud)\n",
                 target.where.c_str(), target.baud);
    return 1;
  }
  // Our firmware's line: its name, version, strip and size, then its counters as "name N" pairs.
  static const std::regex kFirmware(R"(^(ledcolor-\S+) (\S+) (\S+) (\d+)((?: [a-z]+ \S+)*)$)");
  std::smatch words;
  if (!std::regex_match(line, words, kFirmware)) {
    std::printf("answer: %s\n", line.c_str());
    return 0;
  }
  std::printf("firmware: %s\nversion: %s\nstrip: %s\nmax_leds: %s\n", words[1].str().c_str(),
              words[2].str().c_str(), words[3].str().c_str(), words[4].str().c_str());
  static const std::regex kPair(R"( ([a-z]+) (\S+))");
  const std::string pairs = words[5].str();
  for (auto it = std::sregex_iterator(pairs.begin(), pairs.end(), kPair);
       it != std::sregex_iterator(); ++it) {
    std::printf("%s: %s\n", (*it)[1].str().c_str(), (*it)[2].str().c_str());
  }
  return 0;
}

}  // namespace tool
