// What the page's tests, its screenshot and its benchmark run against: a real
// mosquitto on free ports of 127.0.0.1 serving the page from its websockets
// listener, simulators and recorders of the native build, and Debian's
// chromium driven by playwright-core.
import { spawn } from 'node:child_process';
import { cpSync, mkdtempSync, mkdirSync, rmSync, writeFileSync, readFileSync, existsSync } from 'node:fs';
import { createServer, connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const siteDir = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const buildDir = resolve(process.env.TARVIN_BUILD || join(siteDir, '..', 'build'));
export const simPath = join(buildDir, 'sim', 'tarvin_sim');
export const recorderPath = join(buildDir, 'recorder', 'tarvin9-recorder');
export const oscPath = join(buildDir, 'osc', 'tarvin9-osc');
export const journalNamesPath = join(buildDir, 'tests', 'journal_names');
export const GENEROUS_MS = 60000;

export function workDir() {
  return mkdtempSync(join(tmpdir(), 'tarvin9-site-'));
}

export function freePort() {
  return new Promise((res, rej) => {
    const server = createServer();
    server.on('error', rej);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => res(port));
    });
  });
}

function accepts(port) {
  return new Promise((res) => {
    const socket = connect(port, '127.0.0.1');
    socket.on('connect', () => {
      socket.destroy();
      res(true);
    });
    socket.on('error', () => res(false));
  });
}

// Waits for `check()` to be true, trying again every 50 ms until `ms` pass.
export async function until(check, what, ms = GENEROUS_MS) {
  const end = Date.now() + ms;
  for (;;) {
    if (await check()) return;
    if (Date.now() > end) throw new Error('gave up waiting for ' + what);
    await new Promise((r) => setTimeout(r, 50));
  }
}

function ended(child) {
  return child.exitCode !== null || child.signalCode !== null;
}

async function stop(child, signal = 'SIGTERM') {
  if (!child || ended(child)) return;
  const done = new Promise((r) => child.once('exit', r));
  child.kill(signal);
  const killer = setTimeout(() => child.kill('SIGKILL'), GENEROUS_MS);
  await done;
  clearTimeout(killer);
}

// A mosquitto with a plain listener (2.0.11 wants one beside a websockets
// listener) and a websockets listener whose http_dir serves the page.
// `extra` goes at the end of the config: a bridge, a password file, an ACL.
export class Broker {
  constructor(dir, name, extra = '', httpDir = siteDir) {
    this.dir = dir;
    this.name = name;
    this.extra = extra;
    this.httpDir = httpDir;
  }

  async start() {
    if (!this.port) {
      this.port = await freePort();
      this.wsPort = await freePort();
    }
    const config = join(this.dir, this.name + '.conf');
    // mosquitto keeps its database in this folder; a missing one only shows in its log.
    const store = join(this.dir, this.name + '-db');
    mkdirSync(store, { recursive: true });
    writeFileSync(
      config,
      [
        process.getuid && process.getuid() === 0 ? 'user root' : '',
        'per_listener_settings false',
        `persistence true`,
        `persistence_location ${store}/`,
        `log_dest file ${this.dir}/${this.name}.log`,
        `listener ${this.port} 127.0.0.1`,
        `listener ${this.wsPort} 127.0.0.1`,
        'protocol websockets',
        `http_dir ${this.httpDir}`,
        this.extra || 'allow_anonymous true',
        '',
      ].join('\n')
    );
    this.child = spawn('/usr/sbin/mosquitto', ['-c', config], { stdio: ['ignore', 'ignore', 'pipe'] });
    let errors = '';
    this.child.stderr.on('data', (d) => (errors += d));
    await until(async () => {
      // A mosquitto built without websockets, or refusing the config, ends at once.
      if (ended(this.child)) throw new Error(`mosquitto (${this.name}) ended at start:\n` + errors + this.log());
      return (await accepts(this.port)) && (await accepts(this.wsPort));
    }, this.name + ' accepting');
  }

  async stop() {
    await stop(this.child);
  }

  get url() {
    return `mqtt://127.0.0.1:${this.port}`;
  }
  get pageUrl() {
    return `http://127.0.0.1:${this.wsPort}/`;
  }
  log() {
    const f = join(this.dir, this.name + '.log');
    return existsSync(f) ? readFileSync(f, 'utf8') : '';
  }
}

// The shipped ACL (packaging/mosquitto/tarvin9.acl), with a block for each
// operator as its commented example (#user ivanov ...) tells a site to add,
// written into `dir`; its path. A site's recorders log in as the site.
export function shippedAcl(dir, operators = []) {
  const shipped = readFileSync(join(siteDir, '..', 'packaging', 'mosquitto', 'tarvin9.acl'), 'utf8');
  const example = /^#user ivanov\n(?:#.+\n)+/m.exec(shipped)[0];
  const blocks = operators.map((login) => '\n' + example.replace(/^#/gm, '').replaceAll('ivanov', login));
  const path = join(dir, 'tarvin9.acl');
  writeFileSync(path, shipped + blocks.join(''));
  return path;
}

// A simulated sensor on a pseudo-terminal, commanded through its standard input.
export class Sim {
  constructor(dir, name, args = []) {
    this.link = join(dir, name + '-COM1');
    this.args = args;
  }
  async start() {
    this.child = spawn(simPath, ['--quiet', ...this.args, this.link], { stdio: ['pipe', 'pipe', 'ignore'] });
    let out = '';
    this.child.stdout.on('data', (d) => (out += d));
    await until(() => /^ready/m.test(out), 'the simulator ' + this.link);
  }
  command(line) {
    this.child.stdin.write(line + '\n');
  }
  async stop() {
    await stop(this.child);
  }
}

// A recorder on a simulator, publishing to `brokerUrl`.
export class Recorder {
  constructor(dir, sim, site, sensor, brokerUrl, extra = []) {
    const base = join(dir, site.replace(/\W/g, '_') + '-' + sensor.replace(/\W/g, '_'));
    this.journal = base + '.jsonl';
    this.args = [
      '--port', sim.link, '--folder', base + '-osc', '--journal', base + '.jsonl', '--window', '100',
      '--mqtt', brokerUrl, '--site', site, '--sensor', sensor, ...extra,
    ];
  }
  start(env = {}) {
    this.child = spawn(recorderPath, this.args, { stdio: 'ignore', env: { ...process.env, ...env } });
  }
  async stop(signal = 'SIGTERM') {
    await stop(this.child, signal);
  }
}

// Debian's chromium, headless, with a fresh profile and nothing that reaches
// for the network on its own. A context: close() ends the browser.
// `screens`: its pages stand for screens of their own, each in front, so no
// page's timers are slowed as a background tab's are.
export async function launchBrowser(dir, { screens = false } = {}) {
  return chromium.launchPersistentContext(join(dir, 'chromium-profile'), {
    executablePath: process.env.TARVIN_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1400, height: 900 },
    acceptDownloads: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      ...(screens
        ? ['--disable-background-timer-throttling', '--disable-renderer-backgrounding', '--disable-backgrounding-occluded-windows']
        : []),
    ],
  });
}

// Everything a test started, ended in reverse order.
export class Stack {
  constructor() {
    this.dir = workDir();
    this.items = [];
  }
  add(item) {
    this.items.push(item);
    return item;
  }
  async close() {
    for (const item of this.items.reverse()) {
      try {
        await (item.close ? item.close() : item.stop());
      } catch (e) {
        // ending the rest matters more
      }
    }
    if (!process.env.TARVIN_KEEP) rmSync(this.dir, { recursive: true, force: true });
  }
}

// A copy of the page (with its prepared vendor/) in `dir`, as a broker's
// http_dir holds it, and `files` beside it by their paths (a site's plans/).
export function pageCopy(dir, files = {}) {
  const www = join(dir, 'www');
  for (const f of ['index.html', 'style.css', 'js', 'vendor']) cpSync(join(siteDir, f), join(www, f), { recursive: true });
  for (const [path, content] of Object.entries(files)) {
    mkdirSync(dirname(join(www, path)), { recursive: true });
    writeFileSync(join(www, path), content);
  }
  return www;
}
