// Sends the frame net_receiver expects over Art-Net with the npm package `dmxnet`, used as a black
// box: port addresses FIRST .. FIRST + COUNT - 1, unicast to ADDRESS. dmxnet counts channels from 0,
// sends an all-zero frame when a sender is made, and repeats every second; the receiver must find
// the frame among them.
//   node dmxnet_sender.js ADDRESS FIRST COUNT
const dmxlib = require('dmxnet');

const level = (k, c) => (29 * k + 7 * c + 1) & 255;
const [address, first, count] = [process.argv[2], Number(process.argv[3]), Number(process.argv[4])];

const dmxnet = new dmxlib.dmxnet({ log: { level: 'error' }, hosts: [address] });
const senders = [];
for (let k = 0; k < count; ++k) {
  const port = first + k;
  senders.push(dmxnet.newSender({
    ip: address, net: port >> 8, subnet: (port >> 4) & 15, universe: port & 15,
  }));
}
senders.forEach((sender, k) => {
  for (let c = 0; c < 512; ++c) {
    sender.prepChannel(c, level(k, c + 1));
  }
  sender.transmit();
});
console.log(`dmxnet: sent port addresses ${first}..${first + count - 1} to ${address}`);
setTimeout(() => process.exit(0), 2500);  // one repeat, then done
