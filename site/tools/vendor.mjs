// Copies the browser bundles the page loads from the locked npm packages into
// its vendor/ folder: the page never fetches anything from the internet.
//   node tools/vendor.mjs NODE_MODULES_DIR DEST_DIR
import { copyFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';

const [modules, dest] = process.argv.slice(2);
if (!modules || !dest) {
  console.error('usage: node tools/vendor.mjs NODE_MODULES_DIR DEST_DIR');
  process.exit(2);
}
const files = [
  ['mqtt/dist/mqtt.min.js', 'mqtt.min.js'],
  ['uplot/dist/uPlot.iife.min.js', 'uPlot.iife.min.js'],
  ['uplot/dist/uPlot.min.css', 'uPlot.min.css'],
  ['mqtt/LICENSE.md', 'mqtt.LICENSE.md'],
  ['uplot/LICENSE', 'uPlot.LICENSE'],
];
mkdirSync(dest, { recursive: true });
for (const [from, to] of files) copyFileSync(join(modules, from), join(dest, to));
