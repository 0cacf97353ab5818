// A page that falls behind, and one that loses its connection, while a busy
// night of alarms piles up on a broker with the shipped queue bound
// (packaging/mosquitto/tarvin9-site.conf): a real recorder on a simulated
// sensor, and twelve more sensors with full histories played as their
// recorders publish (bench/player.mjs). Either way the page ends up showing
// every alarm still unacknowledged, and none that was acknowledged.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createServer, connect } from 'node:net';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, siteDir, GENEROUS_MS } from './rig.mjs';
import { Player } from '../bench/player.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const wait = { timeout: GENEROUS_MS };

// The line between the page and its broker. hold(): nothing more reaches the
// page while its connection stays up (a laptop asleep, a slow line); cut():
// its connections closed and new ones refused (the page away); restore().
class Line {
  constructor(port) {
    this.target = port;
    this.pairs = new Set();
    this.held = false;
    this.down = false;
  }
  async start() {
    this.server = createServer((page) => this.join(page));
    await new Promise((r) => this.server.listen(0, '127.0.0.1', r));
    this.url = `http://127.0.0.1:${this.server.address().port}/`;
  }
  join(page) {
    if (this.down) return page.destroy();
    const pair = { page, broker: connect(this.target, '127.0.0.1') };
    this.pairs.add(pair);
    const end = () => {
      page.destroy();
      pair.broker.destroy();
      this.pairs.delete(pair);
    };
    for (const s of [page, pair.broker]) s.on('error', end).on('close', end);
    page.pipe(pair.broker);
    if (!this.held) pair.broker.pipe(page);
  }
  hold() {
    this.held = true;
    for (const { page, broker } of this.pairs) {
      broker.unpipe(page);
      broker.pause();
    }
  }
  release() {
    this.held = false;
    for (const { page, broker } of this.pairs) broker.pipe(page);
  }
  cut() {
    this.down = true;
    for (const { page } of this.pairs) page.destroy();
  }
  restore() {
    this.down = false;
  }
  stop() {
    this.cut();
    this.server.close();
  }
}

test('a page opened on a busy night, then behind, then away, shows every alarm still open and none acknowledged', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const shipped = readFileSync(join(siteDir, '..', 'packaging', 'mosquitto', 'tarvin9-site.conf'), 'utf8');
  const queue = shipped.match(/^max_queued_\w+ .+$/gm);
  assert.ok(queue && queue.length > 0, 'the site example bounds its queues');
  const broker = stack.add(new Broker(stack.dir, 'site', ['allow_anonymous true', ...queue].join('\n')));
  await broker.start();
  const line = stack.add(new Line(broker.wsPort));
  await line.start();

  const sim = stack.add(new Sim(stack.dir, 'gate'));
  await sim.start();
  const recorder = stack.add(new Recorder(stack.dir, sim, 'north', 'gate', broker.url));
  recorder.start();
  const recorded = () => readFileSync(recorder.journal, 'utf8').split('"event":"alarm_end"').length - 1;
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  stack.add({ close: () => client.endAsync() });
  const players = Array.from({ length: 12 }, (_, i) => new Player(client, 'north', 'line' + String(i + 1).padStart(2, '0')));

  // Alarms k of one played sensor, each over, the acknowledged ones taken at once.
  const night = Date.now() - 10 * 3600e3;
  const open = new Set();
  const keyOf = (p, begin) => p.base.slice('tarvin9/'.length, -1) + '|' + begin.time;
  const accept = (p, begin, who) =>
    p.accept({ login: who, body: { alarm: begin.seq, alarm_time: begin.time, comment: 'ложная: ветер', time: begin.time, id: 'press-' + begin.seq } });
  const play = async (p, from, to, acknowledged) => {
    for (let k = from; k < to; ++k) {
      const begin = await p.alarm(night + k * 120e3);
      await p.calm();
      if (acknowledged(k)) await accept(p, begin, 'ivanov');
      else open.add(keyOf(p, begin));
    }
  };
  // The night so far: 90 alarms a sensor in its retained history, every tenth open.
  for (const p of players) {
    p.quietHistory = true;
    await p.start();
    await play(p, 0, 90, (k) => k % 10 !== 0);
    await p.publishHistory();
    p.quietHistory = false;
  }

  const page = await stack.add(await launchBrowser(stack.dir)).newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  const banner = async () => new Set(await page.$$eval('#banner-list li', (lis) => lis.map((li) => li.dataset.key)));
  const shows = async (recordedOpen) => {
    const want = open.size + recordedOpen;
    await until(async () => (await banner()).size === want, want + ' alarms in the banner');
    const keys = [...(await banner())];
    assert.deepEqual(new Set(keys.filter((k) => !k.startsWith('north/gate|'))), open);
    assert.equal(keys.filter((k) => k.startsWith('north/gate|')).length, recordedOpen);
  };
  // Opened: over a thousand retained messages at once (mosquitto's default
  // kept a thousand for the page and dropped the rest).
  await page.goto(line.url);
  await page.locator('.tile[data-link="up"]').nth(12).waitFor(wait);
  await shows(0);
  await page.evaluate(() => {
    window.states = [];
    const c = document.getElementById('connection');
    new MutationObserver(() => window.states.push(c.dataset.state)).observe(c, { attributes: true });
  });

  // Behind, its connection up: a guard post's recorders back after two hours
  // away send their summaries at once, two alarms each among them, and an
  // alarm of the real recorder: near two thousand messages wait for the page.
  line.hold();
  sim.command('intrusion 2');
  await Promise.all(
    players.map(async (p) => {
      for (let i = 0; i < 150; ++i) await p.event('summary', { seconds: 60, samples: 1500, lost: 0 });
      await play(p, 90, 92, (k) => k === 91);
    })
  );
  await until(() => recorded() === 1, 'the recorded alarm over');
  line.release();
  await shows(1);
  assert.ok(!(await page.evaluate(() => window.states)).includes('off'), 'the page kept its connection');

  // Away: back afresh, nothing is queued for the page; the retained history
  // (again over a thousand messages) gives it the alarms that came meanwhile
  // and the acknowledgements of those that were open.
  line.cut();
  await page.locator('#connection[data-state="off"]').waitFor(wait);
  sim.command('intrusion 2');
  await Promise.all(
    players.map(async (p) => {
      await play(p, 92, 100, () => false);
      const before = new Date(night + 90 * 120e3).toISOString();
      for (const [begin, ...rest] of p.slots.filter(Boolean)) {
        if (begin.time >= before || rest.some((e) => e.event === 'ack')) continue;
        await accept(p, begin, 'petrov');
        open.delete(keyOf(p, begin));
      }
    })
  );
  await until(() => recorded() === 2, 'the second recorded alarm over');
  line.restore();
  await page.locator('#connection[data-state="on"]').waitFor(wait);
  await shows(2);
  assert.deepEqual(errors, []);
});
