// The firmware on an emulated RP2040, one build variant per run:
//   node run.js IMAGE.bin FRAMES_TOOL STRIP BAUD MAX_LEDS
// feeds the UART streams the library's encoders make (FRAMES_TOOL, built from the firmware's own
// path and options), reads back what reaches the strip, and checks that each frame shown is the
// path's output for one frame sent, in order, never torn; that back-to-back frames lose no byte
// and the newest wins; that noise never shows a wrong frame; that hello is answered and goodbye
// blanks.
const fs = require('fs');
const { execFileSync } = require('child_process');
const { Pico, decodeWs2812, decodeSpi } = require('./harness.js');

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
function boot() {
  const pico = new Pico(fs.readFileSync(image), { baud: Number(baud) });
  return pico.run(3e6), pico;
}
const shown = (pico) => (strip === 'apa102' ? decodeSpi(pico.spi) : decodeWs2812(pico.edges));
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
function hello(pico) {
  pico.tx = [];
  pico.send(ask(['request hello'])[0]);
  pico.settle(1e6);
  const line = Buffer.from(pico.tx).toString();
  const words = line.match(/^ledcolor-rp2040 \S+ (\S+) (\d+) shown (\d+) replaced (\d+) skipped (\d+)\r\n$/);
  check(words && words[1] === strip && words[2] === maxLeds && line.length <= 120, `hello answered '${line}'`);
  return { shown: Number(words[3]), replaced: Number(words[4]) };
}

function run() {
  const big = Number(maxLeds) >= 1000 ? 1000 : Number(maxLeds);
  // Back to back at the line's rate: every frame shown or replaced, no byte lost, the newest wins.
  for (const leds of [300, big]) {
    const pico = boot();
    const sent = frames(['awa', 'awA', 'AWa'], 6, leds, leds);
    pico.send(Buffer.concat(sent.map((f) => f.wire)));
    pico.settle();
    const seen = checkShown(pico, sent, `${leds} LEDs back to back`);
    const counts = hello(pico);
    check(pico.lost === 0, `${pico.lost} bytes lost`);
    check(counts.shown === seen.length && counts.shown + counts.replaced === sent.length,
          `counted ${counts.shown} shown and ${counts.replaced} replaced of ${sent.length}`);
    console.log(`${leds} LEDs back to back at ${baud} baud: ${seen.length} of ${sent.length} shown, the rest replaced, none lost`);
  }
  // Noise: bit errors, dropped bytes and restarts between and inside frames never show a wrong
  // frame; then goodbye blanks the strip with one dark frame of the last frame's length.
  const pico = boot();
  const sent = frames(['awa', 'awA'], 8, 60, 7);
  let rng = 12345;
  const random = (n) => ((rng = (rng * 1103515245 + 12345) >>> 0) >>> 8) % n;
  for (const [k, f] of sent.entries()) {
    const wire = Buffer.from(f.wire);
    if (k % 4 === 1) wire[random(wire.length)] ^= 1 << random(8);            // a bit error
    const cut = k % 4 === 2 ? random(wire.length) : -1;                       // a dropped byte
    if (k % 4 === 3) pico.send(wire.subarray(0, 20));                        // a host restarting
    pico.send(Buffer.concat([Buffer.from([0, 0x41, 0x77]), cut < 0 ? wire : Buffer.concat([wire.subarray(0, cut), wire.subarray(cut + 1)])]));
    pico.settle(1e6);
  }
  const good = sent.filter((_, k) => k % 4 === 0 || k % 4 === 3);
  checkShown(pico, sent, 'noise');
  check(shown(pico).every((frame) => good.some((f) => f.expect.equals(frame))), 'noise showed a damaged frame');
  pico.send(ask(['request goodbye'])[0]);
  pico.settle();
  const last = shown(pico).pop();
  check(last.equals(ask(["dark 60"])[0]), `goodbye did not blank the strip: the last frame shown has ${last.length} bytes, ${last.slice(0, 6).toString("hex")}`);
  console.log(`noise: ${shown(pico).length} frames shown, each one sent intact; goodbye blanks`);
}

if (require.main !== module) {
  module.exports = { frames, boot };
  return;
}
try {
  run();
} catch (error) {
  console.log(`FAILED: ${error.message}`);
  process.exit(1);
}
process.exit(0);
