// The README's picture of the plan: a site of recorders on simulators, its
// plan (a drawn yard with its fence) kept on the broker as the administrator
// saves it, an alarm at the gate, one fence without its link, one sensor on no
// plan.
//   node tools/screenshot_plan.mjs OUTPUT.png   (TARVIN_BUILD: the native build, default ../build)
import { createRequire } from 'node:module';
import { Stack, Broker, Sim, Recorder, launchBrowser, until, pageCopy, GENEROUS_MS } from '../tests/rig.mjs';

const mqtt = createRequire(import.meta.url)('mqtt');
const output = process.argv[2];
if (!output) {
  console.error('usage: node tools/screenshot_plan.mjs OUTPUT.png');
  process.exit(2);
}
const SITE = 'Северный КПП';
const SENSORS = ['Ворота', 'Забор-1', 'Забор-2', 'Забор-3'];
const ZONES = [
  { sensor: 'Ворота', label: 'Ворота', points: [[470, 100], [730, 100]] },
  { sensor: 'Забор-1', label: 'Забор восток', points: [[730, 100], [1100, 100], [1100, 700]] },
  { sensor: 'Забор-2', label: 'Забор юг и запад', points: [[1100, 700], [100, 700], [100, 100], [470, 100]] },
];

// A yard seen from above: the road to the gate, the buildings, the fence.
const PICTURE = `<svg xmlns="http://www.w3.org/2000/svg" width="1200" height="800" font-family="DejaVu Sans" font-size="22">
<rect width="1200" height="800" fill="#e9e4d6"/>
<rect x="540" y="0" width="120" height="100" fill="#b8b2a2"/>
<rect x="100" y="100" width="1000" height="600" fill="#dcd6c4" stroke="#8a8372" stroke-width="3"/>
<rect x="540" y="100" width="120" height="380" fill="#c7c0ad"/>
<rect x="180" y="170" width="260" height="160" fill="#a9a290"/><text x="310" y="258" text-anchor="middle">Склад №1</text>
<rect x="180" y="420" width="260" height="200" fill="#a9a290"/><text x="310" y="525" text-anchor="middle">Склад №2</text>
<rect x="760" y="170" width="260" height="220" fill="#a9a290"/><text x="890" y="285" text-anchor="middle">Гараж</text>
<rect x="560" y="140" width="80" height="60" fill="#8f8877"/><text x="600" y="232" text-anchor="middle" font-size="16">КПП</text>
<rect x="760" y="470" width="260" height="150" fill="#b5c99a"/><text x="890" y="550" text-anchor="middle">Газон</text>
</svg>`;

const stack = new Stack();
try {
  const www = pageCopy(stack.dir, { [`plans/${SITE}.svg`]: PICTURE });
  const broker = stack.add(new Broker(stack.dir, 'site', '', www));
  await broker.start();
  const sims = [];
  for (const sensor of SENSORS) {
    const sim = stack.add(new Sim(stack.dir, 's' + sims.length, ['--seed', String(sims.length + 1)]));
    await sim.start();
    sims.push(sim);
    stack.add(new Recorder(stack.dir, sim, SITE, sensor, broker.url)).start();
  }
  const admin = await mqtt.connectAsync(broker.url, { protocolVersion: 5 });
  stack.add({ close: () => admin.endAsync() });
  const plan = { image: `plans/${SITE}.svg`, zones: ZONES };
  await admin.publishAsync(`tarvin9/${SITE}/plan`, JSON.stringify(plan), { qos: 1, retain: true });

  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage({ viewport: { width: 1440, height: 900 } });
  await page.goto(broker.pageUrl);
  await until(async () => (await page.locator('.tile[data-link="up"]').count()) === SENSORS.length, 'every tile up');
  await page.locator('#show-plan').click();
  sims[2].command('silence 600');
  await page.locator('.plan-zone[data-state="lost"]').waitFor({ timeout: GENEROUS_MS });
  sims[0].command('intrusion 60');
  await page.locator('.plan-zone[data-state="alarm"]').waitFor({ timeout: GENEROUS_MS });
  await page.waitForTimeout(300);
  await page.screenshot({ path: output, animations: 'disabled' });
  console.log('written ' + output);
} finally {
  await stack.close();
}
