// The recorder's retained history as it reaches a page: one small message per
// alarm (`history/alarm/<slot>`) and the link changes in a few chunks
// (`history/link/<chunk>`). The broker's websockets hand a page a large
// message slowly, so the history comes in pieces of at most 4 KB. A
// recorder's restart may move an alarm to another slot, and a chunk shifts
// with every new link change: nothing is keyed by slot, events are merged by
// their identity (time, seq and event), which drops the live events' QoS 1
// duplicates as well. No DOM.
(function (root) {
  'use strict';
  const { EVENT } =
    typeof module === 'object' && module.exports ? require('./event_text.js') : root.TarvinEventText;

  // `open` holds an alarm slot's copy while the room still has to answer it.
  const PIECES = new Set(['alarm', 'link', 'open']);
  // Identities are remembered per family of events, so that a day of summaries
  // does not push out the alarms and link changes a republished piece carries
  // again. Each bound is far above what a history holds (100 alarms of up to
  // three events, 100 link changes and walk tests).
  const FAMILY = {
    [EVENT.ALARM_BEGIN]: 'alarm', [EVENT.ALARM_END]: 'alarm', [EVENT.ACK]: 'alarm',
    [EVENT.LINK_UP]: 'link', [EVENT.LINK_LOST]: 'link', [EVENT.PORT_CLOSED]: 'link', [EVENT.PORT_REOPENED]: 'link',
    [EVENT.WALK_TEST_BEGIN]: 'link', [EVENT.WALK_TEST_END]: 'link',
  };
  const KEEP_PER_FAMILY = 1000;

  // tarvin9/<site>/<sensor>/history/<alarm|link|open>/<slot>, split at '/'.
  function isPiece(parts) {
    return parts.length === 6 && parts[3] === 'history' && PIECES.has(parts[4]) && parts[5] !== '';
  }

  // An event whose identity can be told: a piece's other entries are skipped.
  function isEvent(e) {
    return (
      !!e && typeof e === 'object' && !Array.isArray(e) && typeof e.event === 'string' &&
      typeof e.time === 'string' && Number.isInteger(e.seq)
    );
  }

  // A piece's events, or null when it holds no list of them.
  function pieceEvents(body) {
    return body && Array.isArray(body.events) ? body.events.filter(isEvent) : null;
  }

  class SeenEvents {
    constructor() {
      this.families = new Map(); // family -> {ids, order}
    }

    // Says whether the event is new here, and remembers it. seq counts from 1
    // in each run, so the time is part of the identity.
    add(e) {
      const id = e.time + '|' + e.seq + '|' + e.event;
      const name = FAMILY[e.event] || 'other';
      let family = this.families.get(name);
      if (!family) this.families.set(name, (family = { ids: new Set(), order: [] }));
      if (family.ids.has(id)) return false;
      family.ids.add(id);
      family.order.push(id);
      if (family.order.length > KEEP_PER_FAMILY) family.ids.delete(family.order.shift());
      return true;
    }
  }

  const api = { isPiece, pieceEvents, SeenEvents, KEEP_PER_FAMILY };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TarvinHistory = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
