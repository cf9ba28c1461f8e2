#!/usr/bin/env bash
# The whole chain: net_sender sends a DDP frame to `ledcolor run`, which sends it as an "Awa" frame
# to a serial port on a pseudo-terminal (socat), behind which the RP2040 firmware runs on the
# emulator (tests/rp2040/bridge.js); its data pin must show the firmware's path output for the
# frame sent. Needs the default and rp2040 builds, socat, and rp2040js on NODE_PATH.
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

socat pty,raw,echo=0,link="$work/host" pty,raw,echo=0,link="$work/pico" &
pids+=($!)
for _ in $(seq 50); do [[ -e $work/host && -e $work/pico ]] && break; sleep 0.1; done
expect=$(echo "row $leds" | "$frames" | sed -n 's/^expect //p')
node tests/rp2040/bridge.js "$image" 2000000 "$work/pico" "$expect" 120 >"$work/bridge.log" &
bridge=$!
pids+=($bridge)
for _ in $(seq 100); do grep -q booted "$work/bridge.log" && break; sleep 0.1; done

cat >"$work/ledcolor.toml" <<TOML
[input]
address = "127.0.0.1"
[[output]]
device = "serial:$work/host"
leds = $leds
protocol = "ddp"
baud = 2000000
idle_ms = 0
TOML
"$ledcolor" run "$work/ledcolor.toml" 2>"$work/ledcolor.log" &
pids+=($!)
for _ in $(seq 200); do grep -q 'hello answered' "$work/ledcolor.log" && break; sleep 0.1; done
"$sender" ddp 127.0.0.1 0 "$leds" 1
status=0
wait "$bridge" || status=1
cat "$work/ledcolor.log" "$work/bridge.log"
exit "$status"
