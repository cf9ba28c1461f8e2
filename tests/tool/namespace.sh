#!/usr/bin/env bash
# `ledcolor run` inside a private network namespace (unshare -n, as root): E1.31 multicast from the
# npm package sacn, then olad's E1.31 (multicast) and Art-Net (broadcast) output of OLA universes
# 1..3; the frames read back must be the library's path output for the levels sent.
#   $1  the ledcolor program
#   $2  tool_expect_frame
set -euo pipefail
ledcolor=$1
expect=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../examples/net/olad.sh
source "$here/../../examples/net/olad.sh"

config=$conf/ledcolor.toml
cat >"$config" <<TOML
[input]
interface = "vola0"
[[output]]
device = "file:$conf/e131.bin"
leds = 400
protocol = "e131"
gamma = 2.2
idle_ms = 0
[[output]]
device = "file:$conf/artnet.bin"
leds = 400
protocol = "artnet"
universe = 1
idle_ms = 0
TOML
"$ledcolor" run "$config" 2>"$conf/ledcolor.log" &
pids+=($!)
for _ in $(seq 50); do grep -q running "$conf/ledcolor.log" && break; sleep 0.1; done

status=0
node "$here/../../examples/net/sacn_sender.js" multicast:10.77.0.1 1 3
sleep 0.3
"$expect" "$config" 0 levels 1 "$conf/e131.bin" || status=1
# The sacn source must have gone quiet (2.5 s) before OLA's may take its universes.
sleep 2.6
: >"$conf/e131.bin"
for u in 1 2 3; do
  levels=$(for c in $(seq 512); do printf '%d,' $(((29 * (u - 1) + 7 * c + 1) % 256)); done)
  ola_set_dmx -u "$u" -d "${levels%,}"
done
sleep 0.5
echo "ola: set universes 1..3, sent as E1.31 multicast and Art-Net broadcast"
"$expect" "$config" 0 levels 1 "$conf/e131.bin" || status=1
"$expect" "$config" 1 levels 1 "$conf/artnet.bin" || status=1
exit "$status"
