// Sends the frame net_receiver expects over E1.31 with the npm package `sacn`, used as a black
// box: universes FIRST .. FIRST + COUNT - 1, unicast to ADDRESS, raw levels (not percentages).
//   node sacn_sender.js ADDRESS FIRST COUNT
const { Sender } = require('sacn');

const level = (k, c) => (29 * k + 7 * c + 1) & 255;
const [address, first, count] = [process.argv[2], Number(process.argv[3]), Number(process.argv[4])];

async function main() {
  for (let k = 0; k < count; ++k) {
    const sender = new Sender({
      universe: first + k,
      useUnicastDestination: address,
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
