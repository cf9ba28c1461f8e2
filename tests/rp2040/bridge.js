// The firmware on the emulated RP2040 behind a serial port: bytes that arrive on TTY (one end of
// a pseudo-terminal pair) go to its UART at the line's rate, and what it answers goes back. Runs
// until the strip's pin shows the frame EXPECT (hex), or SECONDS pass (exit 1).
//   node bridge.js IMAGE BAUD TTY EXPECT SECONDS
const fs = require('fs');
const { Pico, decodeWs2812 } = require('./harness.js');

const [image, baud, tty, expectHex, seconds] = process.argv.slice(2);
const expect = Buffer.from(expectHex, 'hex');
const pico = new Pico(fs.readFileSync(image), { baud: Number(baud) });
pico.run(3e6);
const fd = fs.openSync(tty, fs.constants.O_RDWR | fs.constants.O_NONBLOCK | fs.constants.O_NOCTTY);
console.log(`bridge: the firmware booted, on ${tty}`);
const buffer = Buffer.alloc(4096);
const deadline = Date.now() + 1000 * Number(seconds);
let received = 0;
let answered = '';
while (Date.now() < deadline) {
  let n = 0;
  try {
    n = fs.readSync(fd, buffer);
  } catch (error) {
    if (error.code !== 'EAGAIN') throw error;
  }
  if (n > 0) {
    pico.send(buffer.subarray(0, n));
    received += n;
  }
  pico.run(n > 0 || pico.queue.length > 0 ? 2e5 : 2e6);
  if (pico.tx.length > 0) {
    const answer = Buffer.from(pico.tx);
    pico.tx = [];
    answered += answer.toString();
    fs.writeSync(fd, answer);
  }
  // The frames on the pin, once it has been low long enough to end the last one.
  const last = pico.edges[pico.edges.length - 1];
  const ended = last !== undefined && !last[1] && pico.clock.nanos - last[0] > 60e3;
  if (ended && decodeWs2812(pico.edges).some((frame) => frame.equals(expect))) {
    console.log(`bridge: ${received} bytes in, answered '${answered.trim()}'; the pin showed the ` +
                `path's output for the frame sent (${expect.length} bytes)`);
    process.exit(0);
  }
}
console.log(`bridge: ${received} bytes in, ${decodeWs2812(pico.edges).length} frames on the pin, ` +
            'none the frame expected');
process.exit(1);
