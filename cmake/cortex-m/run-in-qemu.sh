#!/bin/sh
# Runs a Cortex-M program under qemu-system-arm with semihosting: its stdout and stderr reach ours,
# its exit status becomes QEMU's, and its arguments reach its main.
#   run-in-qemu.sh QEMU MACHINE PROGRAM [ARGUMENTS...]
set -eu
qemu=$1 machine=$2 program=$3
shift 3
# A comma ends a -semihosting-config option unless doubled.
config="enable=on,target=native,arg=$(basename "$program")"
for argument in "$@"; do
  config="$config,arg=$(printf '%s' "$argument" | sed 's/,/,,/g')"
done
exec "$qemu" -M "$machine" -nographic -monitor none -serial none -semihosting-config "$config" \
  -kernel "$program" </dev/null
