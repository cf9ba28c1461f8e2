// Receives Art-Net with the npm package `dmxnet`, used as a black box, and succeeds once port
// addresses FIRST .. FIRST + COUNT - 1 have each brought exactly the levels net_sender sends for
// LEDS LEDs: byte i of the row is (7 i + 3) mod 256, 510 bytes a universe.
//   node dmxnet_receiver.js FIRST COUNT LEDS SECONDS
const dmxlib = require('dmxnet');
const { expectUniverses } = require('./expected_levels.js');

const [first, count, leds, seconds] = process.argv.slice(2).map(Number);
const expected = expectUniverses('dmxnet', first, count, leds);
const dmxnet = new dmxlib.dmxnet({ log: { level: 'error' } });
for (let k = 0; k < count; ++k) {
  const port = first + k;
  const receiver = dmxnet.newReceiver({ net: port >> 8, subnet: (port >> 4) & 15, universe: port & 15 });
  // dmxnet keeps all 512 channels; the levels sent are the first of them.
  receiver.on('data', (values) => expected.got(port, Buffer.from(values), 'ArtDmx'));
}
const stop = () => setTimeout(() => process.exit(expected.passed() ? 0 : 1), 100);
expected.onDone(stop);
expected.deadline(seconds, stop);
console.log(`dmxnet: listening for port addresses ${first}..${first + count - 1}`);
