// Receives E1.31 with the npm package `sacn`, used as a black box, and succeeds once universes
// FIRST .. FIRST + COUNT - 1 have each brought exactly the levels net_sender sends for LEDS LEDs:
// byte i of the row is (7 i + 3) mod 256, 510 bytes a universe.
//   node sacn_receiver.js FIRST COUNT LEDS SECONDS
const { Receiver } = require('sacn');
const { expectUniverses } = require('./expected_levels.js');

const [first, count, leds, seconds] = process.argv.slice(2).map(Number);
const universes = Array.from({ length: count }, (_, k) => first + k);
const expected = expectUniverses('sacn', first, count, leds);
const receiver = new Receiver({ universes, reuseAddr: true });
receiver.on('packet', (packet) => {
  expected.got(packet.universe, packet.payloadAsBuffer, `sync address ${packet.syncUniverse}`, true);
});
receiver.on('error', (error) => console.log(`sacn: ${error}`));
expected.onDone(() => receiver.close());
expected.deadline(seconds, () => receiver.close());
console.log(`sacn: listening for universes ${universes.join(', ')}`);
