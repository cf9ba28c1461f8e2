#!/bin/sh
# DDP has no sender to install: net_receiver sends the frame itself, built from the format, to
# itself on 127.0.0.1, and must find it shown whole.
#   $1  the net_receiver program
set -eu
receiver=$1
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
"$receiver" send-ddp 127.0.0.1 1000 3
status=0
wait "$pid" || status=$?
cat "$log"
exit "$status"
