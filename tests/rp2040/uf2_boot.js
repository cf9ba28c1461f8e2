// A UF2 that `ledcolor uf2 set` wrote, booted on the emulated RP2040: the firmware must take the
// option block's options (hello says `config flash`, its strip and LEDs; every output's pin shows
// the path's output under those options, the budget included), and with one byte of the block
// changed, ignore it whole and run as built (`config built-in`).
//   node uf2_boot.js SET.uf2 FRAMES_TOOL
// FRAMES_TOOL is the default build's frames tool: with --block it makes the frames for the block.
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { Pico, decodeWs2812, decodeParallel } = require('./harness.js');

const [uf2File, tool] = process.argv.slice(2);
const kBlockAddress = 0x100ff000;
const check = (condition, what) => { if (!condition) throw new Error(what); };

// The flash image the UF2's blocks make, from 0x10000000.
function flashOf(uf2) {
  const image = Buffer.alloc(kBlockAddress - 0x10000000 + 4096, 0xff);
  for (let at = 0; at < uf2.length; at += 512) {
    const address = uf2.readUInt32LE(at + 12);
    const size = uf2.readUInt32LE(at + 16);
    uf2.copy(image, address - 0x10000000, at + 32, at + 32 + size);
  }
  return image;
}

function run(image, blockFile) {
  const ask = (commands) => execFileSync(tool, blockFile ? ['--block', blockFile] : [],
    { input: commands.join('\n') + '\n', maxBuffer: 1 << 26 }).toString().trim().split('\n');
  const [outputs, dataPin] = ask(['outputs'])[0].split(' ').slice(1, 3).map(Number);
  const pico = new Pico(image, { baud: 2000000, dataPin, outputs });
  pico.run(3e6);
  pico.send(Buffer.from(ask(['request hello'])[0].split(' ')[1], 'hex'));
  pico.settle(1e6);
  const hello = Buffer.from(pico.tx).toString().trim();
  // A random frame and full white (where a budget binds), as many LEDs as the options take.
  const leds = Number(hello.split(' ')[3]);
  const answers = ask([`frame awa ${leds} 7`, `solid ffffff ${leds}`]);
  const hex = (k) => Buffer.from(answers[k].split(' ')[1], 'hex');
  const sent = [{ wire: hex(0), expect: hex(1) }, { wire: hex(2), expect: hex(3) }];
  for (const f of sent) {
    pico.send(f.wire);
    pico.settle();
  }
  const shown = outputs > 1 ? decodeParallel(pico.pinEdges) : decodeWs2812(pico.edges);
  const ok = shown.length === 2 && shown.every((f, k) => f.equals(sent[k].expect));
  return { hello, outputs, leds, ok };
}

const uf2 = fs.readFileSync(uf2File);
const image = flashOf(uf2);
const blockFile = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'uf2-')), 'block.bin');
fs.writeFileSync(blockFile, image.subarray(kBlockAddress - 0x10000000));
try {
  const set = run(image, blockFile);
  check(/ config flash$/.test(set.hello), `with the block, hello said '${set.hello}'`);
  check(set.ok, `with the block, the ${set.outputs} outputs did not show the path's output`);
  console.log(`block: '${set.hello}'; ${set.outputs} outputs showed the path's output for ${set.leds} LEDs (random, white)`);
  image[kBlockAddress - 0x10000000 + 100] ^= 1;  // one byte of the block's payload
  const built = run(image, null);
  check(/ config built-in$/.test(built.hello), `with a damaged block, hello said '${built.hello}'`);
  check(built.ok, 'with a damaged block, the built-in options did not apply');
  console.log(`one byte changed: '${built.hello}'; the built-in options apply`);
} catch (error) {
  console.log(`FAILED: ${error.message}`);
  process.exit(1);
}
