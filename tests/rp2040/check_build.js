// A user's own build, checked on the emulated RP2040: boots the image, asks hello, sends one test
// frame, and prints what the strip's pin (or SPI0, for clocked strips) showed for its first LEDs.
// Fails unless that is the firmware's path output for the frame, as the build's own options make
// it (the frames tool is built from them).
//   node check_build.js IMAGE FRAMES_TOOL STRIP BAUD FORMAT MAX_LEDS DATA_PIN STATUS_PIN
const fs = require('fs');
const { execFileSync } = require('child_process');
const { Pico, decodeWs2812, decodeSpi } = require('./harness.js');

const [image, tool, strip, baud, format, maxLeds, dataPin, statusPin] = process.argv.slice(2);
const ask = (command) => execFileSync(tool, { input: `${command}\n` }).toString().trim().split('\n')
  .map((line) => Buffer.from(line.split(' ')[1] || '', 'hex'));

const pico = new Pico(fs.readFileSync(image), {
  baud: Number(baud), dataPin: Number(dataPin), statusPin: statusPin === 'none' ? -1 : Number(statusPin),
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
const leds = Math.min(Number(maxLeds), 16);
const [wire, expect] = ask(`frame ${format} ${leds} 2024`);
pico.send(wire);
pico.settle();
const clocked = ['apa102', 'ws2801', 'lpd8806', 'p9813'].includes(strip);
const shown = clocked ? decodeSpi(pico.spi, 8e9 / pico.mcu.spi[0].clockFrequency + 5e3)
                      : decodeWs2812(pico.edges);
const frame = shown[shown.length - 1] || Buffer.alloc(0);
const colours = wire.subarray(6, 6 + 3 * leds);
const per = expect.length / leds;
for (let i = 0; i < Math.min(leds, 8); i++) {
  const sent = colours.subarray(3 * i, 3 * i + 3).toString('hex');
  const pin = frame.subarray(Math.floor(per * i), Math.floor(per * (i + 1))).toString('hex');
  console.log(`LED ${i}: sent ${sent}, ${clocked ? 'SPI0' : `GP${dataPin}`} showed ${pin || '(nothing)'}`);
}
ok = ok && frame.equals(expect);
console.log(ok ? `OK: the ${strip} build showed the path's output for a ${leds}-LED frame`
               : `FAILED: the pin did not show the path's output (${frame.length} bytes, ${expect.length} expected)`);
process.exit(ok ? 0 : 1);
