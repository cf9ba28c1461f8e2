// Sends the frame net_receiver expects over E1.31 with the npm package `sacn`, used as a black
// box: universes FIRST .. FIRST + COUNT - 1, unicast to ADDRESS, raw levels (not percentages); to
// each universe's multicast group, from the interface with address IFACE, for multicast:IFACE.
//   node sacn_sender.js ADDRESS|multicast:IFACE FIRST COUNT
const { Sender } = require('sacn');

const level = (k, c) => (29 * k + 7 * c + 1) & 255;
const [address, first, count] = [process.argv[2], Number(process.argv[3]), Number(process.argv[4])];

async function main() {
  for (let k = 0; k < count; ++k) {
    const sender = new Sender({
      universe: first + k,
      // Binding to the E1.31 port beside a receiver on the same host needs reuseAddr.
      ...(address.startsWith('multicast:') ? { iface: address.slice(10), reuseAddr: true }
                                            : { useUnicastDestination: address }),
      defaultPacketOptions: { useRawDmxValues: true, sourceName: 'ledcolor test' },
    });
    const payload = {};
    for (let c = 1; c <= 512; ++c) {
      payload[c] = level(k, c);
    }
    await sender.send({ payload });
    sender.close();
  }
  console.log(`sacn: sent universes ${first}..${first + count - 1} to ${address}`);
}

main();
