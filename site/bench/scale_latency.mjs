// The control room at a guard company's scale: SITES site brokers of
// PER_SITE sensors each (500 by default), every one bridged to one central
// broker configured as the README's example (logins, the shipped ACL, the
// queue bound, a 3.1.1 bridge a site with sessions kept), every sensor with a
// full retained history; PAGES operators' pages on the central broker, in
// Debian's headless chromium.
//
// The retained messages are a real recorder's: a recorder on the simulator
// journals one alarm, its end and an operator's acknowledgement; that night
// is repeated a hundred times in a journal of its own, a recorder started on
// it publishes its retained state, status and history, and those messages,
// byte for byte, are published again for every sensor under its own site and
// name (every tenth sensor with its last two alarms left unacknowledged).
//  1. First screen: login sent → every tile up and every unacknowledged alarm
//     in the banner (FIRSTS fresh pages, one after the other).
//  2. Alarm: PAGES pages open; a sensor's status with alarm bits published to
//     its site's broker (then its `alarm_begin` and its history's slot, as its
//     recorder publishes them) → its line in each page's banner. The recorder
//     publishes the status as soon as it has read the sensor's reply, so this
//     is what the brokers, the bridge and the page add to the status reply.
//  3. A site's whole night, asked for in the events' filter.
//   node bench/scale_latency.mjs   (SITES=50 PER_SITE=10 PAGES=3 FIRSTS=3 PROBES=20)
// TARVIN_BUILD names the build with tarvin9-recorder and tarvin_sim (../build).
// Prints the figures; exit status 1 when a target is missed (first screen
// < 2 s, every page's alarm < 1.5 s).
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { loadavg } from 'node:os';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, shippedAcl, siteDir } from '../tests/rig.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const SITES = Number(process.env.SITES || 50);
const PER_SITE = Number(process.env.PER_SITE || 10);
const PAGES = Number(process.env.PAGES || 3);
const FIRSTS = Number(process.env.FIRSTS || 3);
const PROBES = Number(process.env.PROBES || 20);
const ALARMS = 100; // a full history: the recorder keeps its last 100
const OPEN_EVERY = 10; // every tenth sensor has its last OPEN alarms unacknowledged
const OPEN = 2;
const COUNT = SITES * PER_SITE;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const percentile = (v, p) => [...v].sort((a, b) => a - b)[Math.min(v.length - 1, Math.floor((p / 100) * v.length))];
const load = () => loadavg().map((x) => x.toFixed(2)).join(' ');
const siteName = (s) => 'site' + String(s).padStart(2, '0');
const sensorName = (k) => 'fence' + String(k).padStart(2, '0');

// A journal's times are local with their offset ("2026-12-10T04:31:00.123+03:00"):
// every one in `text` moved by `ms`, written the same way.
const TIME = /(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})([+-])(\d\d):(\d\d)/g;
function shiftTimes(text, ms) {
  return text.replace(TIME, (whole, clock, sign, hh, mm) => {
    const zone = (sign === '-' ? -1 : 1) * (Number(hh) * 60 + Number(mm)) * 60000;
    const at = Date.parse(whole) + ms;
    return new Date(at + zone).toISOString().slice(0, 23) + sign + hh + ':' + mm;
  });
}

// The journal of a night of ALARMS alarms, each as the real one: its begin,
// end and acknowledgement, five minutes apart, the last `open` without an
// acknowledgement; one run, its seq counted again.
function night(lines, open) {
  const events = lines.map((l) => JSON.parse(l));
  const at = (name) => events.findIndex((e) => e.event === name);
  const [b, e, a] = [at('alarm_begin'), at('alarm_end'), at('ack')];
  const span = ALARMS * 300e3 + 600e3;
  const out = events.slice(0, b).map((x) => shiftTimes(JSON.stringify(x), -span));
  for (let k = 0; k < ALARMS; ++k) {
    const shift = -span + 300e3 + k * 300e3;
    for (const i of k >= ALARMS - open ? [b, e] : [b, e, a]) out.push(shiftTimes(JSON.stringify(events[i]), shift));
  }
  let seq = 0;
  let beginSeq = 0;
  return out
    .map((text) => {
      const x = JSON.parse(text);
      x.seq = ++seq;
      if (x.event === 'alarm_begin') beginSeq = x.seq;
      if (x.event === 'ack') x.alarm = beginSeq;
      return JSON.stringify(x);
    })
    .join('\n') + '\n';
}

// Every retained message a recorder publishes for its sensor, by the topic
// under tarvin9/<site>/<sensor>/, once its history has been published whole.
async function retainedOf(broker, site, sensor) {
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  const kept = new Map();
  const base = `tarvin9/${site}/${sensor}/`;
  try {
    await until(async () => {
      kept.clear();
      client.removeAllListeners('message');
      client.on('message', (topic, payload, packet) => packet.retain && payload.length && kept.set(topic.slice(base.length), payload));
      await client.subscribeAsync(base + '#', { qos: 1 });
      await sleep(1500);
      await client.unsubscribeAsync(base + '#');
      const up = kept.has('state') && JSON.parse(kept.get('state')).link === 'up';
      const calm = kept.has('status') && JSON.parse(kept.get('status')).alarm === 'off';
      return [...kept.keys()].filter((t) => t.startsWith('history/alarm/')).length === ALARMS && up && calm;
    }, 'the recorder\'s whole history', 120000);
  } finally {
    await client.endAsync();
  }
  return kept;
}

// A real recorder on the simulator: one alarm, its end and its
// acknowledgement journalled; then the same recorder's retained messages
// over a night of such alarms, with none left open and with OPEN left open.
async function record(stack) {
  const broker = stack.add(new Broker(stack.dir, 'record'));
  await broker.start();
  const sim = stack.add(new Sim(stack.dir, 'record'));
  await sim.start();
  const recorder = new Recorder(stack.dir, sim, 'rec', 'gate', broker.url, ['--mqtt-v311']);
  stack.add(recorder);
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  const events = [];
  client.on('message', (topic, payload) => topic.endsWith('/event') && events.push(JSON.parse(payload)));
  await client.subscribeAsync('tarvin9/rec/gate/event', { qos: 1 });
  recorder.start();
  await until(() => events.some((e) => e.event === 'link_up'), 'the recorder\'s link');
  await sleep(1500);
  sim.command('intrusion 2');
  await until(() => events.some((e) => e.event === 'alarm_end'), 'the alarm over');
  const begin = events.find((e) => e.event === 'alarm_begin');
  await client.publishAsync('tarvin9/rec/gate/ack/ivanov', JSON.stringify({ alarm: begin.seq, alarm_time: begin.time, comment: 'проверено нарядом: следы зверя у ворот', time: new Date().toISOString(), id: 'b1'.padEnd(32, '0') }), { qos: 1 });
  await until(() => events.some((e) => e.event === 'ack'), 'the acknowledgement journalled');
  await recorder.stop();
  await client.endAsync();
  const lines = readFileSync(recorder.journal, 'utf8').split('\n').filter(Boolean);
  const variants = [];
  for (const open of [0, OPEN]) {
    writeFileSync(recorder.journal, night(lines, open));
    recorder.start();
    variants.push(await retainedOf(broker, 'rec', 'gate'));
    await recorder.stop();
  }
  const begins = lines.map((l) => JSON.parse(l)).filter((e) => e.event === 'alarm_begin');
  await sim.stop();
  await broker.stop();
  return { variants, begin: begins[0] };
}

const stack = new Stack();
let failed = true;
try {
  const { variants, begin: realBegin } = await record(stack);
  const bytes = (m) => [...m.values()].reduce((n, p) => n + p.length, 0);

  // The central broker as the README's example: logins, the shipped ACL with
  // the operators' blocks, the queue bound, persistence (the rig's), one
  // bridge a site from the example's first.
  const logins = Array.from({ length: PAGES }, (_, i) => 'op' + (i + 1));
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  for (const login of ['room', ...logins]) execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, login, 'pw']);
  const example = readFileSync(join(siteDir, '..', 'packaging', 'mosquitto', 'tarvin9-central.conf'), 'utf8');
  const bridge = /^connection site-north\n(?:.+\n)+/m.exec(example)[0];
  const queue = example.match(/^max_queued_\w+ .+$/gm).join('\n');
  const sites = [];
  for (let s = 0; s < SITES; ++s) {
    const broker = stack.add(new Broker(stack.dir, siteName(s), 'allow_anonymous true\n' + queue));
    await broker.start();
    sites.push(broker);
  }
  const bridges = sites.map((b, s) =>
    bridge.replace('site-north', 'site-' + siteName(s)).replace(/^address .*$/m, `address 127.0.0.1:${b.port}`)
  );
  const central = stack.add(
    new Broker(stack.dir, 'central', ['allow_anonymous false', `password_file ${passwords}`, `acl_file ${shippedAcl(stack.dir, logins)}`, queue, ...bridges].join('\n'))
  );
  await central.start();

  // Every sensor's retained messages, published to its site's broker by one
  // client a site, as that site's recorders would have left them.
  const publishers = [];
  for (const b of sites) {
    const client = await mqtt.connectAsync(b.url, { protocolVersion: 5 });
    stack.add({ close: () => client.endAsync() });
    publishers.push(client);
  }
  const sensors = [];
  for (let s = 0; s < SITES; ++s)
    for (let k = 0; k < PER_SITE; ++k) sensors.push({ site: s, name: sensorName(k), open: (s * PER_SITE + k) % OPEN_EVERY === 0 });
  const total = sensors.reduce((n, x) => n + (x.open ? variants[1] : variants[0]).size, 0);
  const totalBytes = sensors.reduce((n, x) => n + bytes(x.open ? variants[1] : variants[0]), 0);
  const openAlarms = sensors.filter((x) => x.open).length * OPEN;
  const watcher = await mqtt.connectAsync(central.url, { protocolVersion: 5, username: 'room', password: 'pw' });
  stack.add({ close: () => watcher.endAsync() });
  let arrived = 0;
  watcher.on('message', (topic, payload) => topic.startsWith('tarvin9/') && payload.length && ++arrived);
  await watcher.subscribeAsync('tarvin9/#', { qos: 1 });
  const publishStarted = Date.now();
  await Promise.all(
    sites.map(async (_, s) => {
      for (const x of sensors.filter((y) => y.site === s))
        for (const [topic, payload] of x.open ? variants[1] : variants[0])
          await publishers[s].publishAsync(`tarvin9/${siteName(s)}/${x.name}/${topic}`, payload, { qos: 1, retain: true });
    })
  );
  await until(() => arrived >= total, 'every retained message on the central broker', 600000);
  const loaded = Date.now() - publishStarted;
  await watcher.unsubscribeAsync('tarvin9/#');
  await sleep(3000); // the brokers settle before the page is timed

  // Each operator's page is a screen of its own, in front: a browser each, so
  // that no page is a tab behind another, whose work the browser puts off.
  const browsers = [];
  for (let i = 0; i < PAGES; ++i) mkdirSync(join(stack.dir, 'screen' + i));
  for (let i = 0; i < PAGES; ++i) browsers.push(stack.add(await launchBrowser(join(stack.dir, 'screen' + i), { screens: true })));
  const open = async (login, browser = browsers[0]) => {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await page.goto(central.pageUrl);
    await page.locator('#login:not([hidden])').waitFor();
    await page.locator('#login-user').fill(login);
    await page.locator('#login-password').fill('pw');
    const submitted = Date.now();
    await page.getByRole('button', { name: 'Подключиться' }).click();
    let tiles = 0;
    await until(async () => {
      const [up, banner] = await page.evaluate(() => [
        document.querySelectorAll('.tile[data-link="up"]').length,
        document.getElementById('banner').hidden ? 0 : document.querySelectorAll('#banner-list li').length,
      ]);
      if (!tiles && up === COUNT) tiles = Date.now() - submitted;
      return up === COUNT && banner === openAlarms;
    }, 'the first screen', 600000);
    return { page, errors, tiles, whole: Date.now() - submitted };
  };

  // 1. The first screen, on fresh pages.
  const firsts = [];
  for (let i = 0; i < FIRSTS; ++i) {
    const { page, tiles, whole, errors } = await open(logins[0]);
    firsts.push({ tiles, whole, load: load(), errors: errors.length });
    console.error(`  first screen ${i + 1}: tiles ${tiles} ms, banner whole ${whole} ms (load ${load()})`);
    await page.close();
  }

  // 2. PAGES screens; an alarm on a sensor of a different site each time.
  const pages = [];
  for (const [i, login] of logins.entries()) pages.push((await open(login, browsers[i])).page);
  for (const page of pages)
    await page.evaluate(() => {
      window.bannerSeen = {};
      new MutationObserver(() => {
        for (const li of document.querySelectorAll('#banner-list li'))
          if (!(li.dataset.key in window.bannerSeen)) window.bannerSeen[li.dataset.key] = Date.now();
      }).observe(document.getElementById('banner-list'), { childList: true, subtree: true });
    });
  const status = JSON.parse(variants[0].get('status'));
  const latencies = []; // per page
  let seq = 100000;
  for (let r = 0; r < PROBES; ++r) {
    const x = sensors[(r * 37 + 5) % sensors.length];
    if (x.open) continue;
    const client = publishers[x.site];
    const base = `tarvin9/${siteName(x.site)}/${x.name}/`;
    const now = Date.now();
    // The journal's time, as the recorder writes it: the real alarm's, moved to now.
    const time = shiftTimes(realBegin.time, now - Date.parse(realBegin.time));
    const since = time;
    const begin = { ...realBegin, time, seq: ++seq };
    const sent = Date.now();
    await client.publishAsync(base + 'status', JSON.stringify({ ...status, alarm_bits: 6, alarm: 'on', since }), { qos: 1, retain: true });
    await client.publishAsync(base + 'event', JSON.stringify(begin), { qos: 1 });
    await client.publishAsync(base + 'history/alarm/00', JSON.stringify({ events: [begin] }), { qos: 1, retain: true });
    const key = `${siteName(x.site)}/${x.name}|${time}`;
    for (const page of pages) {
      let seen;
      await until(async () => (seen = await page.evaluate((k) => window.bannerSeen[k], key)) > 0, 'the alarm in the banner', 60000);
      latencies.push(seen - sent);
    }
    console.error(`  alarm ${r + 1}: ${latencies.slice(-pages.length).join(' / ')} ms`);
    // Acknowledged as the recorder journals an operator's press, so that the banner stays as the room keeps it.
    const ack = { time: shiftTimes(time, 2000), seq: ++seq, event: 'ack', alarm: begin.seq, alarm_time: time, operator: 'op1', comment: 'ложная: ветер' };
    await client.publishAsync(base + 'status', JSON.stringify({ ...status, since: ack.time }), { qos: 1, retain: true });
    await client.publishAsync(base + 'event', JSON.stringify(ack), { qos: 1 });
    await client.publishAsync(base + 'history/alarm/00', JSON.stringify({ events: [begin, ack] }), { qos: 1, retain: true });
    for (const page of pages) await until(async () => (await page.locator(`#banner-list li[data-key="${key}"]`).count()) === 0, 'the alarm taken', 60000);
    await sleep(500);
  }

  // 3. A site's night, asked for: its site chosen in the events' filter →
  // fifty of its answered alarms listed (a page that reads every night on
  // opening has them already).
  const asked = Date.now();
  await pages[0].locator('#filter-site').selectOption(siteName(1));
  await until(async () => (await pages[0].locator('#events .event-alarm_begin[data-ack="done"]').count()) >= 50, 'the site\'s night', 120000);
  const nightMs = Date.now() - asked;

  const ms = (v) => Math.round(v) + ' ms';
  console.log(`${COUNT} sensors on ${SITES} sites, each bridged to one central broker; ${total} retained messages, ${(totalBytes / 1048576).toFixed(1)} MB (a sensor ${bytes(variants[0])}–${bytes(variants[1])} bytes in ${variants[0].size}–${variants[1].size} messages); ${openAlarms} alarms unacknowledged`);
  console.log(`retained messages published to the sites → all on the central broker: ${(loaded / 1000).toFixed(1)} s`);
  console.log(`first screen (login sent → ${COUNT} tiles up / and ${openAlarms} alarms in the banner), ${FIRSTS} fresh pages:`);
  for (const f of firsts) console.log(`  tiles ${ms(f.tiles)}, banner whole ${ms(f.whole)} (load ${f.load}${f.errors ? ', page errors ' + f.errors : ''})`);
  console.log(`  median ${ms(median(firsts.map((f) => f.whole)))} (target < 2000 ms)`);
  console.log(`status published on the site's broker → the alarm in the banner, ${PAGES} pages, ${latencies.length}: median ${ms(median(latencies))}, 95th percentile ${ms(percentile(latencies, 95))}, max ${ms(Math.max(...latencies))} (target: every one < 1500 ms); load ${load()}`);
  console.log(`a site's night asked for (its site chosen in the filter → 50 of its answered alarms listed): ${ms(nightMs)}`);
  failed = !(median(firsts.map((f) => f.whole)) < 2000 && Math.max(...latencies) < 1500);
} finally {
  await stack.close();
}
process.exit(failed ? 1 : 0);
