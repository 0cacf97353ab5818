// The control room's page under fifty recorders' traffic: one broker on this
// machine, a publisher that plays fifty sensors (retained state and status,
// a `samples` summary a second each, a `summary` event a minute each, balance
// changes, alarms now and then with their events and oscillograms), and the
// page open in headless chromium. Probe alarms on a sensor of their own time
// status published → banner shown (each alarm then acknowledged, as its
// recorder journals an operator's press); the page's CPU share, JS heap and DOM size
// are sampled through the run.
//   node bench/banner_latency.mjs   (DURATION=3600 for the hour; COUNT=50 sensors)
// Prints the figures; exit status 1 when the median latency misses 300 ms.
import { createRequire } from 'node:module';
import { Stack, Broker, launchBrowser, until } from '../tests/rig.mjs';

const require = createRequire(import.meta.url);
const mqtt = require('mqtt');
const COUNT = Number(process.env.COUNT || 50);
const DURATION_S = Number(process.env.DURATION || 120);
const PROBE_EVERY_MS = 2000;
const BACKGROUND_ALARM_EVERY_S = 60; // per sensor, on average
const OSC_COUNT = 1000; // samples in an oscillogram (the recorder's default window)

const iso = (ms = Date.now()) => new Date(ms).toISOString();
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];

function oscillogramBytes() {
  const bytes = new Uint8Array(3 + 20 * OSC_COUNT);
  const view = new DataView(bytes.buffer);
  bytes[0] = 2;
  view.setUint16(1, OSC_COUNT, true);
  for (let i = 0; i < OSC_COUNT; ++i) {
    view.setFloat32(3 + 4 * i, 28 + Math.random(), true);
    for (let k = 1; k < 5; ++k) view.setUint32(3 + 4 * OSC_COUNT * k + 4 * i, Math.floor(10 + 50 * Math.random()), true);
  }
  return bytes;
}

// One simulated recorder's messages.
class Player {
  constructor(client, site, sensor) {
    this.client = client;
    this.base = `tarvin9/${site}/${sensor}/`;
    this.seq = 0;
    this.bits = 0;
  }
  publish(kind, body, options = {}) {
    return this.client.publishAsync(this.base + kind, typeof body === 'string' ? body : JSON.stringify(body), { qos: 1, ...options });
  }
  async event(name, fields = {}, time = iso()) {
    const e = { time, seq: ++this.seq, event: name, ...fields };
    await this.publish('event', e);
    return e;
  }
  // The recorder's journal of an operator's acknowledgement: the banner lets the alarm go.
  acknowledged(begin) {
    return this.event('ack', { alarm: begin.seq, alarm_time: begin.time, operator: 'bench', comment: 'ложная: ветер', seconds_to_ack: 1, id: 'bench' + begin.seq });
  }
  async start() {
    await this.event('start', { port: 'COM1', version: '1.0.0' });
    await this.publish('state', { link: 'up', firmware: '2.0', since: iso() }, { retain: true });
    await this.status(0);
  }
  status(bits, since = iso()) {
    this.bits = bits;
    return this.publish('status', { alarm_bits: bits, balance: 'Фланги СЗ сбалансированы', since }, { retain: true });
  }
  samples() {
    const u = 5 + Math.random() * 10;
    return this.publish('samples', { time: iso(), samples: 78, threshold: [27.5, 28.1], useful: [5, this.bits ? 45 : u], ekNoise: [1, 2], ekClimate: [1, 79], input: [50, 70] }, { qos: 0 });
  }
  summary() {
    return this.event('summary', { useful: { min: 5, max: 15, mean: 9 }, threshold: { min: 27.5, max: 28.2, mean: 28 }, margin: 12.5 });
  }
  async alarm(osc) {
    const since = iso();
    await this.status(6, since);
    await this.acknowledged(await this.event('alarm_begin', { alarm_bits: 6 }, since));
    await this.event('saved', { path: 'Chart4pF/x.bin', trigger: 'alarm', samples: OSC_COUNT });
    await this.client.publishAsync(this.base + 'oscillogram', Buffer.from(osc), { qos: 1, properties: { userProperties: { name: 'x.bin' } } });
  }
  async calm() {
    await this.status(0);
    await this.event('alarm_end', { alarm_bits: 6 });
  }
}

const stack = new Stack();
let failed = false;
try {
  const broker = stack.add(new Broker(stack.dir, 'bench', 'allow_anonymous true\nmax_queued_messages 100000'));
  await broker.start();
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  stack.add({ close: () => client.endAsync() });
  const players = [];
  for (let i = 0; i < COUNT; ++i) players.push(new Player(client, 'site' + (i % 5), 'sensor' + String(i).padStart(2, '0')));
  // The probe has a connection of its own, as a recorder does.
  const probeClient = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  stack.add({ close: () => probeClient.endAsync() });
  const probe = new Player(probeClient, 'bench', 'probe');
  await Promise.all([...players, probe].map((p) => p.start()));

  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage();
  await page.goto(broker.pageUrl);
  await until(async () => (await page.locator('.tile[data-link="up"]').count()) === COUNT + 1, 'every tile up');
  // When each banner line first showed, by the page's clock (this machine's).
  await page.evaluate(() => {
    window.bannerSeen = {};
    new MutationObserver(() => {
      if (document.getElementById('banner').hidden) return;
      for (const li of document.querySelectorAll('#banner-list li'))
        if (!(li.dataset.key in window.bannerSeen)) window.bannerSeen[li.dataset.key] = Date.now();
    }).observe(document.getElementById('banner'), { subtree: true, childList: true, attributes: true, characterData: true });
  });
  // Open one sensor's detail too: its charts are redrawn as summaries come.
  await page.locator('.tile[data-sensor="sensor00"]').click();
  const cdp = await browser.newCDPSession(page);
  await cdp.send('Performance.enable');
  const metrics = async () => Object.fromEntries((await cdp.send('Performance.getMetrics')).metrics.map((m) => [m.name, m.value]));

  const osc = oscillogramBytes();
  const started = Date.now();
  let nextSecond = started;
  let nextMinute = started + 60000;
  let nextProbe = started + 5000;
  let messages = 0;
  const latencies = [];
  const samples = [];
  let lastMetrics = await metrics();
  const first = lastMetrics;
  let lastAt = Date.now();
  while (Date.now() - started < DURATION_S * 1000) {
    const now = Date.now();
    if (now >= nextSecond) {
      nextSecond += 1000;
      const work = players.map((p) => p.samples());
      for (const p of players) {
        if (p.bits) work.push(p.calm());
        else if (Math.random() < 1 / BACKGROUND_ALARM_EVERY_S) work.push(p.alarm(osc));
        if (Math.random() < 1 / 600) work.push(p.event('balance', { text: 'Фланги СЗ сбалансированы' }));
      }
      messages += work.length;
      await Promise.all(work);
    }
    if (now >= nextMinute) {
      nextMinute += 60000;
      await Promise.all(players.map((p) => p.summary()));
      messages += players.length;
      const m = await metrics();
      const at = Date.now();
      samples.push({
        minute: Math.round((at - started) / 60000),
        cpu: (100 * (m.TaskDuration - lastMetrics.TaskDuration)) / ((at - lastAt) / 1000),
        heapMb: m.JSHeapUsedSize / 1048576,
        nodes: m.Nodes,
      });
      lastMetrics = m;
      lastAt = at;
    }
    if (now >= nextProbe) {
      nextProbe = now + PROBE_EVERY_MS;
      const since = iso();
      const sent = Date.now();
      await probe.status(6, since);
      const begin = await probe.event('alarm_begin', { alarm_bits: 6 }, since);
      let shown;
      const probeShown = () =>
        page.evaluate(() => {
          const k = Object.keys(window.bannerSeen).find((x) => x.startsWith('bench/probe|'));
          return k ? window.bannerSeen[k] : 0;
        });
      await until(async () => (shown = await probeShown()) > 0, 'the probe in the banner');
      await page.evaluate(() => (window.bannerSeen = {}));
      latencies.push(shown - sent);
      await probe.status(0);
      await probe.acknowledged(begin);
    }
    await sleep(20);
  }
  const final = await metrics();
  const wall = (Date.now() - started) / 1000;
  latencies.sort((a, b) => a - b);
  const median = percentile(latencies, 50);
  if (process.env.VERBOSE) console.log(latencies.join(" "));
  console.log(`sensors ${COUNT}, ${wall.toFixed(0)} s, ${(messages / wall).toFixed(1)} messages/s published`);
  console.log(`alarm status published → banner shown: median ${median} ms, 95th percentile ${percentile(latencies, 95)} ms, max ${latencies.at(-1)} ms over ${latencies.length} alarms (target: median < 300 ms)`);
  for (const s of samples) console.log(`  minute ${s.minute}: page CPU ${s.cpu.toFixed(1)} % of a core, JS heap ${s.heapMb.toFixed(1)} MB, DOM nodes ${s.nodes}`);
  console.log(`end: JS heap ${(final.JSHeapUsedSize / 1048576).toFixed(1)} MB, DOM nodes ${final.Nodes}, page CPU over the run ${((100 * (final.TaskDuration - first.TaskDuration)) / wall).toFixed(1)} % of a core`);
  failed = !(median < 300);
} finally {
  await stack.close();
}
process.exit(failed ? 1 : 0);
