// The README's picture of acknowledging: three sensors of a site, played as
// their recorders publish (bench/player.mjs), on a broker with the shipped
// ACL; the night's alarms, one acknowledged by petrov with his comment, and
// ivanov choosing the comment for the oldest one left.
//   node tools/screenshot_ack.mjs OUTPUT.png
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { Stack, Broker, launchBrowser, until, shippedAcl } from '../tests/rig.mjs';
import { Player } from '../bench/player.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const output = process.argv[2];
if (!output) {
  console.error('usage: node tools/screenshot_ack.mjs OUTPUT.png');
  process.exit(2);
}
const stack = new Stack();
try {
  const passwords = join(stack.dir, 'passwd');
  writeFileSync(passwords, '');
  const site = 'Северный КПП'; // its recorders' login
  for (const login of [site, 'ivanov', 'petrov']) execFileSync('/usr/bin/mosquitto_passwd', ['-b', passwords, login, 'pw']);
  const acl = shippedAcl(stack.dir, ['ivanov', 'petrov']);
  const broker = stack.add(new Broker(stack.dir, 'site', `allow_anonymous false\npassword_file ${passwords}\nacl_file ${acl}`));
  await broker.start();
  const client = await mqtt.connectAsync(broker.url, { protocolVersion: 5, username: site, password: 'pw' });
  stack.add({ close: () => client.endAsync() });
  const players = ['Ворота', 'Забор-1', 'Забор-2'].map((s) => new Player(client, site, s));
  for (const p of players) await p.start();
  const now = Date.now();
  const first = await players[1].alarm(now - 3 * 3600e3);
  await players[1].calm();
  await players[1].accept({ login: 'petrov', body: { alarm: first.seq, alarm_time: first.time, comment: 'ложная: животное — лиса у забора, следы на снегу', time: new Date(now - 3 * 3600e3 + 240e3).toISOString(), id: 'shot0001' } });
  await players[0].alarm(now - 47 * 60e3);
  await players[0].calm();
  await players[2].alarm(now - 2 * 60e3);

  const page = await stack.add(await launchBrowser(stack.dir)).newPage({ viewport: { width: 1440, height: 760 } });
  await page.goto(broker.pageUrl);
  await page.locator('#login:not([hidden])').waitFor();
  await page.locator('#login-user').fill('ivanov');
  await page.locator('#login-password').fill('pw');
  await page.getByRole('button', { name: 'Подключиться' }).click();
  await until(async () => (await page.locator('#banner-list li').count()) === 2, 'the banner');
  await page.getByRole('button', { name: 'Принято' }).click();
  await page.getByRole('button', { name: 'проверено нарядом' }).click();
  await page.locator('#ack-comment').fill('проверено нарядом: ворота закрыты, следов нет');
  await page.waitForTimeout(500);
  await page.screenshot({ path: output });
  console.log('written ' + output);
} finally {
  await stack.close();
}
