// The firmware's figures on the rp2040js emulator (a benchmark: printed, not judged), with the
// test's harness and frames:
//   node rp2040_measure.js IMAGE.bin FRAMES_TOOL STRIP BAUD MAX_LEDS
// the share of cycles the core is busy (not in WFI) while frames arrive back to back, and the
// latency from a frame's last stop bit to the strip's first rising edge (first SPI byte) on an
// idle controller.
const path = require('path');
const { frames, boot } = require('../tests/rp2040/run.js');

const [image, , strip, baud] = process.argv.slice(2);
const clocked = ['apa102', 'ws2801', 'lpd8806', 'p9813'].includes(strip);  // on SPI0
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
    // Until the strip starts, 50 ms at the most (a 16-bit path on 1000 LEDs takes some 10).
    const started = () => (clocked ? pico.spi[bytes] : pico.edges.slice(edges).find((e) => e[1]));
    for (let waited = 0; !started() && waited < 50e6; waited += 1e6) pico.run(1e6);
    const first = started()[0];
    console.log(`${path.basename(image, '.bin')}, ${leds} LEDs at ${baud} baud: busy ${(100 * share).toFixed(1)} % of cycles; latency ${((first - lastStop) / 1e3).toFixed(0)} us`);
  }
}

// Over USB (the defaults only): the throughput host to strip in simulated time, bounded by the
// emulator's fixed delays a transaction, and the busy share at 60 frames a second of 1000 LEDs
// and back to back.
function measureUsb() {
  const pico = boot(true);
  const usb = pico.mcu.usbCtrl;
  const sent = frames(['awa'], 20, 1000, 5);
  const wire = Buffer.concat(sent.map((f) => f.wire));
  let start = pico.clock.nanos;
  let busy = pico.busyNs;
  pico.sendUsb(wire);
  const ns = pico.clock.nanos - start;
  console.log(`${path.basename(image, '.bin')}, USB: ${(wire.length / ns * 1e3).toFixed(2)} MB/s host to firmware ` +
              `(emulator delays: ${usb.readDelayMicroseconds} us a read, ${usb.writeDelayMicroseconds} us a write, ` +
              `${usb.hostTransactionDelayMicroseconds} us a transaction); busy ${(100 * (pico.busyNs - busy) / ns).toFixed(1)} % back to back`);
  pico.settle();
  start = pico.clock.nanos;
  busy = pico.busyNs;
  for (const f of sent.slice(0, 10)) {
    const due = pico.clock.nanos + 1e9 / 60;
    pico.sendUsb(f.wire);
    pico.run(due - pico.clock.nanos);
  }
  console.log(`${path.basename(image, '.bin')}, USB: busy ${(100 * (pico.busyNs - busy) / (pico.clock.nanos - start)).toFixed(1)} % at 60 frames a second of 1000 LEDs`);
}

measure();
if (strip === 'ws2812' && path.basename(image) === 'rp2040-ws2812.bin') measureUsb();
process.exit(0);
