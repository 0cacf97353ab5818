// What the page knows of every sensor, taken only from the broker's messages:
// the retained link state and alarm status, the journal's events, the chart
// summaries and the last oscillogram. No DOM here: the view draws what this
// holds, and the tests drive it message by message.
(function (root) {
  'use strict';
  const node = typeof module === 'object' && module.exports;
  const Oscillogram = node ? require('./oscillogram.js') : root.TarvinOscillogram;
  const { AlarmBook } = node ? require('./alarms.js') : root.TarvinAlarms;
  const { isPiece, pieceEvents, SeenEvents } = node ? require('./history.js') : root.TarvinHistory;
  const { EVENT, ALARM, WALK_END, CENTRE } = node ? require('./event_text.js') : root.TarvinEventText;

  // A sensor's link as a tile shows it: the recorder's retained `state`
  // (up, down, offline), or what the page makes of its absence or age.
  const LINK = Object.freeze({
    UP: 'up', DOWN: 'down', OFFLINE: 'offline', STALE: 'stale', UNKNOWN: 'unknown', NOCONN: 'noconn',
  });
  // Where a sensor's chart comes from: the recorder's `summary` events, or
  // the frequent `samples` an administrator may switch on.
  const CHART = Object.freeze({ SUMMARY: EVENT.SUMMARY, SAMPLES: 'samples' });
  // A status's `alarm` (on, off) before the sensor's status was read since
  // its link came: its bits say nothing.
  const UNREAD = 'unknown';

  const KEEP_EVENTS = 500; // the event list across all sensors
  const KEEP_DETECTIONS = 50; // detections' beginnings per sensor, to know their status
  const CHART_SPAN_MS = 3600e3; // a sensor's chart shows the last hour
  const KEEP_POINTS = 720;
  const SAMPLE_BUCKET_MS = 5000; // `samples` summaries are merged into 5 s points
  const STALE_AFTER_MIN_MS = 30e3;

  // Topic: tarvin9/<site>/<sensor>/<kind>, or a piece of the recorder's
  // history, tarvin9/<site>/<sensor>/history/<alarm|link>/<slot> (kind
  // 'history'); names hold no '/'. The single `history` of earlier recorders
  // is not read: its pieces are.
  function parseTopic(topic) {
    const parts = topic.split('/');
    if (parts[0] !== 'tarvin9') return null;
    if (parts.length === 4 && parts[3] !== 'history') return { site: parts[1], sensor: parts[2], kind: parts[3] };
    if (isPiece(parts)) return { site: parts[1], sensor: parts[2], kind: 'history' };
    return null;
  }

  // A signal's maximum or minimum from a summary, whichever shape it takes:
  // a number, [min, max], or {min, max, mean}. Null when absent.
  function pick(value, which) {
    if (typeof value === 'number') return value;
    if (Array.isArray(value)) {
      const v = which === 'max' ? value[value.length - 1] : value[0];
      return typeof v === 'number' ? v : null;
    }
    if (value && typeof value === 'object' && typeof value[which] === 'number') return value[which];
    return null;
  }

  // A whole count from a message, or null.
  function count(value) {
    return Number.isInteger(value) && value >= 0 ? value : null;
  }

  // An `alarm_begin` inside a walk test carries the test's number.
  function isDetection(e) {
    return e.event === EVENT.ALARM_BEGIN && count(e.walk_test) !== null;
  }

  function parseJson(text) {
    try {
      const v = JSON.parse(text);
      return v && typeof v === 'object' && !Array.isArray(v) ? v : null;
    } catch (e) {
      return null;
    }
  }

  class Fleet {
    constructor() {
      this.sensors = new Map(); // "site/sensor" -> sensor
      this.events = []; // newest first
      // Each site's own, as many again: a site's night asked for on a large
      // room's page is hours older than the fleet's newest events.
      this.siteEvents = new Map(); // site -> entries, newest first
      this.alarms = new AlarmBook();
      this.connected = false;
      // A central broker's bridges to the sites: client id -> link up. A site
      // behind a broken bridge keeps its last retained messages here.
      this.bridges = new Map();
    }

    sensor(site, name) {
      const key = site + '/' + name;
      let s = this.sensors.get(key);
      if (!s) {
        s = {
          key, site, name,
          state: null, status: null, lastEvent: null,
          periodicAt: 0, period: 0, alarmActive: false, alarmSince: null,
          // The running alarm's detection ({walkTest, number}) when it began in
          // a walk test; the beginnings of detections the events named; the
          // last walk test's end.
          detection: null, detectionTimes: [], walkEnded: null,
          seen: new SeenEvents(),
          chart: { source: null, points: [], revision: 0 },
          oscillogram: null,
        };
        this.sensors.set(key, s);
      }
      return s;
    }

    // Takes one message; says what it changed: {sensor, kind, alarmBegan, event}
    // or null for a message that is not ours or cannot be read.
    apply(topic, payload, name, now) {
      const bridge = /^\$SYS\/broker\/connection\/([^/]+)\/state$/.exec(topic);
      if (bridge) {
        this.bridges.set(bridge[1], new TextDecoder().decode(payload).trim() === '1');
        return { kind: 'bridge' };
      }
      const t = parseTopic(topic);
      if (!t) return null;
      const text = () => new TextDecoder().decode(payload);
      if (t.kind === 'oscillogram') {
        const decoded = Oscillogram.decodeMessage(payload, name);
        if (!decoded) return null;
        const s = this.sensor(t.site, t.sensor);
        s.oscillogram = Object.assign(decoded, { receivedAt: now });
        return { sensor: s, kind: t.kind };
      }
      // An empty message clears a retained topic (a history's slot no alarm
      // holds any more): there is nothing to read in it.
      const body = parseJson(text());
      if (!body) return null;
      if (t.kind === 'history') {
        const events = pieceEvents(body);
        return events ? this.applyHistory(this.sensor(t.site, t.sensor), events, now) : null;
      }
      const s = this.sensor(t.site, t.sensor);
      switch (t.kind) {
        case 'state':
          s.state = body;
          return { sensor: s, kind: t.kind };
        case 'status':
          s.status = body;
          return { sensor: s, kind: t.kind, alarmBegan: this.noteStatus(s) };
        case 'samples':
          this.notePeriodic(s, now);
          if (s.chart.source !== CHART.SUMMARY) this.addSamples(s, body);
          return { sensor: s, kind: t.kind };
        case 'event':
          return this.applyEvent(s, body, now);
        default:
          return null;
      }
    }

    // A piece of the recorder's retained history: an alarm with its end and
    // acknowledgement, or link changes, oldest first. Events seen already
    // (live, or in a piece before) are skipped as duplicates are.
    applyHistory(s, events, now) {
      const change = { sensor: s, kind: 'history', event: null, alarmBegan: false, acked: [] };
      const began = [];
      for (const e of events) {
        const one = this.applyEvent(s, e, now);
        if (!one) continue;
        change.event = change.event || one.event;
        if (one.alarmBegan) began.push(e.time);
        if (one.acked) change.acked.push(one.acked);
      }
      // News only when its acknowledgement is not further on in the history.
      change.alarmBegan = began.some((time) => {
        const a = this.alarms.get(AlarmBook.key(s.key, time));
        return a && !a.ack;
      });
      return change;
    }

    applyEvent(s, e, now) {
      if (typeof e.event !== 'string') return null;
      // QoS 1 may deliver an event twice, and the history's pieces repeat them.
      if (!s.seen.add(e)) return null;
      if (e.event === EVENT.SUMMARY) {
        this.notePeriodic(s, now);
        this.addSummary(s, e);
        return { sensor: s, kind: EVENT.SUMMARY };
      }
      const entry = { site: s.site, sensor: s.name, event: e, at: Date.parse(e.time) || now };
      // A history's older events do not hide a later one the tile shows.
      if (!s.lastEvent || !(entry.at < (Date.parse(s.lastEvent.time) || 0))) s.lastEvent = e;
      this.noteWalkTest(s, e);
      let alarmBegan = false;
      let acked = null;
      if (e.event === EVENT.ALARM_BEGIN)
        alarmBegan = this.alarms.note(s, e.time, e.alarm_bits, { seq: e.seq, detection: isDetection(e), begin: e });
      else if (e.event === EVENT.ALARM_END) this.alarms.end(s.key, e.time);
      else if (e.event === EVENT.ACK) acked = this.alarms.applyAck(s.key, e);
      // Newest first by the event's own time: events queued while a broker was
      // away arrive late, and sites may lie in other time zones.
      let site = this.siteEvents.get(s.site);
      if (!site) this.siteEvents.set(s.site, (site = []));
      for (const list of [this.events, site]) {
        let i = 0;
        while (i < list.length && list[i].at > entry.at) ++i;
        list.splice(i, 0, entry);
        if (list.length > KEEP_EVENTS) list.length = KEEP_EVENTS;
      }
      return { sensor: s, kind: 'event', event: entry, alarmBegan, acked };
    }

    // An alarm record when a sensor's alarm begins: its status's alarm bits
    // rise from 0 (a balance change during the alarm moves the status's
    // `since`, not the alarm's beginning), or an `alarm_begin` event of a
    // time not yet recorded arrives (one that began and ended while a broker
    // was away). Says whether the record is news the room must hear. An alarm
    // that begins while the status says a walk test runs, or whose
    // `alarm_begin` said it belongs to one, is a detection: no alarm record.
    noteStatus(s) {
      const bits = s.status.alarm_bits;
      if (typeof bits !== 'number' || s.status.alarm === UNREAD) return false;
      const rising = bits !== 0 && !s.alarmActive;
      if (s.alarmActive && bits === 0) this.alarms.end(s.key, s.status.since);
      s.alarmActive = bits !== 0;
      if (!s.alarmActive) s.detection = null;
      if (!rising) return false;
      // The tile's "с …": the alarm's beginning, not the status's latest
      // change (a balance change, or the status read again after a link return).
      s.alarmSince = s.status.since;
      const test = count(s.status.walk_test);
      if (test !== null) {
        s.detection = { walkTest: test, number: count(s.status.detections) };
        return false;
      }
      const named = s.detectionTimes.find((d) => d.time === s.status.since);
      if (named) {
        s.detection = named.detection;
        return false;
      }
      return this.alarms.note(s, s.status.since, bits);
    }

    // What the events tell of walk tests: which beginnings were detections,
    // and how the last test ended.
    noteWalkTest(s, e) {
      if (e.event === EVENT.WALK_TEST_BEGIN) {
        s.walkEnded = null;
      } else if (e.event === EVENT.WALK_TEST_END) {
        s.walkEnded = { walkTest: count(e.walk_test), reason: String(e.reason), time: e.time };
      } else if (isDetection(e)) {
        const detection = { walkTest: e.walk_test, number: count(e.detection) };
        s.detectionTimes.push({ time: e.time, detection });
        if (s.detectionTimes.length > KEEP_DETECTIONS) s.detectionTimes.shift();
        if (s.alarmActive && s.alarmSince === e.time) s.detection = detection;
        // A status that showed this alarm after its test had already ended
        // (both within one publication) raised it as an alarm: it was not,
        // and the alarm book hears so from the event.
      }
    }

    // Alarms, not detections, without an acknowledgement, oldest first.
    unacknowledged() {
      return this.alarms.unacknowledged();
    }

    notePeriodic(s, now) {
      if (s.periodicAt) {
        const gap = now - s.periodicAt;
        s.period = s.period ? Math.max(s.period * 0.9, gap) : gap;
      }
      s.periodicAt = now;
    }

    addSummary(s, e) {
      if (s.chart.source !== CHART.SUMMARY) s.chart = { source: CHART.SUMMARY, points: [], revision: s.chart.revision + 1 };
      const margin = pick(e.margin, 'min');
      this.addPoint(s, {
        t: Date.parse(e.time) || Date.now(),
        useful: pick(e.useful, 'max'),
        threshold: pick(e.threshold, 'min'),
        margin,
      });
    }

    addSamples(s, body) {
      s.chart.source = CHART.SAMPLES;
      const at = Date.parse(body.time);
      if (!at) return;
      const t = at - (at % SAMPLE_BUCKET_MS);
      const useful = pick(body.useful, 'max');
      const threshold = pick(body.threshold, 'min');
      const last = s.chart.points[s.chart.points.length - 1];
      if (last && last.t === t) {
        ++s.chart.revision;
        if (useful !== null) last.useful = last.useful === null ? useful : Math.max(last.useful, useful);
        if (threshold !== null)
          last.threshold = last.threshold === null ? threshold : Math.min(last.threshold, threshold);
        return;
      }
      this.addPoint(s, { t, useful, threshold, margin: null });
    }

    addPoint(s, p) {
      ++s.chart.revision;
      const points = s.chart.points;
      points.push(p);
      const oldest = p.t - CHART_SPAN_MS;
      while (points.length > KEEP_POINTS || (points.length && points[0].t < oldest)) points.shift();
    }

    // What a tile shows. The alarm is known only while the page hears the
    // broker, the sensor's link is up and current, and the status says it is
    // known (a link just back has not had its status read yet): otherwise a
    // quiet status may be an old one, and the tile must not look calm.
    view(s, now) {
      const state = s.state;
      let link;
      if (!this.connected) link = LINK.NOCONN;
      else if (!state) link = LINK.UNKNOWN;
      else if (state.link === LINK.UP) link = this.isStale(s, now) ? LINK.STALE : LINK.UP;
      else if (state.link === LINK.DOWN || state.link === LINK.OFFLINE) link = state.link;
      else link = LINK.UNKNOWN;
      let alarm = ALARM.UNKNOWN;
      const bits = s.status ? s.status.alarm_bits : null;
      if (link === LINK.UP && typeof bits === 'number' && s.status.alarm !== UNREAD)
        alarm = bits === 0 ? ALARM.QUIET : s.detection ? ALARM.DETECTION : ALARM.ALARM;
      // A walk test runs as far as the status tells, and only while it is current.
      const test = link === LINK.UP && s.status ? count(s.status.walk_test) : null;
      const ended = s.walkEnded;
      return {
        link,
        alarm,
        alarmSince: alarm === ALARM.ALARM ? s.alarmSince || s.status.since : null,
        detection: alarm === ALARM.DETECTION ? s.detection : null,
        walkTest: test === null ? null : { number: test, detections: count(s.status.detections) },
        // A test the time limit ended, until the next one begins: the zone was
        // left in test, and the room should know.
        walkLimited: test === null && ended && ended.reason === WALK_END.LIMIT ? ended : null,
        firmware: state && typeof state.firmware === 'string' ? state.firmware : null,
        balance: s.status && typeof s.status.balance === 'string' ? s.status.balance : null,
        // The recorder's path to the alarm receiving centre as its status last
        // said: null when not known (no centre, no answer yet, an older recorder).
        centre: s.status && Object.values(CENTRE).includes(s.status.centre) ? s.status.centre : null,
      };
    }

    // Stale: a sensor that sends summaries has sent none for three of its
    // periods (30 s at least). One that sends none is judged by its state and
    // its recorder's last will alone.
    isStale(s, now) {
      if (!s.periodicAt || !s.period) return false;
      return now - s.periodicAt > Math.max(STALE_AFTER_MIN_MS, 3 * s.period);
    }

    // Sites in name order, each with its sensors in name order.
    bySite() {
      const sites = new Map();
      const keys = [...this.sensors.keys()].sort();
      for (const k of keys) {
        const s = this.sensors.get(k);
        if (!sites.has(s.site)) sites.set(s.site, []);
        sites.get(s.site).push(s);
      }
      return [...sites.entries()].sort((a, b) => a[0].localeCompare(b[0]));
    }
  }

  const api = { Fleet, parseTopic, pick, LINK, CHART, KEEP_EVENTS, KEEP_POINTS };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TarvinFleet = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
