#!/usr/bin/env bash
# OLA's E1.31 and Art-Net plugins both ways: they send the frame net_receiver expects, and they
# receive the frame net_sender encodes, which ola_recorder reads back from OLA's universes. Run as
# root inside a private network namespace (unshare -n): OLA's plugins refuse a loopback-only
# machine, so they get a virtual interface pair here, and olad, which does not run as root, runs as
# nobody.
#   $1  the net_receiver program
#   $2  the net_sender program
set -euo pipefail
receiver=$1
sender=$2
# shellcheck source=olad.sh
source "$(dirname "$0")/olad.sh"

"$receiver" e131 0.0.0.0 1 1 3 400 15 10.77.0.1 >"$conf/e131.log" &
pids+=($!)
"$receiver" artnet 0.0.0.0 1 1 3 400 15 >"$conf/artnet.log" &
pids+=($!)
for _ in $(seq 100); do
  grep -q listening "$conf/e131.log" && grep -q listening "$conf/artnet.log" && break
  sleep 0.05
done
for u in 1 2 3; do
  levels=$(for c in $(seq 512); do printf '%d,' $(((29 * (u - 1) + 7 * c + 1) % 256)); done)
  ola_set_dmx -u "$u" -d "${levels%,}"
done
echo "ola: set universes 1..3, sent as E1.31 universes and Art-Net port addresses 1..3"
status=0
wait "${pids[1]}" || status=1
wait "${pids[2]}" || status=1
cat "$conf/e131.log" "$conf/artnet.log"

# The other way: E1.31 universes 1..3 into OLA universes 1..3, Art-Net port addresses 1..3 into
# OLA universes 17..19, as net_sender sends them to olad's address (with sync, then without).
for u in 1 2 3; do
  ola_patch --unpatch -d "$e131" -p $((u - 1))
  ola_patch --unpatch -d "$artnet" -p $((u - 1))
  ola_patch --input -d "$e131" -p $((u - 1)) -u "$u"
  ola_patch --input -d "$artnet" -p $((u - 1)) -u $((u + 16))
done
show="$conf/received.show"
# In a session of its own: ola_recorder stops on an interrupt, which it would otherwise pass on to
# this script's whole process group.
setsid ola_recorder --record "$show" --universes 1,2,3,17,18,19 >/dev/null 2>&1 &
recorder=$!
sleep 0.5
for protocol in e131 artnet; do
  "$sender" "$protocol" 10.77.0.1 1 400 sync 2
  "$sender" "$protocol" 10.77.0.1 1 400 2
done
sleep 0.3
kill -INT "$recorder"
wait "$recorder" || true
# The show file: a line "universe level,level,..." for each frame OLA passed on. The last of each
# universe must be the levels sent: byte i of the row (7 i + 3) mod 256, 510 a universe.
awk '
  NF == 2 && $2 ~ /,/ { last[$1] = $2 }
  END {
    bad = 0
    for (u = 1; u <= 19; u += (u == 3 ? 14 : 1)) {
      k = (u - 1) % 16
      n = k < 2 ? 510 : 180
      want = ""
      for (i = 0; i < n; ++i) want = want (i ? "," : "") (7 * (510 * k + i) + 3) % 256
      ok = last[u] == want
      printf "ola: universe %d (%s %d): %s\n", u, u < 17 ? "E1.31 universe" : "Art-Net port address", k + 1, ok ? "the " n " levels sent" : "NOT the levels sent"
      bad += !ok
    }
    exit bad != 0
  }' "$show" || status=1
exit "$status"
