// The firmware's figures on the rp2040js emulator (a benchmark: printed, not judged), with the
// test's harness and frames:
//   node rp2040_measure.js IMAGE.bin FRAMES_TOOL STRIP BAUD MAX_LEDS
// - busy: the share of cycles the core is not in WFI while frames arrive back to back;
// - latency: from a frame's last stop bit (over USB at 1 MB/s: its last packet in the device) to
//   the first rising edge on any output (the first SPI byte) on an idle controller, for a random
//   frame, and with a budget for full white (the budget binds) and a dim colour (it does not);
// - frames shown a second, back to back, beside the rate the line delivers (builds of 4096 LEDs).
const path = require('path');
const { execFileSync } = require('child_process');
const { frames, boot } = require('../tests/rp2040/run.js');
const { decodeParallel, decodeWs2812 } = require('../tests/rp2040/harness.js');

const [image, tool, strip, baud, maxLeds] = process.argv.slice(2);
const name = path.basename(image, '.bin');
const answers = (command) => execFileSync(tool, { input: `${command}\n` }).toString().trim().split('\n')
  .map((line) => Buffer.from(line.split(' ')[1] || '', 'hex'));
const [outputs, , , budget] = execFileSync(tool, { input: 'outputs\n' }).toString().split(' ').slice(1).map(Number);
// Over USB a packet every 64 us: 1 MB/s, about what full speed carries for a CDC device.
const kUsbPacketNs = 64e3;
const clocked = ['apa102', 'ws2801', 'lpd8806', 'p9813'].includes(strip);  // on SPI0
const rising = (pico) => (clocked ? pico.spi.length : pico.pinEdges.map((e) => e.length));
// When the strip first started after `mark` (rising()'s answer then), waiting 50 ms at the most.
function firstStart(pico, mark) {
  const started = () => {
    if (clocked) return pico.spi[mark] && pico.spi[mark][0];
    const times = pico.pinEdges.map((e, k) => e.slice(mark[k]).find((x) => x[1])).filter(Boolean).map((x) => x[0]);
    return times.length ? Math.min(...times) : undefined;
  };
  for (let waited = 0; started() === undefined && waited < 50e6; waited += 1e5) pico.run(1e5);
  return started();
}

function latency(pico, wire, usb) {
  pico.settle();
  const mark = rising(pico);
  let end;
  if (usb) {
    pico.sendUsb(wire, kUsbPacketNs);
    while (pico.usbWaiting === null || pico.cdc.txFIFO.itemCount > 0) pico.run(1e3);
    end = pico.usbLanded;
  } else {
    pico.send(wire);
    while (pico.queue.length !== 0) pico.run(1e4);
    end = pico.fedAt[pico.fedAt.length - 1];
  }
  return (firstStart(pico, mark) - end) / 1e3;
}

function measure(usb) {
  for (const leds of [300, 1000].filter((n) => n <= Number(maxLeds))) {
    const pico = boot(usb);
    if (usb) {
      const done = pico.mcu.usbCtrl.endpointReadDone.bind(pico.mcu.usbCtrl);
      pico.mcu.usbCtrl.endpointReadDone = (ep, buffer, delay) => {
        pico.usbLanded = pico.clock.nanos + 1e3 * (delay ?? pico.mcu.usbCtrl.readDelayMicroseconds);
        done(ep, buffer, delay);
      };
    }
    let share = '';
    if (!usb) {
      const sent = frames(['awa'], 8, leds, 1);
      const start = pico.clock.nanos;
      const busy = pico.busyNs;
      pico.send(Buffer.concat(sent.map((f) => f.wire)));
      while (pico.queue.length !== 0) pico.run(1e5);
      share = `busy ${(100 * (pico.busyNs - busy) / (pico.clock.nanos - start)).toFixed(1)} % of cycles; `;
    }
    const figures = [`latency ${latency(pico, frames(['awa'], 1, leds, 99)[0].wire, usb).toFixed(0)} us`];
    if (budget !== 0) {
      figures.push(`${latency(pico, answers(`solid ffffff ${leds}`)[0], usb).toFixed(0)} us white (the budget binds)`);
      figures.push(`${latency(pico, answers(`solid 202020 ${leds}`)[0], usb).toFixed(0)} us dim (it does not)`);
    }
    console.log(`${name}, ${leds} LEDs ${usb ? 'over USB' : `at ${baud} baud`}: ${share}${figures.join(', ')}`);
  }
}

// Back to back: the frames shown a second once the first is out, beside the line's frame rate.
function measureRate(leds) {
  const pico = boot(false);
  const sent = frames(['awa'], 10, leds, 3);
  pico.send(Buffer.concat(sent.map((f) => f.wire)));
  pico.settle();
  const shown = outputs > 1 ? decodeParallel(pico.pinEdges) : decodeWs2812(pico.edges);
  const fps = (shown.length - 1) / ((shown[shown.length - 1].start - shown[0].start) / 1e9);
  const line = Number(baud) / 10 / sent[0].wire.length;
  console.log(`${name}, ${leds} LEDs back to back on ${outputs} output${outputs > 1 ? 's' : ''}: ` +
              `${fps.toFixed(1)} frames shown a second; the line delivers ${line.toFixed(1)}`);
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
  console.log(`${name}, USB: ${(wire.length / ns * 1e3).toFixed(2)} MB/s host to firmware ` +
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
  console.log(`${name}, USB: busy ${(100 * (pico.busyNs - busy) / (pico.clock.nanos - start)).toFixed(1)} % at 60 frames a second of 1000 LEDs`);
}

if (Number(maxLeds) === 4096) {
  for (const leds of [1000, 4000]) measureRate(leds);
} else {
  measure(false);
  if (name === 'rp2040-ws2812' || name === 'rp2040-sk6812') measure(true);
  if (name === 'rp2040-ws2812') measureUsb();
}
process.exit(0);
