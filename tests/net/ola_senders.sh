#!/usr/bin/env bash
# OLA's E1.31 and Art-Net plugins send the frame net_receiver expects. Run as root inside a private
# network namespace (unshare -n): OLA's plugins refuse a loopback-only machine, so they get a
# virtual interface pair here, and olad, which does not run as root, runs as nobody.
#   $1  the net_receiver program
set -euo pipefail
receiver=$1
ip link set lo up
ip link add vola0 type veth peer name vola1
ip addr add 10.77.0.1/24 dev vola0
ip addr add 10.77.0.2/24 dev vola1
ip link set vola0 up
ip link set vola1 up

conf=$(mktemp -d)
trap 'kill "${pids[@]}" 2>/dev/null || true; wait; rm -rf "$conf"' EXIT
pids=()
printf 'enabled = true\nip = 10.77.0.1\n' >"$conf/ola-e131.conf"
# Without always_broadcast, OLA sends ArtDmx only to nodes that answered its ArtPoll.
printf 'enabled = true\nip = 10.77.0.1\nalways_broadcast = true\n' >"$conf/ola-artnet.conf"
for plugin in dummy shownet espnet sandnet kinet pathport osc opendmx karate usbserial usbdmx \
              uartdmx stageprofi renard dmx4linux ftdidmx gpio spi milinst openpixelcontrol \
              nanoleaf; do
  printf 'enabled = false\n' >"$conf/ola-$plugin.conf"
done
chown -R nobody "$conf"
setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$conf" \
  olad -c "$conf" -l 2 --no-http --no-register-with-dns-sd >"$conf/olad.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  ola_dev_info 2>/dev/null | grep -q 'E1.31' && ola_dev_info | grep -q ArtNet && break
  sleep 0.1
done
device() { ola_dev_info | awk -v name="$1" '$0 ~ name { sub(":", "", $2); print $2; exit }'; }
e131=$(device 'E1.31')
artnet=$(device 'ArtNet')
[[ -n "$e131" && -n "$artnet" ]] || { cat "$conf/olad.log"; echo "olad has no E1.31 or Art-Net device"; exit 1; }
# OLA universes 1..3 out through both: E1.31 universes and Art-Net port addresses 1..3.
for u in 1 2 3; do
  ola_patch -d "$e131" -p $((u - 1)) -u "$u"
  ola_patch -d "$artnet" -p $((u - 1)) -u "$u"
done

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
exit "$status"
