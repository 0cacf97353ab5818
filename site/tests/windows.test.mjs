// The page fed by the recorder for Windows, run under Wine (scripts/windows.sh
// sets TARVIN_WINDOWS_RECORDER, WINEPREFIX and the WINEPATH of its DLLs): a
// guard post's PC beside a Linux recorder on the same broker, told apart by
// nothing but their names.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { realpathSync } from 'node:fs';
import { join } from 'node:path';
import { Stack, Broker, Sim, Recorder, launchBrowser, GENEROUS_MS } from './rig.mjs';

const exe = process.env.TARVIN_WINDOWS_RECORDER;
const wait = { timeout: 3 * GENEROUS_MS };
const tile = (site, sensor) => `.tile[data-site="${site}"][data-sensor="${sensor}"]`;

test('a sensor recorded on Windows beside one recorded on Linux', { skip: !exe && 'no Windows recorder: scripts/windows.sh runs this' }, async (t) => {
  const stack = new Stack();
  t.after(() => stack.close());
  const broker = stack.add(new Broker(stack.dir, 'site'));
  await broker.start();
  const linuxSim = stack.add(new Sim(stack.dir, 'linux'));
  await linuxSim.start();
  stack.add(new Recorder(stack.dir, linuxSim, 'north', 'gate', broker.url)).start();

  // COM7 of the Wine prefix is the second simulator's pseudo-terminal; Wine
  // reads the mapping when its server starts.
  const windowsSim = stack.add(new Sim(stack.dir, 'windows'));
  await windowsSim.start();
  execFileSync('wine', ['reg', 'add', 'HKLM\\Software\\Wine\\Ports', '/v', 'COM7', '/t', 'REG_SZ', '/d',
    realpathSync(windowsSim.link), '/f'], { stdio: 'ignore' });
  execFileSync('wineserver', ['-w']);
  const windows = spawn('wine', [exe, '--port', 'COM7', '--window', '100', '--journal', join(stack.dir, 'w.jsonl'),
    '--folder', join(stack.dir, 'w-osc'), '--mqtt', broker.url, '--site', 'guardpost', '--sensor', 'east'],
    { stdio: 'ignore' });
  stack.add({
    stop: async () => {
      windows.kill('SIGKILL');
      execFileSync('wineserver', ['-k']);
    },
  });

  const page = await stack.add(await launchBrowser(stack.dir)).newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(broker.pageUrl);
  await page.locator(tile('north', 'gate') + '[data-link="up"][data-alarm="quiet"]').waitFor(wait);
  await page.locator(tile('guardpost', 'east') + '[data-link="up"][data-alarm="quiet"]').waitFor(wait);
  assert.deepEqual(await page.locator('.site-name').allTextContents(), ['guardpost', 'north']);

  // An intrusion at the guard post: its banner and red tile, its oscillogram.
  windowsSim.command('intrusion 3');
  await page.locator(tile('guardpost', 'east') + '[data-alarm="alarm"]').waitFor(wait);
  assert.match(await page.locator('#banner-list').textContent(), /guardpost \/ east: тревога с /);
  await page.locator(tile('guardpost', 'east')).click();
  await page.locator('#osc[data-points="100"] canvas').waitFor(wait);
  assert.deepEqual(errors, []);
});
