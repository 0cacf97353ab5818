// Drawing a site's plan: the zones as lines of points clicked along the fence
// on the site's picture, each named for a sensor the broker knows, then kept
// on the broker as the site's retained plan. The broker's ACL decides who may
// save; a refusal is said in the room's words.
(function (root) {
  'use strict';

  const { readPlan, fitsImage, planText, imagePaths, imageUrl, topicOf } = root.TarvinPlan;
  const { svgEl, pointsAttr } = root.TarvinPlanView;
  const NOT_AUTHORIZED = 135; // MQTT 5 reason code of a publish the ACL refused
  const POINT_PX = 7; // a point's radius on screen

  const byId = (id) => document.getElementById(id);
  function option(value, text) {
    const o = document.createElement('option');
    o.value = value;
    o.textContent = text;
    return o;
  }

  class PlanEditor {
    constructor(fleet, plans, view) {
      this.fleet = fleet;
      this.plans = plans;
      this.view = view;
      this.client = null;
      this.login = '';
      this.draft = null; // {site, image, size, zones: [{sensor, label, points}]}
      this.zone = -1; // the zone being drawn
      this.point = -1; // its chosen point
      this.unit = 1; // picture pixels per screen pixel
      this.panel = byId('plan-edit');
      this.layer = byId('plan-draft');
      this.zoneSelect = byId('plan-zone');
      this.sensorSelect = byId('plan-sensor');
      this.labelInput = byId('plan-label');
      this.status = byId('plan-status');
      view.editor = this;
      view.stage.onView = (unit) => {
        this.unit = unit;
        if (this.draft) this.draw();
      };
      this.wire();
    }

    wire() {
      const on = (id, f) => byId(id).addEventListener('click', f);
      on('plan-edit-open', () => this.open());
      on('plan-edit-cancel', () => this.close());
      on('plan-save', () => this.save());
      on('plan-zone-new', () => this.newZone());
      on('plan-zone-delete', () => this.deleteZone());
      on('plan-point-delete', () => this.deletePoint());
      this.zoneSelect.addEventListener('change', () => this.choose(Number(this.zoneSelect.value)));
      this.sensorSelect.addEventListener('change', () => this.rename());
      this.labelInput.addEventListener('input', () => this.current() && (this.current().label = this.labelInput.value));
      document.addEventListener('keydown', (e) => {
        if (this.draft && e.key === 'Delete' && e.target.tagName !== 'INPUT') this.deletePoint();
      });
    }

    // The connection a save goes over, and the login the broker took.
    connected(client, login) {
      this.client = client;
      this.login = login;
    }

    say(text) {
      this.status.textContent = text;
      this.status.hidden = !text;
    }

    current() {
      return this.draft ? this.draft.zones[this.zone] : null;
    }

    // Editing the site the view shows: its plan as saved, or a new one on
    // the first of its pictures found in plans/.
    async open() {
      const site = this.view.site;
      if (!site || this.draft) return;
      const entry = this.plans.get(site);
      const saved = entry && entry.plan;
      const paths = saved ? [saved.image, ...imagePaths(site)] : imagePaths(site);
      this.say('');
      const found = await this.findImage(site, paths);
      if (!found) return this.say('Нет картинки плана: положите ' + imagePaths(site)[0] + ' (или .jpg, .jpeg, .svg) в папку страницы на брокере.');
      const zones = saved && found.path === saved.image ? saved.zones.map((z) => ({ ...z, points: z.points.map((p) => [...p]) })) : [];
      this.draft = { site, image: found.path, size: [found.width, found.height], zones };
      this.view.editing = true;
      this.view.clear();
      this.view.bodyEl.hidden = false;
      this.view.siteSelect.disabled = true;
      this.view.stage.show(found.src, found.width, found.height);
      this.panel.hidden = false;
      byId('plan-edit-title').textContent = 'План объекта «' + site + '» (' + found.path + ')';
      this.choose(zones.length ? 0 : -1);
    }

    async findImage(site, paths) {
      for (const path of paths) {
        const image = this.view.loadImage(imageUrl(site, path));
        await image.ready;
        if (image.state === 'ok') return { path, src: image.src, width: image.width, height: image.height };
      }
      return null;
    }

    close() {
      this.draft = null;
      this.layer.replaceChildren();
      this.panel.hidden = true;
      this.view.siteSelect.disabled = false;
      this.view.editing = false;
      this.view.render(Date.now());
    }

    choose(index) {
      this.zone = index;
      this.point = -1;
      this.fillControls();
      this.draw();
    }

    // The zone list, and the chosen zone's sensor (those of the site the
    // broker knows, and the zone's own) and label.
    fillControls() {
      const zones = this.draft.zones;
      this.zoneSelect.replaceChildren(...zones.map((z, i) => option(i, i + 1 + ': ' + z.sensor + ' — ' + z.label)));
      this.zoneSelect.value = String(this.zone);
      const z = this.current();
      const names = [...this.fleet.sensors.values()].filter((s) => s.site === this.draft.site).map((s) => s.name);
      if (z && !names.includes(z.sensor)) names.push(z.sensor);
      names.sort((a, b) => a.localeCompare(b));
      this.sensorSelect.replaceChildren(...names.map((n) => option(n, n)));
      this.sensorSelect.value = z ? z.sensor : '';
      this.labelInput.value = z ? z.label : '';
      for (const id of ['plan-sensor', 'plan-label', 'plan-zone-delete', 'plan-point-delete']) byId(id).disabled = !z;
    }

    // A new zone, for the first of the site's sensors on no zone yet.
    newZone() {
      if (!this.draft) return;
      const on = new Set(this.draft.zones.map((z) => z.sensor));
      const names = [...this.fleet.sensors.values()].filter((s) => s.site === this.draft.site).map((s) => s.name).sort();
      const sensor = names.find((n) => !on.has(n)) || names[0];
      if (!sensor) return this.say('Датчиков этого объекта брокер пока не знает: зону не к чему привязать.');
      this.draft.zones.push({ sensor, label: sensor, points: [] });
      this.choose(this.draft.zones.length - 1);
    }

    deleteZone() {
      if (!this.current()) return;
      this.draft.zones.splice(this.zone, 1);
      this.choose(Math.min(this.zone, this.draft.zones.length - 1));
    }

    rename() {
      const z = this.current();
      if (!z) return;
      // A label that was the sensor's name follows it.
      if (z.label === z.sensor || !z.label) z.label = this.sensorSelect.value;
      z.sensor = this.sensorSelect.value;
      this.fillControls();
    }

    deletePoint() {
      const z = this.current();
      if (!z || this.point < 0) return;
      z.points.splice(this.point, 1);
      this.point = -1;
      this.draw();
    }

    // A click on the picture: a point at the end of the chosen zone (a new
    // zone when there is none).
    clickAt(point) {
      if (!this.draft) return;
      if (!this.current()) this.newZone();
      const z = this.current();
      if (!z) return;
      z.points.push(this.onPicture(point));
      this.point = z.points.length - 1;
      this.draw();
    }

    // Whole pixels on the picture.
    onPicture([x, y]) {
      const [w, h] = this.draft.size;
      return [Math.round(Math.min(w, Math.max(0, x))), Math.round(Math.min(h, Math.max(0, y)))];
    }

    draw() {
      if (!this.draft) return;
      const lines = this.draft.zones.map((z, i) =>
        svgEl('polyline', { points: pointsAttr(z.points) }, 'draft-zone' + (i === this.zone ? ' current' : ''))
      );
      const z = this.current();
      const handles = z ? z.points.map((p, k) => this.handle(z, lines[this.zone], p, k)) : [];
      this.layer.replaceChildren(...lines, ...handles);
    }

    // A point of the chosen zone: pressed, it is chosen; dragged, it moves
    // with its line. Nothing is drawn anew meanwhile: the point keeps the pointer.
    handle(z, line, [x, y], k) {
      const c = svgEl('circle', { cx: x, cy: y, r: POINT_PX * this.unit }, 'draft-point' + (k === this.point ? ' chosen' : ''));
      c.addEventListener('pointerdown', (e) => {
        e.stopPropagation();
        this.point = k;
        for (const other of this.layer.querySelectorAll('.draft-point')) other.classList.toggle('chosen', other === c);
        c.setPointerCapture(e.pointerId);
      });
      c.addEventListener('pointermove', (e) => {
        if (!c.hasPointerCapture(e.pointerId)) return;
        z.points[k] = this.onPicture(this.view.stage.toImage(e.clientX, e.clientY));
        c.setAttribute('cx', z.points[k][0]);
        c.setAttribute('cy', z.points[k][1]);
        line.setAttribute('points', pointsAttr(z.points));
      });
      return c;
    }

    // The draft checked as any plan message is, then kept on the broker.
    save() {
      const d = this.draft;
      if (!d) return;
      const short = d.zones.findIndex((z) => z.points.length < 2);
      if (short >= 0) return this.say('План не сохранён: в зоне ' + (short + 1) + ' меньше двух точек.');
      const zones = d.zones.map((z) => ({ sensor: z.sensor, label: z.label.trim() || z.sensor, points: z.points }));
      const text = planText({ image: d.image, zones });
      const read = readPlan(d.site, text);
      const problem = read.problem || fitsImage(read.plan, d.size[0], d.size[1]);
      if (problem) return this.say('План не сохранён: ' + problem + '.');
      if (!this.client || !this.client.connected) return this.say('План не сохранён: нет соединения с брокером.');
      const login = this.login;
      this.say('Сохранение плана…');
      this.client.publish(topicOf(d.site), text, { qos: 1, retain: true }, (err) => {
        if (!err) {
          if (this.draft === d) this.close();
          return this.say('План объекта «' + d.site + '» сохранён.');
        }
        this.say(
          err.code === NOT_AUTHORIZED
            ? 'План не сохранён: брокер не разрешает ' + (login ? 'входу «' + login + '»' : 'входу без имени') + ' записывать планы (это может вход администратора).'
            : 'План не сохранён: ' + (err.message || 'ошибка брокера') + '.'
        );
      });
    }
  }

  root.TarvinPlanEditor = { PlanEditor };
})(globalThis);
