# olad in a private network namespace (unshare -n), sourced by the scripts that send with it: a
# virtual interface pair, 10.77.0.1 (vola0, olad's) and 10.77.0.2 (vola1); olad as nobody, with only
# its E1.31 and Art-Net plugins; OLA universes 1..3 patched out through both, as E1.31 universes
# and Art-Net port addresses 1..3. Leaves $conf (olad's folder, removed on exit), $pids (to kill on
# exit), $e131 and $artnet (olad's device numbers).
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

