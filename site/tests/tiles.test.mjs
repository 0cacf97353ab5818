// A tile as the view draws it from the messages, over a small stand-in for
// the DOM (the view sets only text, data and children): what the browser
// tests cannot reach without a recorder of every kind.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);

class FakeElement {
  constructor(tag) {
    Object.assign(this, { tag, className: '', textContent: '', hidden: false, dataset: {}, children: [] });
  }
  append(...children) { this.children.push(...children); }
  replaceChildren(...children) { this.children = children; }
  addEventListener() {}
  // Every piece of text under it that is not hidden, in order.
  shown() {
    if (this.hidden) return [];
    return this.children.length ? this.children.flatMap((c) => c.shown()) : this.textContent ? [this.textContent] : [];
  }
}
const ids = new Map();
globalThis.document = {
  createElement: (tag) => new FakeElement(tag),
  getElementById: (id) => ids.get(id) ?? ids.set(id, new FakeElement('div')).get(id),
};
globalThis.TarvinEventText = require('../js/event_text.js');
globalThis.TarvinFleet = require('../js/fleet.js');
require('../js/view.js');
const { Fleet } = globalThis.TarvinFleet;
const { View } = globalThis.TarvinView;

const bytes = (value) => new TextEncoder().encode(JSON.stringify(value));
const T0 = Date.parse('2026-12-10T04:05:00.000+03:00');
const DOWN = 'ПЦН: нет связи';

test("a tile says the centre cannot be reached while its recorder's status says so, and only then", () => {
  const fleet = new Fleet();
  fleet.connected = true;
  const view = new View(fleet, () => {}, () => {});
  const status = (sensor, centre) => {
    fleet.apply(`tarvin9/north/${sensor}/state`, bytes({ link: 'up', firmware: '2.0', since: 't' }), '', T0);
    const body = { alarm_bits: 0, balance: null, balance_value: null, since: 't', alarm: 'off', walk_test: null, detections: null };
    fleet.apply(`tarvin9/north/${sensor}/status`, bytes(centre === undefined ? body : { ...body, centre }), '', T0);
  };
  const tileText = (sensor) => view.tiles.get('north/' + sensor).root.shown();
  status('gate', 'down');
  status('fence', null); // no centre, or no answer yet
  status('yard', 'up');
  status('older', undefined); // a recorder from before the field
  view.renderTiles(T0);
  assert.ok(tileText('gate').includes(DOWN), tileText('gate').join(' | '));
  assert.equal(view.tiles.get('north/gate').root.children.find((c) => c.className === 'tile-centre').hidden, false);
  for (const sensor of ['fence', 'yard', 'older'])
    assert.ok(!tileText(sensor).some((t) => t.includes('ПЦН')), sensor + ': ' + tileText(sensor).join(' | '));
  // The path back: the words go with the next status.
  status('gate', 'up');
  view.renderTiles(T0);
  assert.ok(!tileText('gate').some((t) => t.includes('ПЦН')), tileText('gate').join(' | '));
});
