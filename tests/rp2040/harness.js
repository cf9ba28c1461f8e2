// An RP2040 running the firmware in the npm package rp2040js, used as a black box: one time line
// for the core, the clock's alarms and PIO, the UART fed at the line's byte time, and what reaches
// the strip read back from the data pin's edges (or SPI0's bytes).
// Not found: npm ci beside this folder's package-lock.json, in a folder of its own, and NODE_PATH
// at its node_modules (the README's commands).
const { Simulator, ConsoleLogger, LogLevel, USBCDC, createSetupPacket } = require('rp2040js');

const kSysNs = 8;  // a cycle at 125 MHz
const kUartRxDreq = 21;

class Pico {
  constructor(image, { baud, dataPin = 2, outputs = 1, statusPin = 25 }) {
    const sim = new Simulator();
    this.clock = sim.clock;
    this.mcu = sim.rp2040;
    this.mcu.logger = new ConsoleLogger(LogLevel.Error);
    this.mcu.flash.set(image, 0);
    // As the bootrom leaves it: boot2's first instruction, the stack at the top of SRAM.
    this.mcu.core.PC = 0x10000000;
    this.mcu.core.SP = 0x20042000;
    this.mcu.core.LR = 0;
    this.byteNs = 1e10 / baud;
    this.queue = [];
    this.lost = 0;
    this.fedAt = [];  // when each byte's stop bit ended
    this.busyNs = 0;
    this.tx = [];
    this.edges = [];
    this.spi = [];
    const uart = this.mcu.uart[0];
    uart.onByte = (b) => this.tx.push(b);
    // The UART asks for DMA while its receive FIFO holds bytes (the emulator never does).
    const read = uart.readUint32.bind(uart);
    uart.readUint32 = (offset) => {
      const value = read(offset);
      if (offset === 0 && (uart.flags & 0x10) !== 0) this.mcu.dma.clearDREQ(kUartRxDreq);
      return value;
    };
    this.feeder = this.clock.createAlarm(() => this.feedNext());
    // Each output's pin: its edges, at the state machine's time when it made them.
    this.pinEdges = Array.from({ length: outputs }, (_, k) => {
      const edges = [];
      this.mcu.gpio[dataPin + k].addListener((state) =>
        edges.push([this.stepping ? this.smNs : this.clock.nanos, state === 1]));
      return edges;
    });
    this.edges = this.pinEdges[0];
    this.statusToggles = 0;
    if (statusPin >= 0) this.mcu.gpio[statusPin].addListener(() => this.statusToggles++);
    const spi = this.mcu.spi[0];
    this.spiDone = this.clock.createAlarm(() => spi.completeTransmit(0));
    spi.onTransmit = (value) => {
      this.spi.push([this.clock.nanos, value]);
      this.spiDone.schedule(8e9 / spi.clockFrequency);
    };
    // PIO runs on this time line only: its own runner steps it from a host timer.
    for (const pio of this.mcu.pio) pio.run = () => {};
    this.smNs = 0;
  }

  // The emulator's USB host for CDC, plugged in. It answers every armed OUT buffer at once, with
  // an empty packet when it has nothing; held back here until it has bytes, as a real host does.
  plugUsb() {
    const usb = this.mcu.usbCtrl;
    this.cdc = new USBCDC(usb);
    this.usbIn = [];
    this.cdc.onSerialData = (bytes) => this.usbIn.push(...bytes);
    const read = usb.onEndpointRead;
    usb.onEndpointRead = (ep, count) => {
      if (ep !== 0 && this.cdc.txFIFO.empty) this.usbWaiting = [ep, count];
      else read(ep, count);
    };
    this.usbDeliver = () => {
      if (this.usbWaiting && !this.cdc.txFIFO.empty) read(...this.usbWaiting.splice(0));
      this.usbWaiting = this.usbWaiting?.length ? this.usbWaiting : null;
    };
    const write = usb.onEndpointWrite;
    usb.onEndpointWrite = (ep, buffer) => {
      if (ep === 0) this.ep0.push(...buffer);
      write(ep, buffer);
    };
    this.ep0 = [];
    return this.cdc;
  }

  // Sends bytes over USB, a packet's worth at a time as the host takes them, or one every
  // `packetNs` at the most (the emulator's host runs faster than full speed's 1 MB/s or so).
  sendUsb(bytes, packetNs = 0) {
    for (let at = 0, due = this.clock.nanos; at < bytes.length; at += 64) {
      while (this.cdc.txFIFO.itemCount > 0 || this.clock.nanos < due) this.run(Math.max(1e3, Math.min(2e4, due - this.clock.nanos)));
      due = this.clock.nanos + packetNs;
      for (const b of bytes.subarray(at, at + 64)) this.cdc.sendSerialByte(b);
      this.usbDeliver();
    }
  }

  // A setup packet on endpoint 0, and what the device answers in its data stage.
  controlIn(packet) {
    this.ep0 = [];
    this.mcu.usbCtrl.sendSetupPacket(packet);
    this.run(2e6);
    return Buffer.from(this.ep0);
  }

  // Queues bytes for the line, sent back to back at the byte time.
  send(bytes) {
    const idle = this.queue.length === 0;
    this.queue.push(...bytes);
    if (idle) this.feeder.schedule(this.byteNs);
  }

  feedNext() {
    const uart = this.mcu.uart[0];
    if ((uart.flags & 0x40) !== 0) {
      this.lost++;  // the FIFO is full: the byte is lost, as on the chip
    } else {
      uart.feedByte(this.queue[0]);
      this.mcu.dma.setDREQ(kUartRxDreq);
    }
    this.fedAt.push(this.clock.nanos);
    this.queue.shift();
    if (this.queue.length !== 0) this.feeder.schedule(this.byteNs);
  }

  // Runs for `ns` of simulated time.
  run(ns) {
    const end = this.clock.nanos + ns;
    const core = this.mcu.core;
    const sm = this.mcu.pio[0].machines[0];
    while (this.clock.nanos < end) {
      // WFI wakes for an interrupt that became pending while masked, as the chip's does.
      if (core.waiting && (core.pendingInterrupts & core.enabledInterrupts) !== 0) core.waiting = false;
      let dt;
      if (!core.waiting) {
        const cycles = core.cycles;
        this.mcu.step();
        dt = (core.cycles - cycles) * kSysNs;
        this.busyNs += dt;
      } else {
        dt = Math.max(kSysNs, Math.min(this.clock.nanosToNextAlarm, end - this.clock.nanos));
        if (sm.enabled) dt = Math.max(kSysNs, Math.min(dt, this.smNs - this.clock.nanos));
      }
      this.clock.tick(dt);
      // The state machine runs an instruction a step, its delay included in the cycles it takes:
      // each starts at the state machine's own time, which its pins' edges carry.
      if (!sm.enabled) this.smNs = this.clock.nanos;
      while (sm.enabled && this.smNs <= this.clock.nanos) {
        const cycles = sm.cycles;
        this.stepping = true;
        sm.step();
        this.mcu.pio[0].checkChangedPins();
        this.stepping = false;
        this.smNs += Math.max(1, sm.cycles - cycles) * sm.clockDivInt * kSysNs;
      }
    }
  }

  // Runs until the line has sent everything and then `quietNs` pass with no new edge or SPI byte.
  settle(quietNs = 6e6) {
    while (this.queue.length !== 0) this.run(1e5);
    for (let seen = -1; seen !== this.edges.length + this.spi.length;) {
      seen = this.edges.length + this.spi.length;
      this.run(quietNs);
    }
  }
}

// WS2812 frames from the data pin's edges: each bit's high time 0.25-0.45 us (a 0) or 0.65-0.90 us
// (a 1), the bit period 1.20-1.30 us, a frame ended by 50 us low and the next one at least 300 us
// after it. Throws at the first edge that breaks these.
function decodeWs2812(edges) {
  const frames = [];
  let bits = [];
  let lastRise = null;
  let frameEnd = null;
  let start = null;
  for (let i = 0; i + 1 < edges.length; i++) {
    const [t, high] = edges[i];
    if (!high) continue;
    const width = edges[i + 1][0] - t;
    if (lastRise !== null && t - lastRise > 50e3) {
      frames.push({ bits, end: frameEnd, start });
      start = t;
      bits = [];
      if (t - frameEnd < 300e3) throw new Error(`only ${(t - frameEnd) / 1e3} us low between frames`);
    } else if (lastRise !== null && (t - lastRise < 1200 || t - lastRise > 1300)) {
      throw new Error(`a bit period of ${t - lastRise} ns at ${t} ns`);
    }
    if (start === null) start = t;
    if (width >= 250 && width <= 450) bits.push(0);
    else if (width >= 650 && width <= 900) bits.push(1);
    else throw new Error(`a high time of ${width} ns at ${t} ns`);
    lastRise = t;
    frameEnd = edges[i + 1][0];
  }
  if (bits.length !== 0) frames.push({ bits, end: frameEnd, start });
  return frames.map(({ bits: b, start }) => {
    if (b.length % 8 !== 0) throw new Error(`a frame of ${b.length} bits`);
    return Object.assign(Buffer.from(Array.from({ length: b.length / 8 }, (_, k) =>
      b.slice(8 * k, 8 * k + 8).reduce((v, bit) => (v << 1) | bit, 0))), { start });
  });
}

// Parallel outputs' frames: each pin decoded, the same number of frames on each, every frame's
// first bit within one bit period of the others'; a frame is the outputs' bytes one after another.
function decodeParallel(pinEdges) {
  const each = pinEdges.map(decodeWs2812);
  return each[0].map((frame, f) => {
    const parts = each.map((frames, k) => {
      if (frames.length !== each[0].length) throw new Error(`output ${k} showed ${frames.length} frames, output 0 ${each[0].length}`);
      if (Math.abs(frames[f].start - frame.start) >= 1250) throw new Error(`output ${k} started frame ${f} ${frames[f].start - frame.start} ns after output 0`);
      return frames[f];
    });
    return Object.assign(Buffer.concat(parts), { start: frame.start });
  });
}

// SPI frames: bytes more than `gapNs` apart (5 us by default) belong to different frames.
function decodeSpi(bytes, gapNs = 5e3) {
  const frames = [];
  let last = -Infinity;
  for (const [t, value] of bytes) {
    if (t - last > gapNs) frames.push([]);
    frames[frames.length - 1].push(value);
    last = t;
  }
  return frames.map((f) => Buffer.from(f));
}

// GET_DESCRIPTOR of a kind (1 device, 3 string) and index.
const getDescriptor = (kind, index, length) => createSetupPacket({
  dataDirection: 1, type: 0, recipient: 0, bRequest: 6, wValue: (kind << 8) | index, wIndex: 0x0409,
  wLength: length,
});

module.exports = { Pico, decodeWs2812, decodeParallel, decodeSpi, getDescriptor, createSetupPacket };
