// What the receivers of net_sender's frame expect, and how they report it: universe k (from 0) of
// the frame holds the row's bytes 510 k .. 510 k + 509, byte i being (7 i + 3) mod 256. A receiver
// that keeps all 512 channels of a universe (dmxnet) may hold more: only the levels sent count.
function expectUniverses(name, first, count, leds) {
  const row = Array.from({ length: 3 * leds }, (_, i) => (7 * i + 3) & 255);
  const pending = new Map();
  for (let k = 0; k < count; ++k) {
    pending.set(first + k, row.slice(510 * k, 510 * (k + 1)));
  }
  let done = () => {};
  let last = '';
  return {
    // `exact`: the receiver hands out the levels the packet carried, no more.
    got(universe, levels, how, exact) {
      const want = pending.get(universe);
      if (!want || !levels) {
        return;
      }
      const same = want.every((v, i) => levels[i] === v) && (!exact || levels.length === want.length);
      last = `${name}: universe ${universe} (${how}): ${same ? 'as sent' : 'differs'}`;
      if (same) {
        console.log(`${name}: universe ${universe}: the ${want.length} levels sent (${how})`);
        pending.delete(universe);
        if (pending.size === 0) {
          done();
        }
      }
    },
    passed: () => pending.size === 0,
    onDone(callback) {
      done = () => {
        console.log(`${name}: every universe holds exactly the levels sent`);
        callback();
      };
    },
    deadline(seconds, callback) {
      setTimeout(() => {
        if (pending.size !== 0) {
          console.log(`${name}: still waiting for ${[...pending.keys()].join(', ')}; ${last}`);
          process.exitCode = 1;
          callback();
        }
      }, seconds * 1000).unref();
    },
  };
}

module.exports = { expectUniverses };
