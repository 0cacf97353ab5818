// The sites' plans as the broker keeps them (one retained message a site,
// tarvin9/<site>/plan): read and checked whole before anything is drawn, and
// each zone's state from what the fleet knows of its sensor. A plan message is
// anybody's text that reached the broker: a field we do not know, a point off
// the picture or a picture outside plans/ refuses the whole plan, with the
// reason in the room's words. No DOM.
(function (root) {
  'use strict';
  const node = typeof module === 'object' && module.exports;
  const { ALARM, ALARM_TEXT, testNo } = node ? require('./event_text.js') : root.TarvinEventText;
  const { LINK } = node ? require('./fleet.js') : root.TarvinFleet;

  const PLAN_FIELDS = new Set(['image', 'zones']);
  const ZONE_FIELDS = new Set(['sensor', 'label', 'points']);
  const IMAGE_TYPES = ['png', 'jpg', 'jpeg', 'svg'];
  const MAX_ZONES = 500;
  const MAX_POINTS = 1000; // a zone's
  const MAX_LABEL = 100;
  const MAX_NAME = 200; // a sensor's, as a topic level

  // A zone's state on the plan, by what its colour says.
  const ZONE = Object.freeze({
    QUIET: 'quiet', ALARM: 'alarm', ACKED: 'acked', TEST: 'test', LOST: 'lost', UNKNOWN: 'unknown', NONE: 'none',
  });
  const NO_DATA = 'нет данных';
  const LOST_TEXT = { [LINK.DOWN]: 'нет связи', [LINK.OFFLINE]: 'регистратор отключён' };
  const UNKNOWN_TEXT = {
    [LINK.STALE]: 'данные устарели',
    [LINK.UNKNOWN]: NO_DATA,
    [LINK.NOCONN]: 'нет соединения с брокером',
  };

  const topicOf = (site) => 'tarvin9/' + site + '/plan';

  // tarvin9/<site>/plan: the site, or null.
  function planSite(topic) {
    const parts = topic.split('/');
    return parts.length === 3 && parts[0] === 'tarvin9' && parts[2] === 'plan' && parts[1] !== '' ? parts[1] : null;
  }

  // The only pictures a site's plan may name: plans/<site>.<type>.
  function imagePaths(site) {
    return IMAGE_TYPES.map((type) => 'plans/' + site + '.' + type);
  }

  // Where the page loads a plan's picture from; the site's name is one path segment.
  function imageUrl(site, image) {
    return 'plans/' + encodeURIComponent(site) + image.slice(('plans/' + site).length);
  }

  const isObject = (v) => !!v && typeof v === 'object' && !Array.isArray(v);
  const unknownField = (v, known) => Object.keys(v).find((k) => !known.has(k));
  const isPoint = (p) => Array.isArray(p) && p.length === 2 && p.every((c) => typeof c === 'number' && isFinite(c) && c >= 0);

  // One zone's problem, or null.
  function zoneProblem(z) {
    if (!isObject(z)) return 'не объект';
    const extra = unknownField(z, ZONE_FIELDS);
    if (extra !== undefined) return 'неизвестное поле «' + extra + '»';
    if (typeof z.sensor !== 'string' || !z.sensor || z.sensor.length > MAX_NAME || /[/+#]/.test(z.sensor))
      return 'нет имени датчика (sensor)';
    if (z.label !== undefined && (typeof z.label !== 'string' || z.label.length > MAX_LABEL))
      return 'подпись (label) не текст до ' + MAX_LABEL + ' знаков';
    if (!Array.isArray(z.points) || z.points.length < 2 || z.points.length > MAX_POINTS)
      return 'нужно от 2 до ' + MAX_POINTS + ' точек (points)';
    const bad = z.points.findIndex((p) => !isPoint(p));
    if (bad >= 0) return 'точка ' + (bad + 1) + ' не пара неотрицательных чисел [x, y]';
    return null;
  }

  const zoneName = (z, i) => 'зона ' + (i + 1) + (isObject(z) && typeof z.sensor === 'string' ? ' (' + z.sensor + ')' : '');

  // A plan message's text, read and checked for `site`: {plan} or {problem}.
  // The picture's size is not known yet: fitsImage() checks the points then.
  function readPlan(site, text) {
    let body;
    try {
      body = JSON.parse(text);
    } catch (e) {
      return { problem: 'сообщение плана не JSON' };
    }
    if (!isObject(body)) return { problem: 'сообщение плана не объект JSON' };
    const extra = unknownField(body, PLAN_FIELDS);
    if (extra !== undefined) return { problem: 'неизвестное поле «' + extra + '»' };
    if (!imagePaths(site).includes(body.image))
      return { problem: 'картинка (image) должна быть ' + imagePaths(site)[0] + ' (или .jpg, .jpeg, .svg)' };
    if (!Array.isArray(body.zones) || body.zones.length > MAX_ZONES)
      return { problem: 'зоны (zones) не список до ' + MAX_ZONES + ' зон' };
    for (let i = 0; i < body.zones.length; ++i) {
      const problem = zoneProblem(body.zones[i]);
      if (problem) return { problem: zoneName(body.zones[i], i) + ': ' + problem };
    }
    const zones = body.zones.map((z) => ({
      sensor: z.sensor,
      label: z.label || z.sensor,
      points: z.points.map(([x, y]) => [x, y]),
    }));
    return { plan: { site, image: body.image, zones } };
  }

  // Whether every point lies on the picture of `width`×`height` pixels: null, or the problem.
  function fitsImage(plan, width, height) {
    for (let i = 0; i < plan.zones.length; ++i) {
      const k = plan.zones[i].points.findIndex(([x, y]) => x > width || y > height);
      if (k >= 0) {
        const [x, y] = plan.zones[i].points[k];
        return zoneName(plan.zones[i], i) + ': точка ' + (k + 1) + ' (' + x + ', ' + y + ') вне картинки ' + width + '×' + height;
      }
    }
    return null;
  }

  // The message a plan is kept as.
  function planText(plan) {
    const zones = plan.zones.map((z) => ({ sensor: z.sensor, label: z.label, points: z.points }));
    return JSON.stringify({ image: plan.image, zones });
  }

  // A zone's state and its words, from the fleet's view of its sensor. Only
  // what the tile would call known is drawn as known.
  function zoneState(fleet, sensorKey, now) {
    const s = fleet.sensors.get(sensorKey);
    if (!s) return { state: ZONE.NONE, text: NO_DATA };
    const v = fleet.view(s, now);
    if (LOST_TEXT[v.link]) return { state: ZONE.LOST, text: LOST_TEXT[v.link] };
    if (v.link !== LINK.UP) return { state: ZONE.UNKNOWN, text: UNKNOWN_TEXT[v.link] };
    if (v.alarm === ALARM.ALARM) {
      const a = fleet.alarms.get(sensorKey + '|' + v.alarmSince);
      return a && a.ack ? { state: ZONE.ACKED, text: 'тревога принята' } : { state: ZONE.ALARM, text: ALARM_TEXT[v.alarm] };
    }
    if (v.alarm === ALARM.DETECTION) return { state: ZONE.TEST, text: ALARM_TEXT[v.alarm] };
    if (v.alarm === ALARM.QUIET && v.walkTest) return { state: ZONE.TEST, text: testNo(v.walkTest.number) };
    if (v.alarm === ALARM.QUIET) return { state: ZONE.QUIET, text: ALARM_TEXT[v.alarm] };
    return { state: ZONE.UNKNOWN, text: ALARM_TEXT[ALARM.UNKNOWN] };
  }

  // Every site's plan as its last message left it: {plan} or {problem}; a
  // site whose plan was cleared (an empty retained message) has none.
  class Plans {
    constructor() {
      this.bySite = new Map();
      this.revision = 0;
    }

    // Takes a message; says whether it was a plan's.
    apply(topic, payload) {
      const site = planSite(topic);
      if (site === null) return false;
      const text = typeof payload === 'string' ? payload : new TextDecoder().decode(payload);
      if (text === '') this.bySite.delete(site);
      else this.bySite.set(site, readPlan(site, text));
      ++this.revision;
      return true;
    }

    get(site) {
      return this.bySite.get(site) || null;
    }
  }

  const api = {
    Plans, readPlan, fitsImage, planText, zoneState, planSite, imagePaths, imageUrl, topicOf,
    ZONE, NO_DATA, MAX_POINTS,
  };
  if (node) module.exports = api;
  else root.TarvinPlan = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
