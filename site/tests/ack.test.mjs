// Two operators, two logins, two pages on a broker with the shipped ACL: an
// alarm acknowledged in one page shows in the other, the second press on it
// is told who was first, a reload and a fresh page keep it from the
// recorder's retained history. The recorder is played by an MQTT client that
// publishes and answers as a recorder does (player.mjs).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, launchBrowser, until, siteDir, GENEROUS_MS } from './rig.mjs';
import { Player, readPress, iso } from './player.mjs';

const require = createRequire(import.meta.url);
const mqtt = require('mqtt');
const wait = { timeout: GENEROUS_MS };
const HOSTILE = '<img src=x onerror="window.pwned=1"> & <b>ветер</b>';
test('two operators acknowledge over the broker: seen by both, the second told who was first, kept on reload and on a fresh page', async (t) => {
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

  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5, username: 'recorder', password: 'recorder-pw' });
  t.after(() => client.endAsync());
  const presses = [];
  client.on('message', (topic, payload) => presses.push(readPress(topic, payload)));
  await client.subscribeAsync('tarvin9/+/+/ack/+', { qos: 1 });
  const gate = new Player(client, 'north', 'gate');
  const fence = new Player(client, 'north', 'fence');
  await gate.start();
  await fence.start();
  // Broken histories and acknowledgements first: the page reads past them.
  await gate.publish('history/alarm/99', '{"events":', true);
  await fence.publish('history/link/3', { events: 5 }, true);
  await gate.publish('event', { time: iso(Date.now()), seq: 90, event: 'ack', alarm: 'x', alarm_time: 5, operator: {} });
  const a = await gate.alarm(Date.now() - 125e3);
  await gate.calm();
  const b = await fence.alarm(Date.now() - 65e3);

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
    await page.locator('#login:not([hidden])').waitFor(wait);
    await page.locator('#login-user').fill(login);
    await page.locator('#login-password').fill(login + '-pw');
    await page.getByRole('button', { name: 'Подключиться' }).click();
    await page.locator('#connection[data-state="on"]').waitFor(wait);
    return page;
  };
  const banner = (page) => page.locator('#banner-list li').allTextContents();
  const send = (page) => page.getByRole('button', { name: 'Отправить' }).click();
  const ivanov = await open('ivanov');
  const petrov = await open('petrov');

  // Both see both alarms, the oldest first with its age; the gate's ended unacknowledged.
  for (const page of [ivanov, petrov]) {
    await until(async () => (await banner(page)).length === 2, 'both alarms in the banner');
    const [first, second] = await banner(page);
    assert.match(first, /^north \/ gate: тревога с .* \(2 мин назад, закончилась\)$/);
    assert.match(second, /^north \/ fence: тревога с .* \(1 мин назад\)$/);
  }

  // "Принято" takes the oldest; a comment is required, and 500 characters at most.
  await ivanov.getByRole('button', { name: 'Принято' }).click();
  assert.match(await ivanov.locator('#ack-alarm').textContent(), /north \/ gate, тревога с /);
  await send(ivanov);
  await ivanov.locator('#ack-error', { hasText: 'Нужен комментарий' }).waitFor(wait);
  await ivanov.locator('#ack-comment').fill('я'.repeat(501));
  await send(ivanov);
  await ivanov.locator('#ack-error', { hasText: 'длиннее 500 знаков (501)' }).waitFor(wait);
  await ivanov.getByRole('button', { name: 'ложная: ветер' }).click();
  await send(ivanov);
  await until(() => presses.length === 1, "ivanov's press");
  // Both press before the recorder answers: petrov's comes second.
  await petrov.getByRole('button', { name: 'Принято' }).click();
  await petrov.locator('#ack-comment').fill('проверено нарядом');
  await send(petrov);
  await until(() => presses.length === 2, "petrov's press");
  assert.deepEqual(presses.map((p) => p.topic), ['tarvin9/north/gate/ack/ivanov', 'tarvin9/north/gate/ack/petrov']);
  const body = presses[0].body;
  assert.deepEqual(Object.keys(body).sort(), ['alarm', 'alarm_time', 'comment', 'id', 'time']);
  assert.deepEqual([body.alarm, body.alarm_time, body.comment], [a.seq, a.time, 'ложная: ветер']);
  assert.match(body.id, /^[A-Za-z0-9_-]{8,64}$/);
  assert.notEqual(body.id, presses[1].body.id);
  await gate.accept(presses[0]);
  await gate.refuse(presses[1], 'ivanov');

  for (const page of [ivanov, petrov]) {
    await until(async () => (await banner(page)).length === 1, 'the gate acknowledged');
    assert.match((await banner(page))[0], /^north \/ fence/);
    await page.locator('#events .event-alarm_begin[data-ack="done"] .event-ack', { hasText: /^принято: ivanov в .* — ложная: ветер$/ }).waitFor(wait);
  }
  await ivanov.locator('#ack-status', { hasText: 'принято: ivanov' }).waitFor(wait);
  await petrov.locator('#ack-status', { hasText: 'уже принято: ivanov' }).waitFor(wait);

  // Petrov takes the fence from the "неподтверждённые" list, with markup in his comment.
  await petrov.locator('#filter-kind').selectOption({ label: 'неподтверждённые' });
  assert.deepEqual(await petrov.locator('#events .event-where').allTextContents(), ['north / fence']);
  await petrov.getByRole('button', { name: 'Принять…' }).click();
  await petrov.locator('#ack-comment').fill(HOSTILE);
  await send(petrov);
  await until(() => presses.length === 3, "petrov's second press");
  assert.deepEqual([presses[2].body.alarm, presses[2].body.comment], [b.seq, HOSTILE]);
  await fence.accept(presses[2]);
  for (const page of [ivanov, petrov]) await page.locator('#banner').waitFor({ state: 'hidden', ...wait });
  await ivanov.locator('#events .event-ack', { hasText: 'принято: petrov' }).waitFor(wait);
  await until(async () => (await petrov.locator('#events .event-where').count()) === 0, 'nothing awaiting');

  // A reload keeps it: the history alone says who took what.
  await ivanov.reload();
  await ivanov.locator('#login-user').fill('ivanov');
  await ivanov.locator('#login-password').fill('ivanov-pw');
  await ivanov.getByRole('button', { name: 'Подключиться' }).click();
  await ivanov.locator('#events .event-ack', { hasText: 'принято: petrov' }).waitFor(wait);
  await ivanov.locator('#events .event-ack', { hasText: 'принято: ivanov' }).waitFor(wait);
  await ivanov.locator('#events .event-kind', { hasText: 'тревога принята' }).nth(1).waitFor(wait);
  assert.ok(await ivanov.locator('#banner').isHidden());
  assert.equal(await ivanov.locator('#events img, #events b').count(), 0);
  assert.match(await ivanov.locator('#events').textContent(), /«<img src=x onerror="window.pwned=1"> & <b>ветер<\/b>»/);
  await ivanov.close();
  await petrov.close();

  // While no page is open: an alarm begins and ends, and a walk test's detection.
  const c = await gate.alarm(Date.now() - 1000);
  await gate.calm();
  const d = await fence.alarm(Date.now(), { walk_test: 1, detection: 1 });
  await fence.calm();

  // A fresh page: the night from the histories, the alarm in the banner and calling until taken.
  const morning = await open('ivanov');
  await until(async () => (await banner(morning)).length === 1, 'the night in the banner');
  assert.match((await banner(morning))[0], /^north \/ gate: тревога с .*закончилась\)$/);
  await until(async () => (await morning.locator('#events .event-alarm_begin').count()) === 4, 'the night in the list');
  await morning.locator('h1').click(); // a browser lets a page sound after a click
  await until(async () => (await morning.evaluate(() => window.tones)) >= 6, 'the tones again');
  // The detection may be taken without a comment.
  await morning.locator('#filter-kind').selectOption({ label: 'неподтверждённые' });
  await morning.locator('.event-detection .event-accept').click();
  await send(morning);
  await until(() => presses.length === 4, 'the detection taken');
  assert.deepEqual([presses[3].body.alarm, presses[3].body.comment], [d.seq, '']);
  await morning.getByRole('button', { name: 'Принято' }).click();
  await morning.getByRole('button', { name: 'плановые работы' }).click();
  await send(morning);
  await until(() => presses.length === 5, 'the night alarm taken');
  assert.equal(presses[4].body.alarm, c.seq);
  await fence.accept(presses[3]);
  await gate.accept(presses[4]);
  await morning.locator('#banner').waitFor({ state: 'hidden', ...wait });
  const tones = await morning.evaluate(() => window.tones);
  await new Promise((r) => setTimeout(r, 11000));
  assert.equal(await morning.evaluate(() => window.tones), tones, 'silent once all are taken');
  assert.deepEqual(await morning.evaluate(() => [window.pwned, document.querySelectorAll('.event-accept').length]), [undefined, 0]);
  assert.deepEqual(errors, []);
});
