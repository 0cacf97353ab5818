// The README's picture of the page: two sites of recorders on simulators, one
// sensor alarmed, one without its link, the alarmed one's detail open.
//   node tools/screenshot.mjs OUTPUT.png   (TARVIN_BUILD: the native build, default ../build)
import { Stack, Broker, Sim, Recorder, launchBrowser, until, GENEROUS_MS } from '../tests/rig.mjs';

const output = process.argv[2];
if (!output) {
  console.error('usage: node tools/screenshot.mjs OUTPUT.png');
  process.exit(2);
}
const SENSORS = [
  ['Северный КПП', 'Ворота'],
  ['Северный КПП', 'Забор-1'],
  ['Северный КПП', 'Забор-2'],
  ['Склад №3', 'Периметр-восток'],
  ['Склад №3', 'Периметр-запад'],
];
const TREND_SECONDS = 75;

const stack = new Stack();
try {
  const broker = stack.add(new Broker(stack.dir, 'site'));
  await broker.start();
  const sims = [];
  for (const [site, sensor] of SENSORS) {
    const sim = stack.add(new Sim(stack.dir, 's' + sims.length, ['--seed', String(sims.length + 1)]));
    await sim.start();
    sims.push(sim);
    // No summary within the picture's two minutes: the trend is the samples'.
    const extra = ['--mqtt-samples', '2', '--summary-every', '600'];
    stack.add(new Recorder(stack.dir, sim, site, sensor, broker.url, extra)).start();
  }
  const browser = stack.add(await launchBrowser(stack.dir));
  const page = await browser.newPage({ viewport: { width: 1440, height: 1000 } });
  await page.goto(broker.pageUrl);
  await until(async () => (await page.locator('.tile[data-link="up"]').count()) === SENSORS.length, 'every tile up');

  // A minute of signal with a short intrusion on the gate, for the trend.
  sims[0].command('intrusion 2');
  await new Promise((r) => setTimeout(r, 15000));
  sims[3].command('balance 0x10');
  await new Promise((r) => setTimeout(r, (TREND_SECONDS - 15) * 1000));
  sims[4].command('silence 600');
  await page.locator('.tile[data-link="down"]').waitFor({ timeout: GENEROUS_MS });
  sims[0].command('intrusion 8');
  await page.locator('#banner:not([hidden])').waitFor({ timeout: GENEROUS_MS });
  // The second alarm's oscillogram.
  await until(async () => (await page.locator('#events .event-saved').count()) >= 2, 'the second oscillogram');
  await page.locator('.tile[data-sensor="Ворота"]').click();
  await page.locator('#osc canvas').waitFor({ timeout: GENEROUS_MS });
  await page.waitForTimeout(300);
  await page.screenshot({ path: output, fullPage: true });
  console.log('written ' + output);
} finally {
  await stack.close();
}
