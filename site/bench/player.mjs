// A sensor's recorder played by an MQTT client, as the page's benchmark
// and its screenshot need it: retained state, status and the history's pieces (an
// alarm a slot, link changes in chunks), its journal's events, and its
// answers to acknowledgements as a recorder gives them.
const LINK_KINDS = new Set(['link_up', 'link_lost', 'port_closed', 'port_reopened', 'walk_test_begin', 'walk_test_end']);
const SLOTS = 100;
const KEEP_LINKS = 100;
const CHUNK = 25;
const KEEP_BYTES = 65536;
export const iso = (ms) => new Date(ms).toISOString();
const slotName = (i) => String(i).padStart(2, '0');

export class Player {
  constructor(client, site, sensor) {
    this.client = client;
    this.base = `tarvin9/${site}/${sensor}/`;
    this.seq = 0;
    this.slots = new Array(SLOTS).fill(null); // each an alarm's events, or null
    this.newest = -1; // the slot the last alarm took
    this.bytes = new Array(SLOTS).fill(0); // each slot's message
    this.links = [];
    this.published = new Map(); // piece -> text last published
    this.quietHistory = false; // the benchmark publishes histories itself
    this.historyEveryMs = 0; // at once after each change, or at most this often
    this.historyTimer = null;
  }
  publish(kind, body, retain = false) {
    return this.client.publishAsync(this.base + kind, typeof body === 'string' ? body : JSON.stringify(body), { qos: 1, retain });
  }
  status(bits, since, extra = {}) {
    return this.publish('status', { alarm_bits: bits, alarm: bits ? 'on' : 'off', since, walk_test: null, detections: null, ...extra }, true);
  }
  // A new alarm takes the slot after the newest; the oldest alarms go, their
  // slots cleared, until every piece together fits in 64 KiB.
  keep(e) {
    let changed = null; // the slot
    if (LINK_KINDS.has(e.event)) {
      this.links.push(e);
      if (this.links.length > KEEP_LINKS) this.links.shift();
    } else if (e.event === 'alarm_begin') {
      this.newest = changed = (this.newest + 1) % SLOTS;
      this.slots[changed] = [e];
    } else if (e.event === 'alarm_end') {
      if (this.slots[this.newest]) this.slots[(changed = this.newest)].push(e);
    } else if (e.event === 'ack') {
      changed = this.slots.findIndex((x) => x && x[0].time === e.alarm_time && x[0].seq === e.alarm);
      if (changed >= 0) this.slots[changed].push(e);
    } else return false;
    if (changed !== null && changed >= 0) this.bytes[changed] = JSON.stringify({ events: this.slots[changed] }).length;
    const links = this.links.length ? JSON.stringify({ events: this.links }).length + 40 : 0;
    while (this.bytes.reduce((n, b) => n + b, links) > KEEP_BYTES) {
      const used = this.slots.map((x, i) => [x, i]).filter(([x]) => x);
      const oldest = used.reduce((a, b) => (b[0][0].time < a[0][0].time ? b : a))[1];
      this.slots[oldest] = null;
      this.bytes[oldest] = 0;
    }
    return true;
  }
  // Every piece's text, '' for an empty one.
  pieces() {
    const out = new Map();
    this.slots.forEach((x, i) => out.set('alarm/' + slotName(i), x ? JSON.stringify({ events: x }) : ''));
    for (let c = 0; c < KEEP_LINKS / CHUNK; ++c) {
      const part = this.links.slice(c * CHUNK, (c + 1) * CHUNK);
      out.set('link/' + c, part.length ? JSON.stringify({ events: part }) : '');
    }
    return out;
  }
  // The pieces that changed since they were last published.
  async publishHistory() {
    for (const [piece, text] of this.pieces()) {
      if (text === (this.published.get(piece) || '')) continue;
      this.published.set(piece, text);
      await this.publish('history/' + piece, text, true);
    }
  }
  async event(name, fields, at = Date.now()) {
    const e = { time: iso(at), seq: ++this.seq, event: name, ...fields };
    await this.publish('event', e);
    if (this.keep(e)) {
      if (this.quietHistory) return e;
      if (!this.historyEveryMs) await this.publishHistory();
      else if (!this.historyTimer)
        this.historyTimer = setTimeout(() => {
          this.historyTimer = null;
          this.publishHistory().catch(() => {});
        }, this.historyEveryMs);
    }
    return e;
  }
  async start() {
    await this.publish('state', { link: 'up', firmware: '2.0', since: iso(Date.now()) }, true);
    await this.status(0, iso(Date.now()));
    await this.event('link_up', { firmware: '2.0' });
  }
  async alarm(at = Date.now(), fields = {}) {
    await this.status(6, iso(at));
    return this.event('alarm_begin', { alarm_bits: 6, ...fields }, at);
  }
  async calm() {
    await this.status(0, iso(Date.now()));
    return this.event('alarm_end', { alarm_bits: 6 });
  }
  accept({ login, body }) {
    const seconds = (Date.now() - Date.parse(body.alarm_time)) / 1000;
    return this.event('ack', { alarm: body.alarm, alarm_time: body.alarm_time, operator: login, comment: body.comment, pressed: body.time, seconds_to_ack: Math.round(seconds * 10) / 10, id: body.id });
  }
  refuse({ login, body }, by) {
    return this.event('ack_refused', { operator: login, alarm: body.alarm, alarm_time: body.alarm_time, id: body.id, reason: 'already_acknowledged', by });
  }
}

// A press as the player's client hears it on tarvin9/+/+/ack/+.
export function readPress(topic, payload) {
  return { topic, login: topic.split('/')[4], body: JSON.parse(payload) };
}
