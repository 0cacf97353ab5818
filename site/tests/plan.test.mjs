// The site's plan in a real browser, on a broker with the shipped ACL and
// real recorders on simulated sensors: the administrator draws two zones and
// saves them; an operator's page shows them in their sensors' states (read
// from the screen's pixels as well as from the page), follows an alarm, its
// acknowledgement and a lost link, is refused a plan of its own, and reports
// the plans it cannot draw instead of drawing them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, shippedAcl, pageCopy, GENEROUS_MS } from './rig.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const wait = { timeout: GENEROUS_MS };
const PICTURE =
  '<svg xmlns="http://www.w3.org/2000/svg" width="1000" height="600">' +
  '<rect width="1000" height="600" fill="#f4f1e8"/><rect x="200" y="180" width="300" height="200" fill="#c9c2b0"/></svg>';
const GATE = [[100, 100], [500, 100]];
const FENCE = [[600, 500], [900, 500]];

// Where a point of the picture is on the screen.
const onScreen = (page, [x, y]) =>
  page.evaluate(([x, y]) => {
    const p = new DOMPoint(x, y).matrixTransform(document.getElementById('plan-svg').getScreenCTM());
    return [Math.round(p.x), Math.round(p.y)];
  }, [x, y]);

// The colour of the screenshot's pixel at each of the points, as a word.
async function colours(page, points) {
  const at = await Promise.all(points.map((p) => onScreen(page, p)));
  const png = (await page.screenshot()).toString('base64');
  const rgb = await page.evaluate(async ({ png, at }) => {
    const img = new Image();
    img.src = 'data:image/png;base64,' + png;
    await img.decode();
    const c = new OffscreenCanvas(img.width, img.height).getContext('2d');
    c.drawImage(img, 0, 0);
    return at.map(([x, y]) => [...c.getImageData(x, y, 1, 1).data.slice(0, 3)]);
  }, { png, at });
  return rgb.map(([r, g, b]) =>
    r > 120 && g < r / 2 && b < r / 2 ? 'red' : g > 120 && r < g * 0.6 && b < g * 0.6 ? 'green' : Math.max(r, g, b) - Math.min(r, g, b) < 30 && r > 100 ? 'grey' : `rgb(${r},${g},${b})`
  );
}

test('the admin draws two zones; an operator sees them follow an alarm, its acknowledgement and a lost link, is refused a plan, and is told of plans that cannot be drawn', async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  for (const login of ['north', 'admin', 'ivanov']) execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, login, login + '-pw']);
  const www = pageCopy(stack.dir, { 'plans/north.svg': PICTURE });
  const acl = `allow_anonymous false\npassword_file ${passwords}\nacl_file ${shippedAcl(stack.dir, ['ivanov'])}`;
  const broker = stack.add(new Broker(stack.dir, 'site', acl, www));
  await broker.start();
  const sims = {};
  for (const sensor of ['gate', 'fence']) {
    sims[sensor] = stack.add(new Sim(stack.dir, sensor));
    await sims[sensor].start();
    stack.add(new Recorder(stack.dir, sims[sensor], 'north', sensor, `mqtt://north@127.0.0.1:${broker.port}`)).start({ TARVIN_MQTT_PASSWORD: 'north-pw' });
  }
  const browser = stack.add(await launchBrowser(stack.dir, { screens: true }));
  const errors = [];
  const open = async (login) => {
    const page = await browser.newPage();
    page.on('pageerror', (e) => errors.push(e.message));
    await page.goto(broker.pageUrl);
    await page.locator('#login-user').fill(login);
    await page.locator('#login-password').fill(login + '-pw');
    await page.getByRole('button', { name: 'Подключиться' }).click();
    await page.locator('.tile[data-alarm="quiet"]').nth(1).waitFor(wait);
    await page.locator('#show-plan').click();
    return page;
  };
  const click = async (page, point) => page.mouse.click(...(await onScreen(page, point)));

  // The admin draws: a click starts a zone, the sensor and label are chosen,
  // a stray point deleted, another dragged into place; then a second zone.
  const admin = await open('admin');
  await admin.locator('#plan-none-text', { hasText: 'У объекта «north» нет плана.' }).waitFor(wait);
  await admin.getByRole('button', { name: 'Изменить план…' }).click();
  await admin.locator('#plan-edit:not([hidden])').waitFor(wait);
  for (const p of [GATE[0], [450, 100], [450, 400]]) await click(admin, p);
  await admin.locator('#plan-sensor').selectOption('gate');
  await admin.locator('#plan-label').fill('Ворота');
  await admin.getByRole('button', { name: 'Удалить точку' }).click(); // the last point placed is the chosen one
  const from = await onScreen(admin, [450, 100]);
  const to = await onScreen(admin, GATE[1]);
  await admin.mouse.move(...from);
  await admin.mouse.down();
  await admin.mouse.move(...to, { steps: 5 });
  await admin.mouse.up();
  await admin.getByRole('button', { name: 'Новая зона' }).click();
  for (const p of FENCE) await click(admin, p);
  await admin.getByRole('button', { name: 'Сохранить' }).click();
  await admin.locator('#plan-status', { hasText: 'План объекта «north» сохранён.' }).waitFor(wait);
  await admin.locator('.plan-zone').nth(1).waitFor(wait);

  // What the broker keeps: the picture's own pixels, a click's worth from where they were aimed.
  const reader = await mqtt.connectAsync(broker.url, { protocolVersion: 5, username: 'admin', password: 'admin-pw' });
  t.after(() => reader.endAsync());
  const kept = new Promise((r) => reader.on('message', (topic, payload) => r(JSON.parse(payload))));
  await reader.subscribeAsync('tarvin9/north/plan');
  const saved = await kept;
  assert.deepEqual(saved.zones.map((z) => [z.sensor, z.label, z.points.length]), [['gate', 'Ворота', 2], ['fence', 'fence', 2]]);
  const near = (got, want) => got.every((p, i) => p.every((c, k) => Math.abs(c - want[i][k]) <= 2));
  assert.ok(near(saved.zones[0].points, GATE) && near(saved.zones[1].points, FENCE), JSON.stringify(saved));

  // The operator's page: both zones quiet, green on the screen.
  const page = await open('ivanov');
  const zone = (sensor, state) => page.locator(`.plan-zone[data-sensor="${sensor}"][data-state="${state}"]`).waitFor(wait);
  await zone('gate', 'quiet');
  await zone('fence', 'quiet');
  assert.deepEqual(await colours(page, [...GATE, ...FENCE]), ['green', 'green', 'green', 'green']);
  assert.equal(await page.locator('.plan-zone[data-sensor="gate"] .zone-label').textContent(), 'Ворота — спокойно');

  // An alarm on the gate: its zone alarmed and red, the fence's still quiet.
  sims.gate.command('intrusion 120');
  await zone('gate', 'alarm');
  assert.deepEqual(await colours(page, [...GATE, ...FENCE]), ['red', 'red', 'green', 'green']);
  // The banner's alarm shows its zone in the middle of the plan; the zone opens the sensor's detail.
  await page.locator('#plan-fit').click();
  await page.locator('#banner-list li').click();
  const box = (await page.locator('#plan-svg').getAttribute('viewBox')).split(' ').map(Number);
  assert.deepEqual([box[0] + box[2] / 2, box[1] + box[3] / 2].map(Math.round), [300, 100]);
  await click(page, [300, 100]);
  await page.locator('#detail-title', { hasText: 'north / gate' }).waitFor(wait);

  // Acknowledged, the zone says so; its link lost, it turns grey.
  await page.getByRole('button', { name: 'Принято' }).click();
  await page.getByRole('button', { name: 'ложная: ветер' }).click();
  await page.getByRole('button', { name: 'Отправить' }).click();
  await zone('gate', 'acked');
  sims.gate.command('silence 600');
  await zone('gate', 'lost');
  await page.locator('#plan-fit').click();
  assert.deepEqual(await colours(page, [...GATE, FENCE[0]]), ['grey', 'grey', 'green']);

  // An operator may not keep a plan: the broker refuses, the page says so.
  await page.getByRole('button', { name: 'Изменить план…' }).click();
  await page.getByRole('button', { name: 'Сохранить' }).click();
  await page.locator('#plan-status', { hasText: 'брокер не разрешает входу «ivanov» записывать планы' }).waitFor(wait);
  await page.getByRole('button', { name: 'Отмена' }).click();

  // Plans that cannot be drawn are reported, and nothing of them is drawn.
  const publishPlan = (plan) => reader.publishAsync('tarvin9/north/plan', JSON.stringify(plan), { qos: 1, retain: true });
  const reported = async (text) => {
    await page.locator('#plan-problem:not([hidden])', { hasText: text }).waitFor(wait);
    assert.equal(await page.locator('.plan-zone').count(), 0);
    assert.ok(await page.locator('#plan-body').isHidden());
  };
  await publishPlan({ ...saved, zones: [saved.zones[0], { sensor: 'fence', points: [[600, 500], [1200, 500]] }] });
  await reported('План объекта «north» не показан: зона 2 (fence): точка 2 (1200, 500) вне картинки 1000×600.');
  await publishPlan({ ...saved, image: 'plans/north.png' });
  await reported("картинка plans/north.png не загружается: на брокере нет такого файла");
  await publishPlan({ ...saved, zones: saved.zones.map((z) => ({ ...z, colour: 'red' })) });
  await reported('неизвестное поле «colour»');
  assert.deepEqual(errors, []);
});
