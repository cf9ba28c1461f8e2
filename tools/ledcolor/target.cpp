#include <string>

#include "commands.h"
#include "config.h"

namespace tool {

bool ParseTarget(const std::string& text, Target& target, std::string& error) {
  const std::size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
  std::uint64_t value = 0;
  if (kind == "serial") {
    target.kind = Target::Kind::kSerial;
    const std::size_t at = rest.rfind('@');
    if (at != std::string::npos) {
      if (!ParseDecimal(rest.substr(at + 1), 16'000'000, value)) {
        error = "\"" + text + "\": the rate after @ is 1 to 16000000 baud";
        return false;
      }
      target.baud = static_cast<std::uint32_t>(value);
      rest = rest.substr(0, at);
    }
  } else if (kind == "ddp") {
    target.kind = Target::Kind::kDdp;
    target.port = 4048;
    const std::size_t at = rest.rfind(':');
    if (at != std::string::npos) {
      if (!ParseDecimal(rest.substr(at + 1), 65535, value)) {
        error = "\"" + text + "\": the port after the host is 1 to 65535";
        return false;
      }
      target.port = static_cast<std::uint16_t>(value);
      rest = rest.substr(0, at);
    }
  } else if (kind == "e131") {
    target.kind = Target::Kind::kE131;
    target.port = 5568;
    if (rest == "multicast") {
      rest = "";
      target.where = "";
      return true;
    }
  } else if (kind == "artnet") {
    target.kind = Target::Kind::kArtNet;
    target.port = 6454;
  } else {
    error = "\"" + text +
            "\" is no target: serial:PATH[@BAUD], ddp:HOST[:PORT], e131:HOST, e131:multicast or "
            "artnet:HOST";
    return false;
  }
  if (rest.empty()) {
    error = "\"" + text + "\" names no path or host";
    return false;
  }
  target.where = rest;
  return true;
}

}  // namespace tool
