// A sensor's recorder played by an MQTT client, as the page's tests and
// benchmark need it: retained state, status and history, its journal's
// events, and its answers to acknowledgements as a recorder gives them.
const KEPT = new Set(['alarm_begin', 'alarm_end', 'ack', 'link_up', 'link_lost', 'walk_test_begin', 'walk_test_end']);
const KEEP_ALARMS = 100;
const KEEP_BYTES = 65536;
export const iso = (ms) => new Date(ms).toISOString();

export class Player {
  constructor(client, site, sensor) {
    this.client = client;
    this.base = `tarvin9/${site}/${sensor}/`;
    this.seq = 0;
    this.history = [];
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
  // The oldest alarms go, with their end and acknowledgement, until the last
  // 100 are left in 64 KiB.
  keep(e) {
    this.history.push(e);
    const begins = () => this.history.filter((x) => x.event === 'alarm_begin');
    while (begins().length > KEEP_ALARMS || JSON.stringify({ events: this.history }).length > KEEP_BYTES) {
      const gone = begins()[0];
      const at = this.history.indexOf(gone);
      this.history = this.history.filter((x, i) => x !== gone && !(x.event === 'ack' && x.alarm_time === gone.time) && !(i === at + 1 && x.event === 'alarm_end'));
    }
  }
  publishHistory() {
    return this.publish('history', { events: this.history }, true);
  }
  async event(name, fields, at = Date.now()) {
    const e = { time: iso(at), seq: ++this.seq, event: name, ...fields };
    await this.publish('event', e);
    if (KEPT.has(name)) {
      this.keep(e);
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
