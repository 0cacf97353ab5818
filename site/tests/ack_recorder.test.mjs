// An acknowledgement through the real recorder: a simulated sensor alarms,
// one operator acknowledges it in his page, another operator's page shows it
// and keeps it on reload, a page opened after a second alarm shows that one
// still awaiting; the recorder's journal and its report hold who took the
// first and why.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, siteDir, oscPath, GENEROUS_MS } from './rig.mjs';

const require = createRequire(import.meta.url);
const mqtt = require('mqtt');
const wait = { timeout: GENEROUS_MS };
const COMMENT = 'проверено нарядом: <b>никого</b>';

test('an alarm of a real recorder acknowledged in one page: seen in another, kept on reload, journalled and reported', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  for (const login of ['recorder', 'ivanov', 'petrov']) execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, login, login + '-pw']);
  const acl = join(stack.dir, 'acl');
  const shipped = readFileSync(join(siteDir, '..', 'packaging', 'mosquitto', 'tarvin9.acl'), 'utf8');
  writeFileSync(acl, shipped + ['ivanov', 'petrov'].map((u) => `\nuser ${u}\ntopic read tarvin9/#\n`).join(''));
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
  const recorder = stack.add(new Recorder(stack.dir, sim, 'north', 'gate', `mqtt://recorder@127.0.0.1:${broker.port}`));
  recorder.start({ TARVIN_MQTT_PASSWORD: 'recorder-pw' });

  // The link's coming up is the first thing a recorder puts in its history.
  await until(() => heard.some((m) => m.text !== '' && /\/history\/link\//.test(m.topic)), "the recorder's history");

  const browser = stack.add(await launchBrowser(stack.dir));
  const errors = [];
  const open = async (login) => {
    const page = await browser.newPage();
    page.on('pageerror', (e) => errors.push(e.message));
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
  const ackLine = (page) => page.locator('#events .event-alarm_begin[data-ack="done"] .event-ack');
  const a = await open('ivanov');
  const b = await open('petrov');
  await a.locator('.tile[data-link="up"][data-alarm="quiet"]').waitFor(wait);

  sim.command('intrusion 3');
  for (const page of [a, b]) await until(async () => (await banner(page)).length === 1, 'the alarm in the banner');
  await until(() => events('alarm_end').length === 1, 'the alarm over');
  const [first] = events('alarm_begin');

  await a.getByRole('button', { name: 'Принято' }).click();
  await a.locator('#ack-comment').fill(COMMENT);
  await a.getByRole('button', { name: 'Отправить' }).click();
  await a.locator('#ack-status', { hasText: 'принято: ivanov' }).waitFor(wait);
  const shown = new RegExp('^принято: ivanov в .* — ' + COMMENT.replace(/[<>/]/g, '.') + '$');
  await b.locator('#banner').waitFor({ state: 'hidden', ...wait });
  assert.match(await ackLine(b).textContent(), shown);

  // A reload: the recorder's history alone says who took it.
  await b.reload();
  await logIn(b, 'petrov');
  await ackLine(b).waitFor(wait);
  assert.match(await ackLine(b).textContent(), shown);
  assert.ok(await b.locator('#banner').isHidden());

  // A second alarm, over before a fresh page opens: the page knows it from the history only.
  sim.command('intrusion 3');
  await until(() => events('alarm_end').length === 2, 'the second alarm over');
  const second = events('alarm_begin')[1];
  const c = await open('ivanov');
  await until(async () => (await banner(c)).length === 1, 'the second alarm in a fresh page');
  assert.match((await banner(c))[0], /^north \/ gate: тревога с .*закончилась\)$/);
  assert.equal(await c.locator(`#banner-list li[data-key="north/gate|${second.time}"]`).count(), 1);
  await c.locator('#events .event-alarm_begin[data-ack="open"]').waitFor(wait);
  assert.match(await ackLine(c).textContent(), shown);
  assert.equal(await c.locator('#events b').count(), 0);

  // The journal and the report hold the acknowledgement of the first alarm only.
  await recorder.stop();
  const journal = readFileSync(recorder.journal, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l));
  const acks = journal.filter((e) => e.event === 'ack');
  assert.equal(acks.length, 1);
  assert.deepEqual([acks[0].alarm, acks[0].alarm_time, acks[0].operator, acks[0].comment], [first.seq, first.time, 'ivanov', COMMENT]);
  const report = JSON.parse(execFileSync(oscPath, ['report', recorder.journal, '--json'], { encoding: 'utf8' }));
  assert.equal(report.alarms.length, 2);
  assert.deepEqual([report.alarms[0].ack.operator, report.alarms[0].ack.comment], ['ivanov', COMMENT]);
  assert.equal(report.alarms[0].ack.seconds_to_ack, acks[0].seconds_to_ack);
  assert.equal(report.alarms[1].ack, null);
  assert.equal(report.acknowledgements.acknowledged, 1);
  assert.deepEqual(errors, []);
});
