// A site's plan as a message brings it: anything but a whole, sound plan is
// refused with its reason; and a zone's state as its sensor's messages make it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { Plans, readPlan, fitsImage, zoneState, imageUrl, ZONE } = require('../js/plan.js');
const { Fleet } = require('../js/fleet.js');

const GOOD = { image: 'plans/north.png', zones: [{ sensor: 'gate', label: 'Ворота', points: [[10, 20], [300, 20.5]] }] };

test('a plan is taken whole or refused with its reason, never in part', () => {
  const plans = new Plans();
  assert.ok(plans.apply('tarvin9/north/plan', new TextEncoder().encode(JSON.stringify(GOOD))));
  assert.deepEqual(plans.get('north').plan.zones, GOOD.zones);
  assert.equal(readPlan('north', JSON.stringify({ ...GOOD, zones: [{ sensor: 'gate', points: [[0, 0], [1, 1]] }] })).plan.zones[0].label, 'gate');
  const zone = (z) => ({ ...GOOD, zones: [GOOD.zones[0], { sensor: 'fence', points: [[0, 0], [5, 5]], ...z }] });
  const refused = [
    ['{"image": "plans/north.png", "zones": [', /не JSON/],
    [[GOOD], /не объект/],
    [{ ...GOOD, colour: 'red' }, /неизвестное поле «colour»/],
    [{ ...GOOD, image: 'plans/south.png' }, /plans\/north\.png/], // another site's picture
    [{ ...GOOD, image: '../secret.png' }, /image/],
    [{ ...GOOD, image: 'plans/north.gif' }, /image/],
    [{ image: GOOD.image }, /zones/],
    [zone({ colour: 1 }), /^зона 2 \(fence\): неизвестное поле «colour»$/],
    [zone({ sensor: 'a/b' }), /sensor/],
    [zone({ label: 5 }), /label/],
    [zone({ points: [[0, 0]] }), /от 2 до/],
    [zone({ points: [[0, 0], [1, '2']] }), /точка 2/],
    [zone({ points: [[0, 0], [-1, 2]] }), /точка 2/],
    [zone({ points: [[0, 0], [1, 2, 3]] }), /точка 2/],
  ];
  for (const [body, why] of refused) {
    const text = typeof body === 'string' ? body : JSON.stringify(body);
    const read = readPlan('north', text);
    assert.equal(read.plan, undefined, text);
    assert.match(read.problem, why, text);
  }
  // Points are in the picture's pixels: one past its edge refuses the plan.
  assert.equal(fitsImage(plans.get('north').plan, 300, 21), null);
  assert.match(fitsImage(plans.get('north').plan, 299, 21), /^зона 1 \(gate\): точка 2 \(300, 20\.5\) вне картинки 299×21$/);
  // An empty retained message clears the site's plan; other topics are not plans.
  plans.apply('tarvin9/north/plan', new Uint8Array());
  assert.equal(plans.get('north'), null);
  assert.equal(plans.apply('tarvin9/north/gate/plan', new Uint8Array()), false);
  assert.equal(imageUrl('Склад №3', 'plans/Склад №3.svg'), 'plans/%D0%A1%D0%BA%D0%BB%D0%B0%D0%B4%20%E2%84%963.svg');
});

test("a zone's state: never calm unless its sensor's alarm is known to be off", () => {
  const fleet = new Fleet();
  fleet.connected = true;
  const put = (kind, body) => fleet.apply('tarvin9/north/gate/' + kind, new TextEncoder().encode(JSON.stringify(body)), '', 0);
  const state = () => zoneState(fleet, 'north/gate', 0);
  assert.deepEqual(state(), { state: ZONE.NONE, text: 'нет данных' });
  put('status', { alarm_bits: 0, alarm: 'off', since: 't0' });
  assert.equal(state().state, ZONE.UNKNOWN, 'a status without the link state');
  put('state', { link: 'up', firmware: '2.0' });
  assert.deepEqual(state(), { state: ZONE.QUIET, text: 'спокойно' });
  put('status', { alarm_bits: 6, alarm: 'on', since: 't1' });
  put('event', { event: 'alarm_begin', time: 't1', seq: 7, alarm_bits: 6 });
  assert.deepEqual(state(), { state: ZONE.ALARM, text: 'ТРЕВОГА' });
  put('event', { event: 'ack', time: 't2', seq: 8, alarm: 7, alarm_time: 't1', operator: 'ivanov', comment: 'ветер' });
  assert.deepEqual(state(), { state: ZONE.ACKED, text: 'тревога принята' });
  put('state', { link: 'down' });
  assert.deepEqual(state(), { state: ZONE.LOST, text: 'нет связи' });
  put('state', { link: 'up' });
  put('status', { alarm_bits: null, alarm: 'unknown', since: 't3', walk_test: 2 });
  assert.equal(state().state, ZONE.UNKNOWN, 'a link just back, its status not read yet');
  put('status', { alarm_bits: 0, alarm: 'off', since: 't4', walk_test: 2, detections: 0 });
  assert.deepEqual(state(), { state: ZONE.TEST, text: 'проверка №2' });
  fleet.connected = false;
  assert.deepEqual(state(), { state: ZONE.UNKNOWN, text: 'нет соединения с брокером' });
});
