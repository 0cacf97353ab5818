// A tile as the view draws it from the messages, over a small stand-in for
// the DOM (the view sets only text, data and children).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);

class FakeElement {
  constructor() {
    Object.assign(this, { className: '', textContent: '', hidden: false, dataset: {}, children: [] });
  }
  append(...children) { this.children.push(...children); }
  replaceChildren(...children) { this.children = children; }
  addEventListener() {}
  // The text a reader sees under it: hidden parts left out.
  shown() {
    if (this.hidden) return '';
    return this.children.length ? this.children.map((c) => c.shown()).join(' | ') : this.textContent;
  }
}
const ids = new Map();
globalThis.document = {
  createElement: () => new FakeElement(),
  getElementById: (id) => ids.get(id) ?? ids.set(id, new FakeElement()).get(id),
};
globalThis.TarvinEventText = require('../js/event_text.js');
globalThis.TarvinFleet = require('../js/fleet.js');
require('../js/view.js');

test("a tile says the centre cannot be reached while its recorder's status says so, and only then", () => {
  const fleet = new globalThis.TarvinFleet.Fleet();
  fleet.connected = true;
  const view = new globalThis.TarvinView.View(fleet, () => {}, () => {});
  const status = (sensor, centre) => {
    const bytes = (value) => new TextEncoder().encode(JSON.stringify(value));
    fleet.apply(`tarvin9/north/${sensor}/state`, bytes({ link: 'up', firmware: '2.0', since: 't' }), '', 0);
    fleet.apply(`tarvin9/north/${sensor}/status`, bytes({ alarm_bits: 0, since: 't', alarm: 'off', centre }), '', 0);
    view.renderTiles(0);
    return view.tiles.get('north/' + sensor).root.shown();
  };
  assert.match(status('gate', 'down'), /\| ПЦН: нет связи \|/);
  // No centre or no answer yet (null), an older recorder (none), a path that answers.
  for (const centre of [null, undefined, 'up']) assert.doesNotMatch(status('fence', centre), /ПЦН/, String(centre));
  assert.doesNotMatch(status('gate', 'up'), /ПЦН/, 'the words go when the path answers again');
});
