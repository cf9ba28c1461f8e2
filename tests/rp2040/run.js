// The firmware on an emulated RP2040, one build variant per run:
//   node run.js IMAGE.bin FRAMES_TOOL STRIP BAUD MAX_LEDS
// feeds the UART streams the library's encoders make (FRAMES_TOOL, built from the firmware's own
// path and options), reads back what reaches the strip, and checks that each frame shown is the
// path's output for one frame sent, in order, never torn; that back-to-back frames lose no byte
// and the newest wins; that noise never shows a wrong frame; that hello is answered and goodbye
// blanks; for the defaults, the same over USB, two inputs at once, and a port closed mid-frame.
const fs = require('fs');
const { execFileSync } = require('child_process');
const { Pico, decodeWs2812, decodeParallel, decodeSpi, getDescriptor, createSetupPacket } = require('./harness.js');

const [image, tool, strip, baud, maxLeds] = process.argv.slice(2);
// Asks the frames tool; returns its answers in order.
function ask(commands) {
  const out = execFileSync(tool, { input: commands.join('\n') + '\n', maxBuffer: 1 << 28 });
  return out.toString().trim().split('\n').map((line) => Buffer.from(line.split(' ')[1] || '', 'hex'));
}
function frames(kind, count, leds, seed) {
  const answers = ask(Array.from({ length: count }, (_, k) => `frame ${kind[k % kind.length]} ${leds} ${seed + k}`));
  return Array.from({ length: count }, (_, k) => ({ wire: answers[2 * k], expect: answers[2 * k + 1] }));
}
// The parallel outputs and the first one's pin, as the firmware's options have them.
const [outputs, dataPin] = execFileSync(tool, { input: 'outputs\n' }).toString().split(' ').slice(1, 3).map(Number);
function boot(usb) {
  const pico = new Pico(fs.readFileSync(image), { baud: Number(baud), dataPin, outputs });
  if (usb) pico.plugUsb();
  pico.run(usb ? 20e6 : 3e6);
  pico.statusToggles = 0;  // the pin's changes as the firmware makes it an output
  return pico;
}
// The clocked chips' frames from SPI0's bytes, a byte time and 5 us apart at most within a frame;
// the one-wire chips' (a WS2816's 48 bits an LED among them) from the data pin.
const clocked = ['apa102', 'ws2801', 'lpd8806', 'p9813'].includes(strip);
const byteNs = (pico) => 8e9 / pico.mcu.spi[0].clockFrequency;
const shown = (pico) => (clocked ? decodeSpi(pico.spi, byteNs(pico) + 5e3)
  : outputs > 1 ? decodeParallel(pico.pinEdges) : decodeWs2812(pico.edges));
// A WS2801 latches when its clock stays low 500 us: never less between two frames.
function checkPause(pico) {
  if (strip !== 'ws2801') return Infinity;
  let least = Infinity;
  for (let i = 1; i < pico.spi.length; i++) {
    const gap = pico.spi[i][0] - pico.spi[i - 1][0] - byteNs(pico);
    if (gap > 5e3) least = Math.min(least, gap);
  }
  check(least >= 500e3, `the clock low only ${least / 1e3} us between two WS2801 frames`);
  return least;
}
const check = (condition, what) => { if (!condition) throw new Error(what); };
// The frames shown must be some of the frames sent, each once and in order, the last among them.
function checkShown(pico, sent, what) {
  const seen = shown(pico);
  let next = 0;
  for (const frame of seen) {
    const at = sent.findIndex((f, k) => k >= next && f.expect.equals(frame));
    check(at >= 0, `${what}: a frame shown that is no frame sent, or out of order`);
    next = at + 1;
  }
  check(seen.length > 0 && seen[seen.length - 1].equals(sent[sent.length - 1].expect),
        `${what}: the newest frame is not the last shown`);
  return seen;
}
// Bytes to the firmware over the UART or, once plugged, over USB.
const sendOn = (pico, usb, bytes) => (usb ? pico.sendUsb(bytes) : pico.send(bytes));
function hello(pico, usb) {
  pico.tx = [];
  pico.usbIn = [];
  sendOn(pico, usb, ask(['request hello'])[0]);
  pico.settle(1e6);
  const line = Buffer.from(usb ? pico.usbIn : pico.tx).toString();
  const words = line.match(/^ledcolor-rp2040 \S+ (\S+) (\d+) shown (\d+) replaced (\d+) skipped (\d+) oversized (\d+) config built-in\r\n$/);
  check(words && words[1] === strip && words[2] === maxLeds && line.length <= 120, `hello answered '${line}'`);
  return { shown: Number(words[3]), replaced: Number(words[4]), oversized: Number(words[6]) };
}

// Back to back at the input's rate: every frame shown or replaced, no byte lost, the newest wins.
function backToBack(leds, usb) {
  const pico = boot(usb);
  const sent = frames(['awa', 'awA', 'AWa'], 6, leds, leds);
  sendOn(pico, usb, Buffer.concat(sent.map((f) => f.wire)));
  pico.settle();
  const seen = checkShown(pico, sent, `${leds} LEDs back to back`);
  const counts = hello(pico, usb);
  const pause = checkPause(pico);
  check(pico.lost === 0, `${pico.lost} bytes lost`);
  check(pico.statusToggles === seen.length, `the status LED toggled ${pico.statusToggles} times for ${seen.length} frames`);
  check(counts.shown === seen.length && counts.shown + counts.replaced === sent.length,
        `counted ${counts.shown} shown and ${counts.replaced} replaced of ${sent.length}`);
  console.log(`${leds} LEDs back to back ${usb ? 'over USB' : `at ${baud} baud`}: ${seen.length} of ${sent.length} shown, the rest replaced, none lost` +
              (pause < Infinity ? `; the clock low at least ${(pause / 1e3).toFixed(1)} us between frames` : ''));
}

// Noise: bit errors, dropped bytes and restarts between and inside frames never show a wrong
// frame; then goodbye blanks the strip with one dark frame of the last frame's length.
function noise(usb) {
  const pico = boot(usb);
  const sent = frames(['awa', 'awA'], 8, 60, 7);
  let rng = 12345;
  const random = (n) => ((rng = (rng * 1103515245 + 12345) >>> 0) >>> 8) % n;
  for (const [k, f] of sent.entries()) {
    const wire = Buffer.from(f.wire);
    if (k % 4 === 1) wire[random(wire.length)] ^= 1 << random(8);            // a bit error
    const cut = k % 4 === 2 ? random(wire.length) : -1;                       // a dropped byte
    if (k % 4 === 3) sendOn(pico, usb, wire.subarray(0, 20));                // a host restarting
    sendOn(pico, usb, Buffer.concat([Buffer.from([0, 0x41, 0x77]), cut < 0 ? wire : Buffer.concat([wire.subarray(0, cut), wire.subarray(cut + 1)])]));
    pico.settle(1e6);
  }
  const good = sent.filter((_, k) => k % 4 === 0 || k % 4 === 3);
  checkShown(pico, sent, 'noise');
  // A whole, valid frame of one LED more than the firmware holds: dropped, and counted.
  const before = shown(pico).length;
  sendOn(pico, usb, frames(['awa'], 1, Number(maxLeds) + 1, 9)[0].wire);
  pico.settle(1e6);
  check(shown(pico).length === before && hello(pico, usb).oversized === 1, 'an oversized frame was not dropped and counted');
  check(shown(pico).every((frame) => good.some((f) => f.expect.equals(frame))), 'noise showed a damaged frame');
  sendOn(pico, usb, ask(['request goodbye'])[0]);
  pico.settle();
  check(shown(pico).pop().equals(ask(['dark 60'])[0]), 'goodbye did not blank the strip');
  console.log(`noise${usb ? ' over USB' : ''}: ${shown(pico).length} frames shown, each one sent intact; goodbye blanks`);
}

// Over USB: the descriptors; two senders at once, the first holding the strip until it has been
// silent for 100 ms; a port closed mid-frame and opened again.
function usbInputs() {
  const pico = boot(true);
  check(pico.controlIn(getDescriptor(1, 0, 18)).subarray(8, 12).equals(Buffer.from([0x09, 0x12, 0x01, 0])),
        'the device descriptor is not VID 0x1209, PID 0x0001');
  check(pico.controlIn(getDescriptor(3, 2, 64)).subarray(2).toString('utf16le') === 'ledcolor-rp2040', 'product string');
  const a = frames(['awa'], 2, 50, 100);
  const b = frames(['awa'], 2, 50, 200);
  pico.send(a[0].wire);
  pico.sendUsb(b[0].wire);  // while the UART speaks: dropped
  pico.settle();
  pico.sendUsb(b[1].wire);  // the UART silent for less than 100 ms: dropped too
  pico.settle(1e6);
  pico.run(100e6);
  pico.sendUsb(b[1].wire);  // 100 ms on: USB takes over
  // The firmware looks at both inputs every 100 us at least, and takes the UART when both spoke
  // since it last looked: the UART starts once USB has been seen.
  pico.run(200e3);
  pico.send(a[1].wire);     // and the UART is dropped
  pico.settle();
  const seen = shown(pico);
  check(seen.length === 2 && seen[0].equals(a[0].expect) && seen[1].equals(b[1].expect), 'the inputs interleaved');
  // Closed mid-frame (DTR dropped), then opened again: the half frame never shows.
  const c = frames(['awa'], 2, 50, 300);
  pico.sendUsb(c[0].wire.subarray(0, 80));
  pico.run(1e6);  // the host's write done before it closes the port
  pico.controlIn(createSetupPacket({ dataDirection: 0, type: 1, recipient: 1, bRequest: 0x22, wValue: 0, wIndex: 0, wLength: 0 }));
  pico.controlIn(createSetupPacket({ dataDirection: 0, type: 1, recipient: 1, bRequest: 0x22, wValue: 3, wIndex: 0, wLength: 0 }));
  pico.sendUsb(c[0].wire.subarray(80));
  pico.sendUsb(c[1].wire);
  pico.settle();
  check(shown(pico).length === 3 && shown(pico)[2].equals(c[1].expect), 'a frame cut by a closed port was shown');
  console.log('USB: enumerated, descriptors read; two senders switch by the 100 ms rule; a closed port drops its half frame');
}

function run() {
  const big = Number(maxLeds) >= 1000 ? 1000 : Number(maxLeds);
  // 12 LEDs: the path takes almost no time, so the next frame starts as soon as the firmware
  // lets it, and the latch between them is the firmware's wait alone.
  for (const leds of [12, 300, big]) backToBack(leds, false);
  noise(false);
  if (strip === 'ws2812' || outputs > 1) {
    backToBack(300, true);
    noise(true);
  }
  if (strip === 'ws2812' && outputs === 1) usbInputs();
}

if (require.main !== module) {
  module.exports = { frames, boot };  // for bench/rp2040_measure.js
  return;
}
try {
  run();
} catch (error) {
  console.log(`FAILED: ${error.message}`);
  process.exit(1);
}
process.exit(0);
