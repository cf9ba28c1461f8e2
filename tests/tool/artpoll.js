// Polls an Art-Net node as a show program does (ArtPoll, Art-Net 4) and prints what its
// ArtPollReply packets list: the node's short name and each output port address. Exits 1 when no
// reply comes within a second.
//   node artpoll.js ADDRESS
const dgram = require('dgram');

const socket = dgram.createSocket('udp4');
const poll = Buffer.from([...Buffer.from('Art-Net\0'), 0x00, 0x20, 0, 14, 0x00, 0x00]);
const ports = [];
let name = null;
socket.on('message', (reply) => {
  if (reply.length < 212 || reply.toString('latin1', 0, 8) !== 'Art-Net\0' ||
      reply.readUInt16LE(8) !== 0x2100) return;
  name = reply.toString('latin1', 26, 44).replace(/\0.*$/, '');
  const count = reply[173];
  for (let i = 0; i < count; ++i) {
    if (reply[174 + i] & 0x80) ports.push((reply[18] << 8) | (reply[19] << 4) | reply[190 + i]);
  }
});
socket.bind(0, () => socket.send(poll, 6454, process.argv[2]));
setTimeout(() => {
  socket.close();
  if (name === null) {
    console.log('artpoll: no reply');
    process.exit(1);
  }
  console.log(`artpoll: node "${name}", output port addresses ${ports.sort((a, b) => a - b).join(',')}`);
}, 1000);
