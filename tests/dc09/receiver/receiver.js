#!/usr/bin/env node
// An alarm receiving centre's SIA DC-09 receiver for the recorder's
// whole-path tests: a receiver written by others (iobroker.sia), run outside
// its host framework, so the recorder's frames, encryption and answers are
// judged by a peer that shares no code with it.
//
//   node receiver.js --protocol tcp|udp [--port N] --account HEX
//                    [--key HEX | --key-text TEXT] [--sockend]
//                    [--ahead SECONDS] [--timeout SECONDS]
//
// One JSON line per happening on standard output, each written at once:
//   {"listening":PORT}     bound (PORT is the one the system gave for --port 0)
//   {"frame":"..."}        what came, as it came, before it is judged: a
//                          frame's sequence number is in clear even when its
//                          data is encrypted
//   {"message":{...}}      a message it acknowledged
//   {"error":"..."}        a message it refused (answered NAK)
//   {"connection_error":"..."}  a connection that failed under it
// It ends on SIGTERM; it exits 1 when it cannot listen.
'use strict';

const { parseArgs } = require('node:util');
const { sia } = require('iobroker.sia/build/lib/sia.js');

const { values: options } = parseArgs({
  options: {
    protocol: { type: 'string', default: 'tcp' },
    host: { type: 'string', default: '127.0.0.1' },
    port: { type: 'string', default: '0' },
    account: { type: 'string' },
    key: { type: 'string' },
    'key-text': { type: 'string' },
    sockend: { type: 'boolean', default: false },
    ahead: { type: 'string', default: '0' },
    timeout: { type: 'string', default: '20' },
  },
});

function say(happening) {
  // A write to a file or a pipe is synchronous in node: the line is out when this returns.
  process.stdout.write(`${JSON.stringify(happening)}\n`);
}

function fail(reason) {
  say({ fatal: reason });
  process.exit(1);
}

if (!options.account) fail('--account is required');
if (!['tcp', 'udp'].includes(options.protocol)) fail(`--protocol ${options.protocol}: tcp or udp`);

const receiver = new sia({
  host: options.host,
  port: Number(options.port),
  timeout: Number(options.timeout),
  sockend: options.sockend,
});

const key = options.key ?? options['key-text'];
try {
  receiver.setAccounts([
    { accountnumber: options.account, aes: key !== undefined, hex: options.key !== undefined, password: key },
  ]);
} catch (err) {
  fail(err.message);
}

// A receiver whose clock runs ahead: its in-time check, its ACK's and its
// NAK's timestamps all come from this one method.
const aheadMs = Number(options.ahead) * 1000;
if (aheadMs !== 0) {
  receiver.getSIATimestampFromUTCDateNow = () => {
    const iso = new Date(Date.now() + aheadMs).toISOString(); // YYYY-MM-DDTHH:MM:SS.sssZ
    return `${iso.slice(11, 19)},${iso.slice(5, 7)}-${iso.slice(8, 10)}-${iso.slice(0, 4)}`;
  };
}

receiver.on('data', (data) => say({ frame: data.toString('latin1') }));
receiver.on('sia', (message, err) => {
  if (!message) {
    say({ error: String(err) });
    return;
  }
  const { id, seq, act, lpref, rpref, data_message, data_extended, ts } = message;
  say({ message: { id, seq, act, lpref, rpref, data_message, data_extended, ts } });
});

// Until it listens, a failure (the port taken) ends it; after, a failure is a
// connection's (the recorder went away) and it goes on.
let listening = false;
const server = options.protocol === 'tcp' ? receiver.servertcp : receiver.serverudp;
const failed = (err) => (listening ? say({ connection_error: String(err) }) : fail(String(err)));
// The library watches the UDP socket itself and says its failures as its own 'error'.
if (options.protocol === 'tcp') server.on('error', failed);
receiver.on('error', failed);
server.on('listening', () => {
  listening = true;
  say({ listening: server.address().port });
});
process.on('SIGTERM', () => process.exit(0));

if (options.protocol === 'tcp') receiver.serverStartTCP();
else receiver.serverStartUDP();
