// A user's own build, checked on the emulated RP2040: boots the image, asks hello, sends one test
// frame sized to the outputs, and prints what each output's pin (or SPI0, for clocked strips)
// showed for its first LEDs. Fails unless that is the firmware's path output for the frame, as the
// build's own options make it (the frames tool is built from them).
//   node check_build.js IMAGE FRAMES_TOOL STRIP BAUD FORMAT MAX_LEDS DATA_PIN STATUS_PIN
const fs = require('fs');
const { execFileSync } = require('child_process');
const { Pico, decodeWs2812, decodeParallel, decodeSpi } = require('./harness.js');

const [image, tool, strip, baud, format, maxLeds, dataPin, statusPin] = process.argv.slice(2);
const answers = (command) => execFileSync(tool, { input: `${command}\n` }).toString().trim().split('\n');
const ask = (command) => answers(command).map((line) => Buffer.from(line.split(' ')[1] || '', 'hex'));
// The outputs, and the LEDs of a frame that reaches every one: the segments' sum, or 4 an output.
const [outputs, , segmented] = answers('outputs')[0].split(' ').slice(1).map(Number);
const pin = Number(dataPin);

const pico = new Pico(fs.readFileSync(image), {
  baud: Number(baud), dataPin: pin, outputs, statusPin: statusPin === 'none' ? -1 : Number(statusPin),
});
pico.run(3e6);
let ok = true;
if (format === 'awa') {
  pico.send(ask('request hello')[0]);
  pico.settle(1e6);
  const line = Buffer.from(pico.tx).toString().trim();
  console.log(`hello: ${line || '(no answer)'}`);
  ok = ok && line.startsWith('ledcolor-rp2040 ');
}
const leds = Math.min(Number(maxLeds), segmented || (outputs > 1 ? 4 * outputs : 16));
const [wire, expect] = ask(`frame ${format} ${leds} 2024`);
pico.send(wire);
pico.settle();
const clocked = ['apa102', 'ws2801', 'lpd8806', 'p9813'].includes(strip);
const shown = clocked ? decodeSpi(pico.spi, 8e9 / pico.mcu.spi[0].clockFrequency + 5e3)
  : outputs > 1 ? decodeParallel(pico.pinEdges) : decodeWs2812(pico.edges);
const frame = shown[shown.length - 1] || Buffer.alloc(0);
// Each output's part of the frame (its LEDs, then dark slots): the first LEDs it showed.
const colours = wire.subarray(6, 6 + 3 * leds);
const part = expect.length / outputs;
const split = answers(`split ${leds}`)[0].split(' ').slice(1).map(Number);
for (let k = 0; k < outputs; k++) {
  const per = expect.length / outputs / split[2 * outputs];
  for (let i = 0; i < Math.min(split[2 * k + 1], 4); i++) {
    const led = split[2 * k] + i;
    const sent = colours.subarray(3 * led, 3 * led + 3).toString('hex');
    const bytes = frame.subarray(k * part + per * i, k * part + per * (i + 1)).toString('hex');
    console.log(`LED ${led}: sent ${sent}, ${clocked ? 'SPI0' : `GP${pin + k}`} showed ${bytes || '(nothing)'}`);
  }
}
ok = ok && frame.equals(expect);
console.log(ok ? `OK: the ${strip} build showed the path's output for a ${leds}-LED frame` +
                 (outputs > 1 ? ` on ${outputs} outputs` : '')
               : `FAILED: the pins did not show the path's output (${frame.length} bytes, ${expect.length} expected)`);
process.exit(ok ? 0 : 1);
