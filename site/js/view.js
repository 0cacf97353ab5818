// Draws what the fleet holds: the tiles grouped by site, the alarm banner and
// the event list with its filters. Every text from the broker is set as text,
// never parsed as HTML.
(function (root) {
  'use strict';

  const SHOWN_EVENTS = 200;

  const { EVENT, ALARM, ALARM_TEXT, CENTRE_TEXT, clock, age, eventText, eventKind, eventDetail, bitsTitle, testNo, isCount } =
    root.TarvinEventText;
  const { LINK } = root.TarvinFleet;
  const LINK_TEXT = {
    [LINK.UP]: 'связь есть',
    [LINK.DOWN]: 'нет связи',
    [LINK.OFFLINE]: 'регистратор отключён',
    [LINK.STALE]: 'данные устарели',
    [LINK.UNKNOWN]: 'нет данных',
    [LINK.NOCONN]: 'нет соединения с брокером',
  };
  const OPEN_FILTER = ' open'; // the kind filter's "неподтверждённые"; no event is named so

  // Written only when it changes: the tiles are gone over ten times a second.
  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }
  function setData(e, name, value) {
    if (e.dataset[name] !== value) e.dataset[name] = value;
  }

  function el(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }

  // A tile's walk-test line: the test that runs and its detections so far,
  // or the one the time limit ended.
  function walkText(v) {
    if (v.walkTest) {
      const n = v.walkTest.detections;
      return testNo(v.walkTest.number) + ', обнаружений: ' + (n === null ? '?' : n);
    }
    if (v.walkLimited)
      return testNo(v.walkLimited.walkTest) + ' закончена по лимиту времени в ' + clock(v.walkLimited.time);
    return '';
  }

  class View {
    constructor(fleet, onSelect, onAccept) {
      this.fleet = fleet;
      this.onSelect = onSelect;
      this.onAccept = onAccept;
      this.bannerShown = '';
      this.sitesEl = document.getElementById('sites');
      this.bannerEl = document.getElementById('banner');
      this.bannerList = document.getElementById('banner-list');
      this.eventsEl = document.getElementById('events');
      this.bridgesEl = document.getElementById('bridges');
      this.filters = {
        site: document.getElementById('filter-site'),
        sensor: document.getElementById('filter-sensor'),
        kind: document.getElementById('filter-kind'),
      };
      this.tiles = new Map(); // sensor key -> {root, fields}
      this.siteCount = -1;
      this.known = { site: new Set(), sensor: new Set(), kind: new Set() };
      for (const f of Object.values(this.filters)) f.addEventListener('change', () => this.renderEvents());
    }

    // A tile per sensor; the layout is made again only when a sensor is new.
    renderTiles(now) {
      if (this.tiles.size !== this.fleet.sensors.size) this.layout();
      for (const s of this.fleet.sensors.values()) this.updateTile(s, now);
    }

    layout() {
      this.sitesEl.replaceChildren();
      for (const [site, sensors] of this.fleet.bySite()) {
        const section = el('section', 'site');
        section.dataset.site = site;
        section.append(el('h2', 'site-name', site));
        const grid = el('div', 'tiles');
        for (const s of sensors) {
          if (!this.tiles.has(s.key)) this.tiles.set(s.key, this.makeTile(s));
          grid.append(this.tiles.get(s.key).root);
        }
        section.append(grid);
        this.sitesEl.append(section);
      }
      document.getElementById('empty').hidden = this.fleet.sensors.size > 0;
    }

    makeTile(s) {
      const root = el('button', 'tile');
      root.type = 'button';
      root.dataset.site = s.site;
      root.dataset.sensor = s.name;
      const fields = {
        name: el('span', 'tile-name', s.name),
        alarm: el('span', 'tile-alarm'),
        link: el('span', 'tile-link'),
        centre: el('span', 'tile-centre'),
        walk: el('span', 'tile-walk'),
        balance: el('span', 'tile-balance'),
        last: el('span', 'tile-last'),
      };
      root.append(fields.name, fields.alarm, fields.walk, fields.link, fields.centre, fields.balance, fields.last);
      root.addEventListener('click', () => this.onSelect(s.key));
      return { root, fields };
    }

    updateTile(s, now) {
      const tile = this.tiles.get(s.key);
      const v = this.fleet.view(s, now);
      setData(tile.root, 'link', v.link);
      setData(tile.root, 'alarm', v.alarm);
      setData(tile.root, 'walk', v.walkTest ? 'running' : v.walkLimited ? 'limit' : 'none');
      const f = tile.fields;
      let alarm = ALARM_TEXT[v.alarm];
      if (v.alarm === ALARM.ALARM) alarm += ' с ' + clock(v.alarmSince);
      if (v.detection && v.detection.number !== null) alarm += ' ' + v.detection.number;
      setText(f.alarm, alarm);
      setText(f.walk, walkText(v));
      setText(f.link, LINK_TEXT[v.link] + (v.link === LINK.UP && v.firmware ? ', прошивка ' + v.firmware : ''));
      setText(f.centre, CENTRE_TEXT[v.centre] || '');
      setText(f.balance, v.balance || '');
      const e = s.lastEvent;
      setText(f.last, e ? clock(e.time) + ' ' + eventKind(e, this.ackedBegin(s.key, e)) : '');
    }

    // Every alarm not yet acknowledged, oldest first, with its sensor and
    // age; drawn again only when a line changes (the ages every second).
    renderBanner(now = Date.now()) {
      const open = this.fleet.unacknowledged();
      const lines = open.map((a) => {
        const when = age(now - Date.parse(a.since));
        const since = a.site + ' / ' + a.sensor + ': тревога с ' + clock(a.since);
        return since + (isNaN(Date.parse(a.since)) ? '' : ' (' + when + (a.ended ? ', закончилась' : '') + ')');
      });
      const shown = open.map((a, i) => a.key + '\n' + lines[i]).join('\n');
      if (shown !== this.bannerShown) {
        this.bannerShown = shown;
        this.bannerList.replaceChildren(
          ...open.map((a, i) => {
            const li = el('li', null, lines[i]);
            li.dataset.key = a.key;
            return li;
          })
        );
      }
      this.bannerEl.hidden = open.length === 0;
      document.body.classList.toggle('alarmed', open.length > 0);
    }

    // A central broker's bridges: the broken ones by name.
    renderBridges() {
      const bridges = [...this.fleet.bridges.entries()];
      const down = bridges.filter(([, up]) => !up).map(([name]) => name);
      this.bridgesEl.hidden = bridges.length === 0;
      setData(this.bridgesEl, 'state', down.length ? 'off' : 'on');
      const text = down.length
        ? 'нет моста к объекту: ' + down.join(', ')
        : 'мосты к объектам: ' + bridges.length + ' на связи';
      setText(this.bridgesEl, text);
    }

    renderEvents() {
      this.updateFilters();
      const want = {
        site: this.filters.site.value,
        sensor: this.filters.sensor.value,
        kind: this.filters.kind.value,
      };
      // "неподтверждённые": every alarm awaiting its acknowledgement, however
      // old, as its beginning's line.
      const entries =
        want.kind === OPEN_FILTER
          ? this.fleet.alarms.open().map((a) => ({
              site: a.site, sensor: a.sensor,
              event: a.begin || { event: EVENT.ALARM_BEGIN, time: a.since, alarm_bits: a.bits },
            }))
          : want.site || want.sensor
            ? this.fleet.siteEvents.get(want.site || want.sensor.split('/')[0]) || []
            : this.fleet.events;
      const rows = [];
      for (const entry of entries) {
        if (want.site && entry.site !== want.site) continue;
        if (want.sensor && entry.site + '/' + entry.sensor !== want.sensor) continue;
        if (want.kind && want.kind !== OPEN_FILTER && entry.event.event !== want.kind) continue;
        rows.push(this.eventRow(entry));
        if (rows.length === SHOWN_EVENTS) break;
      }
      this.eventsEl.replaceChildren(...rows);
    }

    // The beginning of the alarm an `ack` took, when known: a detection's is
    // named as one.
    ackedBegin(sensorKey, e) {
      const a = e.event === EVENT.ACK ? this.fleet.alarms.get(sensorKey + '|' + e.alarm_time) : null;
      return a ? a.begin : null;
    }

    eventRow(entry) {
      const e = entry.event;
      const row = el('li', 'event event-' + e.event.replace(/[^a-z_]/g, ''));
      if (isCount(e.walk_test) && (e.event === EVENT.ALARM_BEGIN || e.event === EVENT.ALARM_END))
        row.classList.add('event-detection');
      if (e.event === EVENT.WALK_TEST_END) row.dataset.reason = String(e.reason);
      row.append(
        el('span', 'event-time', clock(e.time)),
        el('span', 'event-where', entry.site + ' / ' + entry.sensor),
        el('span', 'event-kind', eventKind(e, this.ackedBegin(entry.site + '/' + entry.sensor, e))),
        el('span', 'event-detail', eventDetail(e))
      );
      const bits = bitsTitle(e);
      if (bits) row.title = bits;
      if (e.event === EVENT.ALARM_BEGIN) this.ackLine(row, entry);
      return row;
    }

    // An alarm's line says who acknowledged it, when and why, or offers to.
    ackLine(row, entry) {
      const a = this.fleet.alarms.get(entry.site + '/' + entry.sensor + '|' + entry.event.time);
      if (!a) return;
      if (a.ack) {
        row.dataset.ack = 'done';
        const when = a.ack.time ? ' в ' + clock(a.ack.time) : '';
        const why = a.ack.comment ? ' — ' + a.ack.comment : '';
        row.append(el('span', 'event-ack', 'принято: ' + a.ack.operator + when + why));
        return;
      }
      row.dataset.ack = 'open';
      const line = el('span', 'event-ack', 'не подтверждена ');
      const button = el('button', 'event-accept', 'Принять…');
      button.type = 'button';
      button.addEventListener('click', () => this.onAccept(a.key));
      line.append(button);
      row.append(line);
    }

    // New sites, sensors and kinds join the filters' choices.
    updateFilters() {
      const add = (which, value, label) => {
        if (this.known[which].has(value)) return;
        this.known[which].add(value);
        const option = el('option', null, label);
        option.value = value;
        this.filters[which].append(option);
      };
      for (const s of this.fleet.sensors.values()) {
        add('site', s.site, s.site);
        add('sensor', s.key, s.site + ' / ' + s.name);
      }
      for (const entry of this.fleet.events) add('kind', entry.event.event, eventText(entry.event.event));
    }
  }

  root.TarvinView = { View, clock, LINK_TEXT, ALARM_TEXT };
})(globalThis);
