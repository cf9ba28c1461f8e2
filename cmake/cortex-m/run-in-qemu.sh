#!/bin/sh
# Runs a Cortex-M program under qemu-system-arm with semihosting: its stdout and stderr reach ours,
# its exit status becomes QEMU's, and its arguments reach its main.
#   run-in-qemu.sh QEMU MACHINE PROGRAM [ARGUMENTS...]
# With LEDCOLOR_QEMU_ICOUNT=N in the environment, the emulated clock advances exactly 2^N ns an
# instruction (-icount shift=N), which the instruction count's timer reads rely on.
set -eu
qemu=$1 machine=$2 program=$3
shift 3
# A comma ends a -semihosting-config option unless doubled.
config="enable=on,target=native,arg=$(basename "$program")"
for argument in "$@"; do
  config="$config,arg=$(printf '%s' "$argument" | sed 's/,/,,/g')"
done
icount=${LEDCOLOR_QEMU_ICOUNT:+-icount shift=$LEDCOLOR_QEMU_ICOUNT}
# shellcheck disable=SC2086 # $icount is two words or none
exec "$qemu" -M "$machine" $icount -nographic -monitor none -serial none -semihosting-config "$config" \
  -kernel "$program" </dev/null
