// The page in a real browser, served by a real mosquitto, fed by recorders on
// simulated sensors: what a control room sees when a site lives, alarms,
// loses a recorder and loses its broker; and the same through a central
// broker bridged to a site's; a walk test as the room sees it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, siteDir, shippedAcl, GENEROUS_MS } from './rig.mjs';

const require = createRequire(import.meta.url);
const mqtt = require('mqtt');
const wait = { timeout: GENEROUS_MS };
const tile = (site, sensor) => `.tile[data-site="${site}"][data-sensor="${sensor.replace(/"/g, '\\"')}"]`;

// A sensor name that would run script if it were ever taken as HTML ('/' is
// not allowed in names).
const HOSTILE = '<img src=x onerror="window.pwned=1"><script>window.pwned=2<';

test('a site of three sensors: live tiles, an alarm, an oscillogram, a dead recorder, a broker restart', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const broker = stack.add(new Broker(stack.dir, 'site'));
  await broker.start();
  const sensors = [
    ['north', 'gate', ['--mqtt-samples', '2']],
    ['north', HOSTILE, []],
    ['south', 'fence', []],
  ];
  const sims = [];
  const recorders = [];
  for (const [site, sensor, extra] of sensors) {
    const sim = stack.add(new Sim(stack.dir, 's' + sims.length));
    await sim.start();
    sims.push(sim);
    recorders.push(stack.add(new Recorder(stack.dir, sim, site, sensor, broker.url, extra)));
    recorders.at(-1).start();
  }
  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(broker.pageUrl);

  // Connected back to the broker that served it: three tiles, link up, calm.
  for (const [site, sensor] of sensors) await page.locator(tile(site, sensor) + '[data-link="up"][data-alarm="quiet"]').waitFor(wait);
  assert.equal(await page.locator('.tile').count(), 3);
  assert.deepEqual(await page.locator('.site-name').allTextContents(), ['north', 'south']);
  assert.equal(await page.locator(tile('north', HOSTILE) + ' .tile-name').textContent(), HOSTILE);
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.equal(await page.locator('#sites img, #sites script').count(), 0);

  // A sensor's detail holds only what came since the page opened, and says so.
  await page.locator(tile('south', 'fence')).click();
  await page.locator('#osc-note', { hasText: /^Осциллограмм с открытия страницы в .* не было: брокер их не хранит/ }).waitFor(wait);
  assert.match(await page.locator('#trend-note').textContent(), /^Ни сводок, ни выборок с открытия страницы в .* администратор объекта\.$/);

  // An intrusion: the banner names the sensor, the tile turns red. A page
  // without a login cannot acknowledge it: the banner stays and says why.
  sims[0].command('intrusion 3');
  await page.locator('#banner:not([hidden])').waitFor(wait);
  assert.match(await page.locator('#banner-list').textContent(), /^north \/ gate: тревога с /);
  await page.locator(tile('north', 'gate') + '[data-alarm="alarm"]').waitFor(wait);
  await page.locator('#events .event-alarm_begin').waitFor(wait);
  await page.getByRole('button', { name: 'Принято' }).click();
  await page.locator('#ack-status', { hasText: 'нельзя принять: страница вошла без имени' }).waitFor(wait);
  assert.ok(await page.locator('#ack-form').isHidden());
  assert.ok(await page.locator('#banner').isVisible());

  // The alarm's oscillogram, drawn and downloadable; the chart fed by the samples topic.
  await page.locator(tile('north', 'gate')).click();
  await page.locator('#osc[data-points="100"] canvas').waitFor(wait);
  await until(async () => Number(await page.locator('#trend').getAttribute('data-points')) > 0, 'the trend chart');
  assert.match(await page.locator('#trend-note').textContent(), /^По выборкам регистратора: .* Показано с открытия страницы в /);
  assert.doesNotMatch(await page.locator('#detail').textContent(), /--/, 'no command-line options for an operator');
  const [download] = await Promise.all([page.waitForEvent('download'), page.locator('#osc-csv').click()]);
  const rows = readFileSync(await download.path(), 'utf8').split('\r\n');
  assert.equal(rows[0], 'index,threshold,useful,ekNoise,ekClimate,input');
  assert.equal(rows.length, 102);
  assert.match(download.suggestedFilename(), /мин\. \.csv$/);

  // The event list, filtered by kind.
  await page.locator('#filter-kind').selectOption('alarm_begin');
  assert.deepEqual(new Set(await page.locator('#events .event-where').allTextContents()), new Set(['north / gate']));

  // A recorder killed outright: its last will turns the tile offline, alarm unknown.
  await recorders[2].stop('SIGKILL');
  await page.locator(tile('south', 'fence') + '[data-link="offline"][data-alarm="unknown"]').waitFor(wait);

  // The broker away for 10 s: nothing claims to be calm; back, the page
  // reconnects by itself and shows the retained truth again.
  await broker.stop();
  await page.locator('.tile[data-link="noconn"][data-alarm="unknown"]').nth(2).waitFor(wait);
  await new Promise((r) => setTimeout(r, 10000));
  await broker.start();
  await page.locator(tile('north', 'gate') + '[data-link="up"]').waitFor(wait);
  await page.locator(tile('north', HOSTILE) + '[data-link="up"]').waitFor(wait);
  await page.locator(tile('south', 'fence') + '[data-link="offline"]').waitFor(wait);
  assert.deepEqual(errors, []);
});

test('the page on a central broker with logins, bridged to a site broker', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const site = stack.add(new Broker(stack.dir, 'site'));
  await site.start();
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, 'room', 'смотрю']);
  execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, 'ivanov', 'ivanov-pw']);
  // The shipped example's first bridge, to this site. It comes back 20 s
  // after it broke (as base and cap: mosquitto 2.0.11 takes no single
  // value), later than the recorder's own return to a restarted site
  // broker, as a bridge over a slow line may.
  const example = readFileSync(join(siteDir, '..', 'packaging', 'mosquitto', 'tarvin9-central.conf'), 'utf8');
  const bridge = /^connection site-north\n(?:.+\n)+/m
    .exec(example)[0]
    .replace(/^address .*$/m, `address 127.0.0.1:${site.port}`);
  const central = stack.add(
    new Broker(
      stack.dir,
      'central',
      [
        'allow_anonymous false',
        `password_file ${passwords}`,
        `acl_file ${shippedAcl(stack.dir, ['ivanov'])}`,
        bridge + 'restart_timeout 20 20',
      ].join('\n')
    )
  );
  await central.start();
  const sim = stack.add(new Sim(stack.dir, 'bridged'));
  await sim.start();
  // A bridged site's recorders speak 3.1.1, as the example asks.
  const recorder = stack.add(new Recorder(stack.dir, sim, 'north', 'gate', site.url, ['--mqtt-v311']));
  recorder.start();

  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage();
  await page.goto(central.pageUrl);
  // Refused without a login, the page asks for one, as no fault; the password goes to the broker only.
  await page.locator('#login:not([hidden])').waitFor(wait);
  assert.deepEqual(
    [await page.locator('#connection').textContent(), await page.locator('#login-message').textContent()],
    ['нужен вход', 'Брокер пускает только по имени и паролю: войдите.']
  );
  await page.locator('#login-user').fill('room');
  await page.locator('#login-password').fill('смотрю');
  await page.getByRole('button', { name: 'Подключиться' }).click();
  await page.locator(tile('north', 'gate') + '[data-link="up"][data-alarm="quiet"]').waitFor(wait);
  assert.equal(await page.locator('#login-password').inputValue(), '');
  assert.doesNotMatch(await page.evaluate(() => JSON.stringify(localStorage) + JSON.stringify(sessionStorage)), /смотрю/);

  // A login that only watches learns so from the broker before any form.
  await page.locator('#connection', { hasText: '(room, только просмотр)' }).waitFor(wait);
  sim.command('intrusion 3');
  await page.locator('#banner:not([hidden])').waitFor(wait);
  await page.getByRole('button', { name: 'Принято' }).click();
  await page.locator('#ack-status', { hasText: 'нельзя принять: брокер не разрешает входу «room» подтверждать тревоги' }).waitFor(wait);
  assert.ok(await page.locator('#ack-form').isHidden());
  await page.locator(tile('north', 'gate')).click();
  // The file's name crossed the bridge in the recorder's wrapper.
  await page.locator('#osc[data-points="100"]').waitFor(wait);
  assert.match(await page.locator('#osc-note').textContent(), /мин\. \.bin \(100 точек\)$/);

  // The site's broker gone: the central page names the broken bridge.
  assert.equal(await page.locator('#bridges').getAttribute('data-state'), 'on');
  await site.stop();
  await page.locator('#bridges[data-state="off"]', { hasText: 'site-north' }).waitFor(wait);

  // An alarm, begun and ended while the site's broker is away: the recorder
  // sends it there once the broker is back, before the bridge is; the site's
  // broker keeps it for the bridge's session, and the central page sees it.
  const ended = () => readFileSync(recorder.journal, 'utf8').split('"event":"alarm_end"').length - 1;
  await until(() => ended() === 1, 'the first alarm over');
  sim.command('intrusion 2');
  await until(() => ended() === 2, 'the second alarm journalled');
  await site.start();
  await page.locator('#bridges[data-state="on"]').waitFor(wait);
  await page.locator('#events .event-alarm_begin').nth(1).waitFor(wait);
  await page.locator('#events .event-alarm_end').nth(1).waitFor(wait);

  // The page's login may read, never write.
  const room = await mqtt.connectAsync(central.url, { protocolVersion: 5, username: 'room', password: 'смотрю' });
  await assert.rejects(room.publishAsync('tarvin9/north/gate/status', '{"alarm_bits":0}', { qos: 1 }), /Not authorized/i);
  // nor acknowledge: an operator does, under their own name, and the bridge
  // takes it back to the site's recorders.
  await assert.rejects(room.publishAsync('tarvin9/north/gate/ack/room', '{}', { qos: 1 }), /Not authorized/i);
  await assert.rejects(room.publishAsync('tarvin9/north/gate/ack/petrov', '{}', { qos: 1 }), /Not authorized/i);
  const operator = await mqtt.connectAsync(central.url, { protocolVersion: 5, username: 'ivanov', password: 'ivanov-pw' });
  const atSite = await mqtt.connectAsync(site.url, { protocolVersion: 5 });
  const heard = new Promise((r) => atSite.on('message', (topic, payload) => r(topic + ' ' + payload)));
  await atSite.subscribeAsync('tarvin9/+/+/ack/+', { qos: 1 });
  await operator.publishAsync('tarvin9/north/gate/ack/ivanov', '{"id":"k3j4h5k3"}', { qos: 1 });
  assert.equal(await heard, 'tarvin9/north/gate/ack/ivanov {"id":"k3j4h5k3"}');
  // The site's plan, kept on the site's broker, reaches the central one's readers.
  const plan = '{"image":"plans/north.png","zones":[]}';
  await atSite.publishAsync('tarvin9/north/plan', plan, { qos: 1, retain: true });
  const planHeard = new Promise((r) => room.on('message', (topic, payload) => topic.endsWith('/plan') && r(String(payload))));
  await room.subscribeAsync('tarvin9/+/plan', { qos: 1 });
  assert.equal(await planHeard, plan);
  await operator.endAsync();
  await atSite.endAsync();
  await room.endAsync();
});

test('a page served from a checkout never prepared says that its libraries are missing', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const bare = join(stack.dir, 'site'); // the page's own files, no vendor/
  for (const f of ['index.html', 'style.css', 'js']) cpSync(join(siteDir, f), join(bare, f), { recursive: true });
  const broker = stack.add(new Broker(stack.dir, 'bare', '', bare));
  await broker.start();
  const page = await stack.add(await launchBrowser(stack.dir)).newPage();
  await page.goto(broker.pageUrl);
  await page.locator('#page-error', { hasText: 'нет её библиотек (vendor/mqtt.min.js, vendor/uPlot.iife.min.js)' }).waitFor(wait);
  assert.match(await page.locator('#page-error').textContent(), /scripts\/site\.sh/);
});

test('a walk test: "проверка" on the tile, a detection without banner or tones, its end by the limit while it lasts, a reload, its acknowledgement, then an alarm', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const broker = stack.add(new Broker(stack.dir, 'site'));
  await broker.start();
  // What a recorder publishes: the status as each event leaves it, then the event.
  const recorder = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  t.after(() => recorder.endAsync());
  const T0 = Date.now();
  const publish = (kind, body, retain) =>
    recorder.publishAsync('tarvin9/north/gate/' + kind, JSON.stringify(body), { qos: 1, retain });
  let seq = 0;
  const at = (s) => new Date(T0 + s * 1000).toISOString();
  const journalled = []; // the history's pieces are made of these
  const send = async (s, status, event) => {
    const time = at(s);
    await publish('status', { alarm_bits: 0, since: time, alarm: 'off', walk_test: null, detections: null, ...status }, true);
    if (!event) return;
    journalled.push({ time, seq: ++seq, ...event });
    await publish('event', journalled.at(-1));
  };
  await publish('state', { link: 'up', firmware: '2.0' }, true);
  await send(0, {});
  const page = await stack.add(await launchBrowser(stack.dir)).newPage();
  await page.addInitScript(() => {
    const create = AudioContext.prototype.createOscillator;
    window.tones = 0; // every tone the page starts
    AudioContext.prototype.createOscillator = function () { ++window.tones; return create.call(this); };
    window.banners = 0; // every time the banner shows, however briefly
    document.addEventListener('DOMContentLoaded', () => {
      const banner = document.getElementById('banner');
      new MutationObserver(() => (window.banners += banner.hidden ? 0 : 1)).observe(banner, { attributes: true });
    });
  });
  await page.goto(broker.pageUrl);
  const gate = (attrs, hasText) => page.locator(tile('north', 'gate') + attrs, { hasText }).waitFor(wait);
  const line = (hasText) => page.locator('#events .event-kind', { hasText }).waitFor(wait);
  await gate('[data-alarm="quiet"][data-walk="none"]');
  await page.locator('h1').click(); // a browser lets a page sound after a click
  await page.locator('#sound').waitFor({ state: 'hidden', ...wait });

  await send(1, { walk_test: 1, detections: 0 }, { event: 'walk_test_begin', walk_test: 1, note: HOSTILE, limit_min: 30 });
  await gate('[data-walk="running"]', 'проверка №1, обнаружений: 0');
  await page.locator('#events .event-detail', { hasText: `проверка №1, «${HOSTILE}», лимит 30 мин` }).waitFor(wait);
  const detection = { event: 'alarm_begin', alarm_bits: 6, walk_test: 1, detection: 1 };
  await send(2, { alarm_bits: 6, alarm: 'on', walk_test: 1, detections: 1 }, detection);
  await gate('[data-alarm="detection"]', 'проверка: обнаружение 1');
  await line('проверка: обнаружение 1');
  // The limit ends the test while the detection lasts: the status keeps its
  // bits and no longer names a test.
  const still = { alarm_bits: 6, alarm: 'on', since: at(2) };
  await send(3, still, { event: 'walk_test_end', walk_test: 1, detections: 1, passes: null, missed: null, reason: 'limit' });
  await gate('[data-walk="limit"]', 'проверка №1 закончена по лимиту времени');
  await line('проверка закончена по лимиту времени');
  assert.ok(await page.locator('#banner').isHidden());
  assert.deepEqual(await page.evaluate(() => [window.tones, window.banners, window.pwned]), [0, 0, undefined]);
  // The bits are the engineer's: the line says "тревога" or a detection, the tooltip which signals.
  assert.equal(await page.locator('#events .event-detail', { hasText: 'биты' }).count(), 0);
  assert.equal(await page.locator('#events .event-alarm_begin').getAttribute('title'), 'сигналы тревоги датчика: оба (0x02 и 0x04)');

  // Reloaded now, the page reads the detection from the recorder's history,
  // never as an alarm, not even for a moment.
  await publish('history/alarm/00', { events: [journalled[1]] }, true);
  await publish('history/link/0', { events: [journalled[0], journalled[2]] }, true);
  await page.reload();
  await gate('[data-alarm="detection"][data-walk="limit"]', 'проверка: обнаружение 1');
  // Its acknowledgement, without a comment, names what it took.
  await send(4, still, { event: 'ack', alarm: journalled[1].seq, alarm_time: at(2), operator: 'ivanov', comment: '', id: 'p1' });
  await line('проверка: обнаружение 1 принято');
  assert.equal(await page.locator('#events li.event-ack .event-detail').textContent(), 'ivanov');
  assert.equal(await page.evaluate(() => window.banners), 0);
  await page.locator('h1').click();
  await page.locator('#sound').waitFor({ state: 'hidden', ...wait });
  await send(5, {}, { ...detection, event: 'alarm_end' });
  await gate('[data-alarm="quiet"]');

  await send(6, { alarm_bits: 6, alarm: 'on' }, { event: 'alarm_begin', alarm_bits: 6 });
  await page.locator('#banner:not([hidden])').waitFor(wait);
  await gate('[data-alarm="alarm"]');
  await until(async () => (await page.evaluate(() => window.tones)) > 0, 'the alarm sound');

  // A test whose one pass raised two alarms: one pass detected, and the totals add up.
  await send(7, { alarm_bits: 6, alarm: 'on' }, { event: 'walk_test_end', walk_test: 2, detections: 2, detected: 1, passes: 1, missed: 0, reason: 'operator' });
  await page.locator('#events .event-detail', { hasText: 'проверка №2, проходов 1, обнаружено 1 (тревог: 2), пропущено 0' }).waitFor(wait);
});
