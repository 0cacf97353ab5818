// A large control room's page (more than a hundred sensors) reads on opening
// only what the room must answer: a real recorder's alarm still awaiting its
// acknowledgement is in the banner at once, while the night's answered alarm
// comes when the operator chooses its site.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, GENEROUS_MS } from './rig.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const wait = { timeout: GENEROUS_MS };

test('a page of more than a hundred sensors shows the open alarms at once and a site\'s night on demand', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const broker = stack.add(new Broker(stack.dir, 'central'));
  await broker.start();
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  t.after(() => client.endAsync());
  const events = [];
  client.on('message', (topic, payload) => topic.endsWith('/event') && events.push(JSON.parse(payload)));
  await client.subscribeAsync('tarvin9/north/gate/event', { qos: 1 });
  const sim = stack.add(new Sim(stack.dir, 'gate'));
  await sim.start();
  const recorder = stack.add(new Recorder(stack.dir, sim, 'north', 'gate', broker.url));
  recorder.start();
  await until(() => events.some((e) => e.event === 'link_up'), 'the link');

  // Two alarms; an operator takes the first.
  for (const n of [1, 2]) {
    sim.command('intrusion 2');
    await until(() => events.filter((e) => e.event === 'alarm_end').length === n, 'alarm ' + n + ' over');
  }
  const [first, second] = events.filter((e) => e.event === 'alarm_begin');
  const press = { alarm: first.seq, alarm_time: first.time, comment: 'проверено нарядом', time: new Date().toISOString(), id: 'a'.repeat(32) };
  await client.publishAsync('tarvin9/north/gate/ack/ivanov', JSON.stringify(press), { qos: 1 });
  await until(() => events.some((e) => e.event === 'ack'), 'the acknowledgement journalled');
  // A hundred and one more sensors, quiet, on another site.
  for (let i = 0; i <= 100; ++i) {
    const base = `tarvin9/south/s${String(i).padStart(3, '0')}/`;
    await client.publishAsync(base + 'state', JSON.stringify({ link: 'up', firmware: '2.0', since: new Date().toISOString() }), { qos: 1, retain: true });
    await client.publishAsync(base + 'status', JSON.stringify({ alarm_bits: 0, alarm: 'off', since: new Date().toISOString() }), { qos: 1, retain: true });
  }

  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(broker.pageUrl);
  await until(async () => (await page.locator('.tile[data-link="up"]').count()) === 102, 'every tile');
  await page.locator(`#banner-list li[data-key="north/gate|${second.time}"]`).waitFor(wait);
  assert.equal(await page.locator('#banner-list li').count(), 1);
  assert.ok(await page.locator('#night-note').isVisible());
  const answered = page.locator('#events .event-alarm_begin[data-ack="done"]');
  assert.equal(await answered.count(), 0, 'the answered alarm is not read on opening');

  await page.locator('#filter-site').selectOption('north');
  await answered.waitFor(wait);
  assert.match(await answered.locator('.event-ack').textContent(), /^принято: ivanov в .* — проверено нарядом$/);
  assert.equal(await page.locator('#events .event-alarm_begin').count(), 2);
  assert.equal(await page.locator('#banner-list li').count(), 1);
  assert.deepEqual(errors, []);
});
