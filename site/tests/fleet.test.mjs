// The page's model, message by message: what a tile may claim, which events
// the list keeps, what the charts take, and how an oscillogram is read.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { Fleet, KEEP_EVENTS } = require('../js/fleet.js');
const { KEEP_PER_SENSOR } = require('../js/alarms.js');
const { decodeMessage, csv } = require('../js/oscillogram.js');

const bytes = (value) => new TextEncoder().encode(typeof value === 'string' ? value : JSON.stringify(value));
const T0 = Date.parse('2026-12-07T23:44:00.000+03:00');
const iso = (ms) => new Date(ms).toISOString();

test('a tile shows quiet only while the page hears the broker and the link is up', () => {
  const cases = [
    // connected, state, status, link, alarm
    [true, { link: 'up', firmware: '2.0' }, { alarm_bits: 0 }, 'up', 'quiet'],
    [true, { link: 'up', firmware: '2.0' }, { alarm_bits: 6, since: 'X' }, 'up', 'alarm'],
    [true, { link: 'down', firmware: null }, { alarm_bits: 0 }, 'down', 'unknown'],
    [true, { link: 'offline' }, { alarm_bits: 0 }, 'offline', 'unknown'],
    [true, { link: 'starting' }, { alarm_bits: 0 }, 'unknown', 'unknown'],
    [true, null, { alarm_bits: 0 }, 'unknown', 'unknown'],
    [true, { link: 'up' }, null, 'up', 'unknown'],
    [true, { link: 'up' }, { alarm_bits: null, balance: null }, 'up', 'unknown'],
    // Up, but the status not read since: whatever bits it carries.
    [true, { link: 'up' }, { alarm_bits: 0, alarm: 'unknown' }, 'up', 'unknown'],
    [true, { link: 'up' }, { alarm_bits: 0, alarm: 'off' }, 'up', 'quiet'],
    [false, { link: 'up' }, { alarm_bits: 0 }, 'noconn', 'unknown'],
  ];
  for (const [connected, state, status, link, alarm] of cases) {
    const f = new Fleet();
    f.connected = connected;
    if (state) f.apply('tarvin9/north/gate/state', bytes(state), '', T0);
    if (status) f.apply('tarvin9/north/gate/status', bytes(status), '', T0);
    const s = f.sensor('north', 'gate');
    const v = f.view(s, T0);
    assert.deepEqual([v.link, v.alarm], [link, alarm], JSON.stringify({ connected, state, status }));
  }
  // Not ours, or not readable: nothing is made of it.
  const f = new Fleet();
  assert.equal(f.apply('homeassistant/binary_sensor/x/alarm/config', bytes({}), '', T0), null);
  assert.equal(f.apply('tarvin9/north/gate/state', bytes('not json'), '', T0), null);
  assert.equal(f.apply('tarvin9/north/gate/extra/state', bytes({ link: 'up' }), '', T0), null);
  assert.equal(f.sensors.size, 0);
});

test('summaries keep a sensor current; one that stops sending them turns stale', () => {
  const f = new Fleet();
  f.connected = true;
  f.apply('tarvin9/n/g/state', bytes({ link: 'up' }), '', T0);
  f.apply('tarvin9/n/g/status', bytes({ alarm_bits: 0 }), '', T0);
  for (let i = 0; i < 5; ++i) f.apply('tarvin9/n/g/samples', bytes({ time: iso(T0 + i * 500) }), '', T0 + i * 500);
  const s = f.sensor('n', 'g');
  assert.equal(f.view(s, T0 + 20e3).link, 'up');
  const stale = { link: 'stale', alarm: 'unknown', alarmSince: null, firmware: null, balance: null, centre: null };
  assert.deepEqual(f.view(s, T0 + 40e3), { ...stale, detection: null, walkTest: null, walkLimited: null });
});

test('an alarm is raised once per beginning, and acknowledged by its recorder\'s first ack only', () => {
  const f = new Fleet();
  const status = (bits, since) => f.apply('tarvin9/n/g/status', bytes({ alarm_bits: bits, since }), '', T0);
  const begin = (seq, time) => f.apply('tarvin9/n/g/event', bytes({ time, seq, event: 'alarm_begin', alarm_bits: 6 }), '', T0);
  const ack = (alarm, time, extra = {}) =>
    f.apply('tarvin9/n/g/event', bytes({ time: 'ack' + alarm + JSON.stringify(extra), seq: 50, event: 'ack', alarm, alarm_time: time, operator: 'ivanov', comment: 'ложная: ветер', id: 'k' + alarm, ...extra }), '', T0).acked;
  assert.equal(status(6, 'a').alarmBegan, true);
  assert.equal(begin(1, 'a').alarmBegan, false, 'its own event, after the status');
  assert.equal(status(6, 'a').alarmBegan, false, 'a retained copy');
  assert.equal(status(6, 'b').alarmBegan, false, 'the balance changed during the alarm');
  f.connected = true;
  f.apply('tarvin9/n/g/state', bytes({ link: 'up' }), '', T0);
  assert.equal(f.view(f.sensor('n', 'g'), T0).alarmSince, 'a', 'the tile names the beginning');
  assert.equal(ack(9, 'a'), null, 'a seq of another run names another alarm');
  assert.equal(ack(1, 'a', { operator: ['x'] }), null, 'not what a recorder writes');
  assert.equal(ack(1, 'a').ack.operator, 'ivanov');
  assert.equal(ack(1, 'a', { operator: 'petrov', id: 'k2' }), null, 'the first one stands');
  assert.deepEqual(f.unacknowledged(), []);
  assert.equal(status(0, 'c').alarmBegan, false);
  const unknown = f.apply('tarvin9/n/g/status', bytes({ alarm_bits: 2, since: 'u', alarm: 'unknown' }), '', T0);
  assert.equal(unknown.alarmBegan, false, 'bits not read since the link came up begin nothing');
  assert.equal(status(2, 'd').alarmBegan, true);
  assert.equal(begin(2, 'x').alarmBegan, true, 'one that began and ended while the broker was away');
  assert.deepEqual(f.unacknowledged().map((a) => a.since), ['d', 'x'], 'oldest first');
  // A reload: the recorder's history says which are acknowledged.
  const again = new Fleet();
  const history = { events: [{ time: 'a', seq: 1, event: 'alarm_begin', alarm_bits: 6 }, { time: 'z', seq: 3, event: 'ack', alarm: 1, alarm_time: 'a', operator: 'ivanov', comment: '' }] };
  assert.equal(again.apply('tarvin9/n/g/history/alarm/00', bytes(history), '', T0).alarmBegan, false);
  assert.equal(again.apply('tarvin9/n/g/status', bytes({ alarm_bits: 6, since: 'a' }), '', T0).alarmBegan, false);
  assert.deepEqual(again.unacknowledged(), []);
});

test('histories: broken ones and their broken events ignored; an ack before its alarm; a detection', () => {
  const f = new Fleet();
  const history = (events) => f.apply('tarvin9/n/g/history/alarm/07', bytes({ events }), '', T0);
  assert.equal(f.apply('tarvin9/n/g/history/alarm/07', bytes('{"events":'), '', T0), null);
  assert.equal(history(5), null);
  const t = (i) => iso(T0 + i * 1000);
  const acked = history([
    null, 7, [], 'alarm_begin', { event: 42 },
    { time: t(2), seq: 9, event: 'ack', alarm: 1, alarm_time: t(1), operator: 'ivanov', comment: '<b>x</b>' },
    { time: t(1), seq: 1, event: 'alarm_begin', alarm_bits: 6 },
    { time: t(3), seq: 2, event: 'alarm_begin', alarm_bits: 6, walk_test: 1, detection: 1 },
  ]);
  assert.equal(acked.alarmBegan, false, 'acknowledged already, and a detection');
  assert.equal(f.alarms.get('n/g|' + t(1)).ack.comment, '<b>x</b>');
  assert.deepEqual(f.alarms.open().map((a) => [a.since, a.detection]), [[t(3), true]], 'a detection still awaits one');
});

test('a history in pieces: merged by identity whatever the slot, cleared and broken pieces ignored, the oldest alarm dropped by its time', () => {
  const f = new Fleet();
  const t = (i) => iso(T0 + i * 60e3);
  const piece = (name, body) => f.apply('tarvin9/n/g/history/' + name, bytes(body), '', T0);
  const begin = (i) => ({ time: t(i), seq: i, event: 'alarm_begin', alarm_bits: 6 });
  const ack = (i) => ({ time: t(i) + 'a', seq: 1000 + i, event: 'ack', alarm: i, alarm_time: t(i), operator: 'ivanov', comment: 'ветер' });
  const listed = (name) => f.events.filter((x) => x.event.event === name).length;
  // Not pieces, or nothing in them: no sensor is made of these.
  assert.equal(f.apply('tarvin9/n/g/history', bytes({ events: [begin(1)] }), '', T0), null, 'the single history of old');
  assert.equal(piece('other/0', { events: [begin(1)] }), null);
  assert.equal(f.apply('tarvin9/n/g/history/alarm', bytes({ events: [begin(1)] }), '', T0), null);
  assert.equal(f.apply('tarvin9/n/g/history/alarm/03', new Uint8Array(0), '', T0), null, 'a cleared slot');
  assert.equal(piece('alarm/03', { events: 'x' }), null);
  assert.equal(f.sensors.size, 0);
  // A recorder that went round its slots: slot 00 holds the newest alarm.
  for (let slot = 0; slot < KEEP_PER_SENSOR; ++slot) {
    const i = slot === 0 ? 101 : slot + 1;
    const events = [begin(i), { time: t(i) + 'e', seq: 2000 + i, event: 'alarm_end', alarm_bits: 6 }];
    if (i === 50) events.push(ack(50));
    assert.equal(piece('alarm/' + String(slot).padStart(2, '0'), { events: [{ time: t(i) }, ...events] }).alarmBegan, i !== 50);
  }
  assert.equal(f.unacknowledged().length, KEEP_PER_SENSOR - 1);
  // Republished with its acknowledgement, and again in another slot after a restart.
  assert.deepEqual(piece('alarm/07', { events: [begin(8), ack(8)] }).acked.map((a) => a.since), [t(8)]);
  const moved = piece('alarm/42', { events: [begin(8), ack(8)] });
  assert.deepEqual([moved.event, moved.alarmBegan, moved.acked], [null, false, []]);
  assert.deepEqual([listed('alarm_begin'), listed('ack')], [KEEP_PER_SENSOR, 2]);
  // Live alarms beyond the bound: acknowledged ones go first, then the oldest by time.
  for (const i of [102, 103, 104]) f.apply('tarvin9/n/g/event', bytes(begin(i)), '', T0);
  assert.equal(f.alarms.get('n/g|' + t(50)), undefined);
  assert.equal(f.alarms.get('n/g|' + t(8)), undefined);
  assert.equal(f.unacknowledged()[0].since, t(3), 'the oldest went');
  assert.ok(f.alarms.get('n/g|' + t(101)), 'not the first to arrive');

  // Link changes in a chunk that shifts as they come, after a day of summaries.
  const link = (i, name) => ({ time: t(i), seq: 3000 + i, event: name });
  piece('link/0', { events: [link(1, 'link_up'), link(2, 'link_lost')] });
  for (let i = 0; i < 1500; ++i) f.apply('tarvin9/n/g/event', bytes({ time: iso(T0 + i * 60e3), seq: 5000 + i, event: 'summary', useful: 3 }), '', T0);
  piece('link/0', { events: [link(2, 'link_lost'), link(3, 'link_up')] });
  assert.deepEqual([listed('link_up'), listed('link_lost')], [2, 1]);
});

test('events: duplicates dropped, newest first by their own time, bounded; summaries go to the chart', () => {
  const f = new Fleet();
  const event = (sensor, seq, ms, name = 'balance', extra = {}) =>
    f.apply(`tarvin9/n/${sensor}/event`, bytes({ time: iso(ms), seq, event: name, ...extra }), '', T0);
  assert.ok(event('g', 1, T0 + 1000));
  assert.equal(event('g', 1, T0 + 1000), null, 'a QoS 1 duplicate');
  assert.ok(event('g', 1, T0 + 5000, 'start'), 'a new run counts from 1 again');
  assert.ok(event('h', 7, T0 + 3000), 'a late event from another site');
  assert.deepEqual(f.events.map((e) => e.at - T0), [5000, 3000, 1000]);
  for (let i = 0; i < KEEP_EVENTS + 20; ++i) event('g', 100 + i, T0 + 10000 + i);
  assert.equal(f.events.length, KEEP_EVENTS);
  assert.equal(f.events[0].event.seq, 100 + KEEP_EVENTS + 19);

  // Samples until the first summary, then summaries only; any shape of field.
  f.apply('tarvin9/n/g/samples', bytes({ time: iso(T0), useful: [5, 15], threshold: [27.5, 28] }), '', T0);
  f.apply('tarvin9/n/g/samples', bytes({ time: iso(T0 + 1000), useful: [5, 45], threshold: [26, 28] }), '', T0);
  const g = f.sensor('n', 'g');
  assert.equal(g.chart.source, 'samples');
  assert.deepEqual(g.chart.points, [{ t: T0, useful: 45, threshold: 26, margin: null }]);
  const before = f.events.length;
  event('g', 900, T0 + 60e3, 'summary', { useful: { min: 5, max: 44, mean: 9 }, threshold: { min: 27 }, margin: 3.5 });
  event('g', 901, T0 + 120e3, 'summary', { useful: [5, 12] });
  f.apply('tarvin9/n/g/samples', bytes({ time: iso(T0 + 130e3), useful: [1, 99] }), '', T0);
  assert.equal(f.events.length, before, 'summaries stay out of the event list');
  assert.deepEqual(g.chart.points, [
    { t: T0 + 60e3, useful: 44, threshold: 27, margin: 3.5 },
    { t: T0 + 120e3, useful: 12, threshold: null, margin: null },
  ]);
});

test('an oscillogram is read from its bytes or its 3.1.1 wrapper, and given as CSV', () => {
  const count = 3;
  const file = new Uint8Array(3 + 20 * count);
  const view = new DataView(file.buffer);
  file[0] = 2;
  view.setUint16(1, count, true);
  [28.1, 28.25, 30].forEach((v, i) => view.setFloat32(3 + 4 * i, v, true));
  for (let k = 1; k < 5; ++k) for (let i = 0; i < count; ++i) view.setUint32(3 + 4 * count * k + 4 * i, 10 * k + i, true);

  const named = decodeMessage(file, '2026.12.07  23 час. 44 мин. .bin');
  assert.equal(named.name, '2026.12.07  23 час. 44 мин. .bin');
  assert.equal(
    csv(named.data),
    'index,threshold,useful,ekNoise,ekClimate,input\r\n0,28.1,10,20,30,40\r\n1,28.25,11,21,31,41\r\n2,30,12,22,32,42\r\n'
  );
  const wrapped = decodeMessage(bytes({ name: 'w.bin', size: file.length, base64: Buffer.from(file).toString('base64') }));
  assert.equal(wrapped.name, 'w.bin');
  assert.deepEqual(Array.from(wrapped.data.input), [40, 41, 42]);
  assert.equal(decodeMessage(file.subarray(0, file.length - 1), 'short.bin'), null, 'a short file');
  assert.equal(decodeMessage(Uint8Array.of(1, 0, 0), 'v1.bin'), null, 'another version');
  assert.equal(decodeMessage(bytes('{"base64":'), ''), null, 'a broken wrapper');

  const f = new Fleet();
  assert.equal(f.apply('tarvin9/n/g/oscillogram', file, 'x.bin', T0).sensor.oscillogram.data.count, 3);
});

test("a balance event reads the same from a journal's value and from an older journal's sentence", () => {
  const { eventDetail } = require('../js/event_text.js');
  const low = 'Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго';
  assert.equal(eventDetail({ event: 'balance', value: 'first_flank_low' }), low);
  assert.equal(eventDetail({ event: 'balance', text: '  ' + low + '  ' }), low);
  assert.equal(eventDetail({ event: 'balance', value: 'balanced' }), 'Фланги СЗ сбалансированы');
});

test("a site's night read late keeps its place among the site's events, however many newer the fleet has, and an open piece is read as its slot is", () => {
  const f = new Fleet();
  for (let i = 0; i < KEEP_EVENTS + 10; ++i)
    f.apply('tarvin9/south/s' + i + '/event', bytes({ time: iso(T0 + 3600e3 + i), seq: 1, event: 'link_up' }), '', T0);
  const begin = { time: iso(T0), seq: 7, event: 'alarm_begin', alarm_bits: 6 };
  f.apply('tarvin9/north/gate/history/open/07', bytes({ events: [begin] }), '', T0);
  f.apply('tarvin9/north/gate/history/alarm/07', bytes({ events: [begin, { time: iso(T0 + 5000), seq: 9, event: 'ack', alarm: 7, alarm_time: begin.time, operator: 'ivanov', comment: 'x' }] }), '', T0);
  assert.equal(f.events.length, KEEP_EVENTS);
  assert.ok(!f.events.some((e) => e.site === 'north'));
  assert.deepEqual(f.siteEvents.get('north').map((e) => e.event.event), ['ack', 'alarm_begin']);
  assert.equal(f.unacknowledged().length, 0);
});
