#!/bin/sh
# DDP has no receiver or sender to install: net_sender encodes a frame with the library and sends
# it over 127.0.0.1, and net_receiver decodes and assembles it and must find it shown whole.
#   $1  the net_receiver program
#   $2  the net_sender program
set -eu
receiver=$1
sender=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$receiver" ddp 127.0.0.1 1 1 3 1000 10 >"$log" &
pid=$!
tries=0
until grep -q listening "$log"; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { kill "$pid"; echo "the receiver did not start"; exit 1; }
  sleep 0.05
done
"$sender" ddp 127.0.0.1 1 1000 1
status=0
wait "$pid" || status=$?
cat "$log"
exit "$status"
