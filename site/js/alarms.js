// Every alarm the page knows and its acknowledgement, as the sensors'
// recorders journalled it. An alarm is acknowledged only when its recorder's
// `ack` event says so (live on `event`, or in the retained `history`), so
// every screen shows the same; nothing is remembered in the browser. No DOM.
(function (root) {
  'use strict';

  // As many alarms a sensor as its recorder's history keeps: an older one
  // goes, acknowledged ones first.
  const KEEP_PER_SENSOR = 100;
  // Acknowledgements of alarms not (yet) known here: the alarm's beginning
  // may come later than its `ack` (a page that opened in between).
  const KEEP_STRAY_ACKS = 100;
  const COMMENT_MAX = 500; // code points, as the recorder counts them

  const isCount = (v) => Number.isInteger(v) && v >= 0;
  const str = (v) => typeof v === 'string';

  // An `ack` event's fields, or null when they are not what a recorder writes.
  function readAck(e) {
    if (!isCount(e.alarm) || !str(e.alarm_time) || !str(e.operator) || !e.operator || !str(e.comment)) return null;
    return {
      alarm: e.alarm,
      alarmTime: e.alarm_time,
      operator: e.operator,
      comment: e.comment,
      time: str(e.time) ? e.time : null,
      seconds: typeof e.seconds_to_ack === 'number' && isFinite(e.seconds_to_ack) ? e.seconds_to_ack : null,
      id: str(e.id) ? e.id : null,
    };
  }

  // Oldest first by the alarm's own time; one that cannot be read, by arrival.
  function byTime(a, b) {
    const ta = a.at;
    const tb = b.at;
    if (isNaN(ta) || isNaN(tb) || ta === tb) return a.order - b.order;
    return ta - tb;
  }

  class AlarmBook {
    constructor() {
      this.byKey = new Map(); // "site/sensor|begin time" -> alarm
      this.perSensor = new Map(); // "site/sensor" -> [alarm], as they came
      this.stray = new Map(); // alarm key -> ack
      this.counter = 0;
    }

    static key(sensorKey, time) {
      return sensorKey + '|' + time;
    }

    get(key) {
      return this.byKey.get(key);
    }

    // An alarm's beginning, from the rise of its status (`since`) or its
    // `alarm_begin` (`seq` and the event too). Says whether it is news the
    // room must hear: new, not a walk test's detection, not acknowledged.
    note(s, since, bits, { seq = null, detection = false, begin = null } = {}) {
      if (!str(since) || !since) return false;
      const key = AlarmBook.key(s.key, since);
      let a = this.byKey.get(key);
      if (a) {
        if (a.seq === null && isCount(seq)) a.seq = seq;
        if (begin && !a.begin) a.begin = begin;
        if (detection) a.detection = true;
        return false;
      }
      a = {
        key, sensorKey: s.key, site: s.site, sensor: s.name, since, at: Date.parse(since), bits,
        seq: isCount(seq) ? seq : null, begin, detection, ended: false, ack: null, order: ++this.counter,
      };
      this.byKey.set(key, a);
      if (!this.perSensor.has(s.key)) this.perSensor.set(s.key, []);
      const list = this.perSensor.get(s.key);
      list.push(a);
      const ack = this.stray.get(key);
      if (ack) {
        this.stray.delete(key);
        this.acknowledge(a, ack);
      }
      if (list.length > KEEP_PER_SENSOR) {
        // The oldest by its own time, not by arrival: a history's pieces
        // come in slot order.
        const pool = list.some((x) => x.ack) ? list.filter((x) => x.ack) : list;
        const gone = pool.reduce((oldest, x) => (byTime(x, oldest) < 0 ? x : oldest));
        list.splice(list.indexOf(gone), 1);
        this.byKey.delete(gone.key);
        if (gone === a) return false;
      }
      return !a.detection && !a.ack;
    }

    // A sensor's alarm is over (its status's bits back to 0, or `alarm_end`,
    // at `time`): the last one begun by then. It still needs its
    // acknowledgement.
    end(sensorKey, time) {
      const at = Date.parse(time);
      let last = null;
      for (const a of this.perSensor.get(sensorKey) || []) {
        if (!isNaN(at) && a.at > at) continue;
        if (!last || isNaN(a.at) || a.at >= last.at) last = a;
      }
      if (last) last.ended = true;
    }

    // An `ack` event: the alarm it names is acknowledged, by the first one
    // only. Says the alarm it acknowledged, or null.
    applyAck(sensorKey, e) {
      const ack = readAck(e);
      if (!ack) return null;
      const key = AlarmBook.key(sensorKey, ack.alarmTime);
      const a = this.byKey.get(key);
      if (!a) {
        if (!this.stray.has(key)) this.stray.set(key, ack);
        if (this.stray.size > KEEP_STRAY_ACKS) this.stray.delete(this.stray.keys().next().value);
        return null;
      }
      return this.acknowledge(a, ack) ? a : null;
    }

    acknowledge(a, ack) {
      // The pair names the alarm: a seq of another run is another alarm.
      if (a.ack || (a.seq !== null && a.seq !== ack.alarm)) return false;
      a.ack = ack;
      if (a.seq === null) a.seq = ack.alarm;
      return true;
    }

    // What the banner lists and the sound calls for: alarms, not detections,
    // without an acknowledgement, oldest first.
    unacknowledged() {
      return [...this.byKey.values()].filter((a) => !a.ack && !a.detection).sort(byTime);
    }

    // Every alarm awaiting an acknowledgement, detections too, newest first.
    open() {
      return [...this.byKey.values()].filter((a) => !a.ack).sort(byTime).reverse();
    }
  }

  // The comment an operator gives, as the recorder will take it; the reason
  // it cannot be sent, or null.
  function commentProblem(comment, detection) {
    if ([...comment].length > COMMENT_MAX) return 'too_long';
    if (!comment.trim() && !detection) return 'required';
    return null;
  }

  const api = { AlarmBook, readAck, commentProblem, COMMENT_MAX, KEEP_PER_SENSOR };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TarvinAlarms = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
