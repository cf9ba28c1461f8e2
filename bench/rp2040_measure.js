// The firmware's figures on the rp2040js emulator (a benchmark: printed, not judged), with the
// test's harness and frames:
//   node rp2040_measure.js IMAGE.bin FRAMES_TOOL STRIP BAUD MAX_LEDS
// the share of cycles the core is busy (not in WFI) while frames arrive back to back, and the
// latency from a frame's last stop bit to the strip's first rising edge (first SPI byte) on an
// idle controller.
const path = require('path');
const { frames, boot } = require('../tests/rp2040/run.js');

const [image, , strip, baud] = process.argv.slice(2);
function measure() {
  for (const leds of [300, 1000]) {
    const pico = boot();
    const sent = frames(['awa'], 8, leds, 1);
    const start = pico.clock.nanos;
    const busy = pico.busyNs;
    pico.send(Buffer.concat(sent.map((f) => f.wire)));
    while (pico.queue.length !== 0) pico.run(1e5);
    const share = (pico.busyNs - busy) / (pico.clock.nanos - start);
    pico.settle();
    const one = frames(['awa'], 1, leds, 99)[0];
    const edges = pico.edges.length;
    const bytes = pico.spi.length;
    pico.send(one.wire);
    while (pico.queue.length !== 0) pico.run(1e4);
    const lastStop = pico.fedAt[pico.fedAt.length - 1];
    pico.run(5e6);
    const first = strip === 'apa102' ? pico.spi[bytes][0] : pico.edges.slice(edges).find((e) => e[1])[0];
    console.log(`${path.basename(image, '.bin')}, ${leds} LEDs at ${baud} baud: busy ${(100 * share).toFixed(1)} % of cycles; latency ${((first - lastStop) / 1e3).toFixed(0)} us`);
  }
}

measure();
process.exit(0);
