#!/usr/bin/env bash
# `ledcolor uf2` on the default UF2 the rp2040 build leaves: `set` writes an option block that
# `show` prints back and the firmware takes at boot on the emulator (tests/rp2040/uf2_boot.js:
# hello, strip, outputs and budget; with one byte of the block changed, the built-in options); a
# bad value exits 2 with the configure step's message and writes nothing; a damaged UF2 is named.
# Needs the default and rp2040 builds, and rp2040js on NODE_PATH.
set -euo pipefail
cd "$(dirname "$0")/../.."
ledcolor=build/default/tools/ledcolor/ledcolor
uf2=build/rp2040/firmware/rp2040/ledcolor-rp2040.uf2
frames=build/rp2040/tests/rp2040/frames-ledcolor-rp2040
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "uf2: $*"; exit 1; }

"$ledcolor" uf2 set "$uf2" -o "$work/set.uf2" --strip sk6812 --leds 150 --outputs 4 \
  --segments 40,35,40,35 --gamma 2.2 --budget-ma 3500 >/dev/null
"$ledcolor" uf2 show "$work/set.uf2" >"$work/show.txt"
sed -n '/^option block at 0x100FF000/,$p' "$work/show.txt" >"$work/block.txt"
for line in 'strip sk6812' 'max-leds 150' 'outputs 4' 'segments 40,35,40,35' 'gamma 2.200' \
            'budget-ma 3500' 'order GRB'; do
  grep -qx "  $line" "$work/block.txt" || fail "show does not print '$line' for the block"
done
grep -qx '  strip ws2812' "$work/show.txt" || fail "show does not print the built-in strip"
echo "uf2 set and show: the block holds what was set; the built-in options and capacity kept"

status=0
"$ledcolor" uf2 set "$uf2" -o "$work/bad.uf2" --budget-ma 4A 2>"$work/error.txt" || status=$?
[[ $status == 2 && ! -e $work/bad.uf2 ]] || fail "a bad value: exit $status, or a file written"
grep -qF "LEDCOLOR_FW_BUDGET_MA is '4A': a whole number" "$work/error.txt" ||
  fail "a bad value's message: $(cat "$work/error.txt")"
head -c 1000 "$uf2" >"$work/damaged.uf2"
status=0
"$ledcolor" uf2 show "$work/damaged.uf2" 2>"$work/error.txt" || status=$?
[[ $status == 2 ]] && grep -q "not a UF2 file" "$work/error.txt" || fail "a damaged UF2 not named"
echo "uf2: a bad value refused (exit 2, nothing written), a damaged UF2 named"

node tests/rp2040/uf2_boot.js "$work/set.uf2" "$frames"
