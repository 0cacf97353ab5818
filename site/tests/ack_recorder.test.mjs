// Two operators, two logins, two pages and the real recorder of a simulated
// sensor: the banner lists what awaits, oldest first; an acknowledgement in
// one page shows in the other, whose open form is told who was first; a
// reload and a page opened later know it from the recorder's history alone,
// and the later page calls until the last alarm is taken; the recorder's
// journal and its report hold who took each and why.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, shippedAcl, oscPath, GENEROUS_MS } from './rig.mjs';

const require = createRequire(import.meta.url);
const mqtt = require('mqtt');
const wait = { timeout: GENEROUS_MS };
const COMMENT = 'проверено нарядом: <img src=x onerror="window.pwned=1"> <b>никого</b>';

test('two operators and a real recorder: an alarm taken in one page shows in the other, survives a reload and a later page, and is journalled and reported', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  // The site's recorders log in as the site.
  for (const login of ['north', 'ivanov', 'petrov']) execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, login, login + '-pw']);
  const acl = shippedAcl(stack.dir, ['ivanov', 'petrov']);
  const broker = stack.add(new Broker(stack.dir, 'site', `allow_anonymous false\npassword_file ${passwords}\nacl_file ${acl}`));
  await broker.start();

  // What the recorder publishes, heard as an operator hears it.
  const watcher = await mqtt.connectAsync(broker.url, { protocolVersion: 5, username: 'petrov', password: 'petrov-pw' });
  t.after(() => watcher.endAsync());
  const heard = [];
  watcher.on('message', (topic, payload) => heard.push({ topic, text: payload.toString() }));
  await watcher.subscribeAsync(['tarvin9/+/+/event', 'tarvin9/+/+/history/#'], { qos: 1 });
  const events = (name) => heard.filter((m) => m.topic.endsWith('/event')).map((m) => JSON.parse(m.text)).filter((e) => e.event === name);

  const sim = stack.add(new Sim(stack.dir, 'gate'));
  await sim.start();
  const recorder = stack.add(new Recorder(stack.dir, sim, 'north', 'gate', `mqtt://north@127.0.0.1:${broker.port}`));
  recorder.start({ TARVIN_MQTT_PASSWORD: 'north-pw' });

  // The recorder's start is the first thing it puts in its history.
  await until(() => heard.some((m) => m.text !== '' && /\/history\/link\//.test(m.topic)), "the recorder's history");

  const browser = stack.add(await launchBrowser(stack.dir));
  const errors = [];
  const open = async (login) => {
    const page = await browser.newPage();
    page.on('pageerror', (e) => errors.push(e.message));
    await page.addInitScript(() => {
      const create = AudioContext.prototype.createOscillator;
      window.tones = 0;
      AudioContext.prototype.createOscillator = function () { ++window.tones; return create.call(this); };
    });
    await page.goto(broker.pageUrl);
    await logIn(page, login);
    return page;
  };
  const logIn = async (page, login) => {
    await page.locator('#login:not([hidden])').waitFor(wait);
    await page.locator('#login-user').fill(login);
    await page.locator('#login-password').fill(login + '-pw');
    await page.getByRole('button', { name: 'Подключиться' }).click();
    await page.locator('#connection[data-state="on"]').waitFor(wait);
  };
  const banner = (page) => page.locator('#banner-list li').allTextContents();
  const send = (page) => page.getByRole('button', { name: 'Отправить' }).click();
  const ackLine = (page) => page.locator('#events .event-alarm_begin[data-ack="done"] .event-ack');
  const a = await open('ivanov');
  const b = await open('petrov');
  await a.locator('.tile[data-link="up"][data-alarm="quiet"]').waitFor(wait);

  // Two alarms, the first over before anybody took it: both await, oldest first.
  sim.command('intrusion 3');
  await until(() => events('alarm_end').length === 1, 'the first alarm over');
  sim.command('intrusion 3');
  await until(() => events('alarm_end').length === 2, 'the second alarm over');
  const [first, second] = events('alarm_begin');
  for (const page of [a, b]) {
    await until(async () => (await banner(page)).length === 2, 'both alarms in the banner');
    assert.match((await banner(page))[0], /^north \/ gate: тревога с .* \(\d+ (с|мин) назад, закончилась\)$/);
    assert.equal(await page.locator('#banner-list li').first().getAttribute('data-key'), 'north/gate|' + first.time);
  }
  await b.locator('#filter-kind').selectOption({ label: 'неподтверждённые' });
  await until(async () => (await b.locator('#events .event-alarm_begin').count()) === 2, 'both awaiting in the list');
  await b.locator('#filter-kind').selectOption({ label: 'все события' });

  // "Принято" takes the oldest: a comment is required, 500 characters at most.
  await a.getByRole('button', { name: 'Принято' }).click();
  await send(a);
  await a.locator('#ack-error', { hasText: 'Нужен комментарий' }).waitFor(wait);
  await a.locator('#ack-comment').fill('я'.repeat(501));
  await send(a);
  await a.locator('#ack-error', { hasText: 'длиннее 500 знаков (501)' }).waitFor(wait);
  // Petrov is writing about the same alarm when Ivanov's acknowledgement comes.
  await b.getByRole('button', { name: 'Принято' }).click();
  await b.locator('#ack-comment').fill('проверено');
  await a.locator('#ack-comment').fill(COMMENT);
  await send(a);
  await a.locator('#ack-status', { hasText: 'принято: ivanov' }).waitFor(wait);
  await b.locator('#ack-status', { hasText: 'уже принято: ivanov' }).waitFor(wait);
  const shown = new RegExp('^принято: ivanov в .* — ' + COMMENT.replace(/[^\wа-я :]/g, '.') + '$');
  for (const page of [a, b]) {
    await until(async () => (await banner(page)).length === 1, 'the first taken');
    assert.match(await ackLine(page).textContent(), shown);
  }
  // What Petrov was told of the first is not said under the second's form.
  await b.getByRole('button', { name: 'Принято' }).click();
  await b.locator('#ack-form:not([hidden])').waitFor(wait);
  assert.ok(await b.locator('#ack-status').isHidden());
  await b.getByRole('button', { name: 'Отмена' }).click();

  // A reload: the recorder's history alone says who took it.
  await b.reload();
  await logIn(b, 'petrov');
  await ackLine(b).waitFor(wait);
  assert.match(await ackLine(b).textContent(), shown);
  await until(async () => (await banner(b)).length === 1, 'the second still awaiting after a reload');

  // A page opened later knows the night from the history only, and calls until the second is taken.
  const c = await open('ivanov');
  await until(async () => (await banner(c)).length === 1, 'the second alarm in a fresh page');
  assert.equal(await c.locator(`#banner-list li[data-key="north/gate|${second.time}"]`).count(), 1);
  assert.match(await ackLine(c).textContent(), shown);
  await c.locator('h1').click(); // a browser lets a page sound after a click
  await until(async () => (await c.evaluate(() => window.tones)) >= 6, 'the tones again');
  await c.getByRole('button', { name: 'Принято' }).click();
  await c.getByRole('button', { name: 'плановые работы' }).click();
  await send(c);
  for (const page of [a, b, c]) await page.locator('#banner').waitFor({ state: 'hidden', ...wait });
  const tones = await c.evaluate(() => window.tones);
  await new Promise((r) => setTimeout(r, 11000));
  assert.equal(await c.evaluate(() => window.tones), tones, 'silent once all are taken');
  for (const page of [a, b, c])
    assert.deepEqual(await page.evaluate(() => [window.pwned, document.querySelectorAll('#events img, #events b').length]), [undefined, 0]);

  // The journal and the report hold the acknowledgement of the first alarm only.
  await recorder.stop();
  const journal = readFileSync(recorder.journal, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l));
  const acks = journal.filter((e) => e.event === 'ack');
  assert.deepEqual(acks.map((e) => [e.alarm, e.alarm_time, e.operator, e.comment]), [
    [first.seq, first.time, 'ivanov', COMMENT],
    [second.seq, second.time, 'ivanov', 'плановые работы'],
  ]);
  assert.equal(journal.filter((e) => e.event === 'ack_refused').length, 0);
  const report = JSON.parse(execFileSync(oscPath, ['report', recorder.journal, '--json'], { encoding: 'utf8' }));
  assert.deepEqual(report.alarms.map((x) => [x.ack.operator, x.ack.comment, x.ack.seconds_to_ack]), acks.map((e) => [e.operator, e.comment, e.seconds_to_ack]));
  assert.equal(report.acknowledgements.acknowledged, 2);
  assert.deepEqual(errors, []);
});
