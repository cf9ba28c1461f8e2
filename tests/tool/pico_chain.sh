#!/usr/bin/env bash
# The program with the RP2040 firmware on the emulator behind a serial port on a pseudo-terminal
# (socat, and tests/rp2040/bridge.js): `ledcolor status` asks it who it is; the whole chain
# net_sender, `ledcolor run`, the serial port, the firmware must show the frame sent on the strip's
# pin as the firmware's path makes it; and `ledcolor send --color` must too. `status` on a port
# where nothing answers exits 1. Needs the default and rp2040 builds, socat, and rp2040js on
# NODE_PATH.
set -euo pipefail
cd "$(dirname "$0")/../.."
image=build/rp2040/tests/rp2040/rp2040-ws2812.bin
frames=build/rp2040/tests/rp2040/frames-ws2812
ledcolor=build/default/tools/ledcolor/ledcolor
sender=build/default/examples/net_sender
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
leds=40

# A pseudo-terminal pair, $work/$1-host for the program and $work/$1-pico for the emulated firmware
# (bridge.js), which runs until the strip's pin shows the frame the frames tool makes of $2.
start_pico() {
  socat pty,raw,echo=0,link="$work/$1-host" pty,raw,echo=0,link="$work/$1-pico" &
  pids+=($!)
  for _ in $(seq 50); do [[ -e $work/$1-host && -e $work/$1-pico ]] && break; sleep 0.1; done
  local expect
  expect=$(echo "$2" | "$frames" | sed -n 's/^expect //p')
  node tests/rp2040/bridge.js "$image" 2000000 "$work/$1-pico" "$expect" 120 >"$work/$1.log" &
  bridge=$!
  pids+=($bridge)
  for _ in $(seq 100); do grep -q booted "$work/$1.log" && break; sleep 0.1; done
}
status=0

echo "== ledcolor status, then the chain: net_sender, ledcolor run, the serial port, the firmware"
start_pico chain "row $leds"
"$ledcolor" status "serial:$work/chain-host@2000000" | tee "$work/status.txt"
grep -qx 'strip: ws2812' "$work/status.txt" && grep -qx 'shown: 0' "$work/status.txt" &&
  grep -qx 'oversized: 0' "$work/status.txt" || { echo "status: not the firmware's fields"; status=1; }
cat >"$work/ledcolor.toml" <<TOML
[input]
address = "127.0.0.1"
[[output]]
device = "serial:$work/chain-host"
leds = $leds
protocol = "ddp"
baud = 2000000
idle_ms = 0
TOML
"$ledcolor" run "$work/ledcolor.toml" 2>"$work/ledcolor.log" &
pids+=($!)
for _ in $(seq 200); do grep -q 'hello answered' "$work/ledcolor.log" && break; sleep 0.1; done
"$sender" ddp 127.0.0.1 0 "$leds" 1
wait "$bridge" || status=1
cat "$work/ledcolor.log" "$work/chain.log"

echo "== ledcolor send --color to the firmware"
start_pico send "color 102030 8"
"$ledcolor" send "serial:$work/send-host@2000000" --color 102030 --leds 8
wait "$bridge" || status=1
cat "$work/send.log"

echo "== ledcolor status where nothing answers"
socat pty,raw,echo=0,link="$work/silent" pty,raw,echo=0 &
pids+=($!)
for _ in $(seq 50); do [[ -e $work/silent ]] && break; sleep 0.1; done
silent=0
"$ledcolor" status "serial:$work/silent" 2>"$work/silent.log" || silent=$?
cat "$work/silent.log"
[[ $silent == 1 ]] && grep -q 'no answer' "$work/silent.log" || status=1
exit "$status"
