// The "План" view: a site's plan, its picture in an SVG whose viewBox the
// mouse zooms (wheel) and pans (drag), each sensor's zone drawn over it in
// its state's colour with its label; the sensors on no plan listed beside it.
// Nothing is drawn until the plan's message and its picture both passed
// their checks; what failed is said instead. Texts are set as text.
(function (root) {
  'use strict';

  const SVG = 'http://www.w3.org/2000/svg';
  const { imageUrl, fitsImage, zoneState, ZONE } = root.TarvinPlan;
  const LABEL_PX = 16; // the labels' size on screen, whatever the zoom
  const HATCH_PX = 8;
  const DRAG_PX = 4; // a press that moves less is a click
  const ZOOM_STEP = 1.2;
  const MOST_ZOOM = 20; // the smallest part shown: a twentieth of the picture

  function svgEl(tag, attrs = {}, className) {
    const e = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, String(v));
    if (className) e.setAttribute('class', className);
    return e;
  }
  const pointsAttr = (points) => points.map(([x, y]) => x + ',' + y).join(' ');
  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }

  // Where a zone's label goes: the middle of its middle segment.
  function labelAt(points) {
    const i = Math.max(0, Math.floor((points.length - 1) / 2));
    const [a, b] = [points[i], points[Math.min(i + 1, points.length - 1)]];
    return [(a[0] + b[0]) / 2, (a[1] + b[1]) / 2];
  }

  const TYPES = { png: 'image/png', jpg: 'image/jpeg', jpeg: 'image/jpeg', svg: 'image/svg+xml' };

  // {width, height, src} of the picture at `url`, or an error saying why not.
  async function readImage(url) {
    const response = await fetch(url, { cache: 'no-cache' }).catch(() => null);
    if (!response || !response.ok) throw new Error('не загружается: на брокере нет такого файла в папке страницы');
    const type = TYPES[url.slice(url.lastIndexOf('.') + 1)];
    const src = URL.createObjectURL(new Blob([await response.arrayBuffer()], { type }));
    const img = new Image();
    img.src = src;
    try {
      await img.decode();
    } catch (e) {
      throw new Error('не читается: файл не картинка ' + type);
    }
    if (!(img.naturalWidth > 0 && img.naturalHeight > 0)) throw new Error('без размера: у SVG нет width и height');
    return { width: img.naturalWidth, height: img.naturalHeight, src };
  }

  // The picture and what is drawn over it, in the picture's own pixels; the
  // viewBox is the part of the picture shown.
  class PlanStage {
    constructor(svg) {
      this.svg = svg;
      this.image = svg.querySelector('.plan-image');
      this.hatch = svg.querySelector('pattern');
      this.size = null;
      this.box = null;
      this.press = null;
      this.onClick = () => {}; // (point in the picture, element pressed)
      this.onView = () => {}; // after every zoom or pan
      svg.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
      svg.addEventListener('pointerdown', (e) => this.down(e));
      svg.addEventListener('pointermove', (e) => this.move(e));
      svg.addEventListener('pointerup', (e) => this.up(e));
      window.addEventListener('resize', () => this.box && this.setBox(this.box.x, this.box.y, this.box.w, this.box.h));
    }

    show(url, width, height) {
      if (this.image.getAttribute('href') !== url) this.image.setAttribute('href', url);
      if (this.size && this.size[0] === width && this.size[1] === height) return;
      this.size = [width, height];
      this.image.setAttribute('width', width);
      this.image.setAttribute('height', height);
      this.fit();
    }

    fit() {
      if (this.size) this.setBox(0, 0, this.size[0], this.size[1]);
    }

    // Screen pixels per picture pixel (preserveAspectRatio meet).
    scale() {
      const w = this.svg.clientWidth || 1;
      const h = this.svg.clientHeight || 1;
      return Math.min(w / this.box.w, h / this.box.h);
    }

    setBox(x, y, w, h) {
      this.box = { x, y, w, h };
      this.svg.setAttribute('viewBox', [x, y, w, h].join(' '));
      const unit = 1 / this.scale();
      this.svg.style.fontSize = LABEL_PX * unit + 'px';
      for (const k of ['width', 'height']) this.hatch.setAttribute(k, HATCH_PX * unit);
      this.onView(unit);
    }

    // The part around `points`, a few times their extent, its middle theirs.
    centreOn(points) {
      const xs = points.map((p) => p[0]);
      const ys = points.map((p) => p[1]);
      const [W, H] = this.size;
      const aspect = W / H;
      const bw = Math.max(...xs) - Math.min(...xs);
      const bh = Math.max(...ys) - Math.min(...ys);
      const w = Math.min(W, Math.max(W / 6, 2 * Math.max(bw, bh * aspect)));
      const cx = (Math.max(...xs) + Math.min(...xs)) / 2;
      const cy = (Math.max(...ys) + Math.min(...ys)) / 2;
      this.setBox(cx - w / 2, cy - w / aspect / 2, w, w / aspect);
    }

    toImage(clientX, clientY) {
      const p = new DOMPoint(clientX, clientY).matrixTransform(this.svg.getScreenCTM().inverse());
      return [p.x, p.y];
    }

    // The wheel zooms about the point under the mouse, which stays there.
    wheel(e) {
      if (!this.box) return;
      e.preventDefault();
      const [px, py] = this.toImage(e.clientX, e.clientY);
      const f = e.deltaY > 0 ? ZOOM_STEP : 1 / ZOOM_STEP;
      const w = Math.min(this.size[0] * 2, Math.max(this.size[0] / MOST_ZOOM, this.box.w * f));
      const k = w / this.box.w;
      this.setBox(px - (px - this.box.x) * k, py - (py - this.box.y) * k, w, this.box.h * k);
    }

    down(e) {
      if (e.button !== 0 || !this.box) return;
      this.press = { x: e.clientX, y: e.clientY, box: { ...this.box }, target: e.target, moved: false };
      this.svg.setPointerCapture(e.pointerId);
    }

    move(e) {
      const p = this.press;
      if (!p) return;
      const dx = e.clientX - p.x;
      const dy = e.clientY - p.y;
      if (!p.moved && Math.hypot(dx, dy) < DRAG_PX) return;
      p.moved = true;
      const s = this.scale();
      this.setBox(p.box.x - dx / s, p.box.y - dy / s, p.box.w, p.box.h);
    }

    up(e) {
      const p = this.press;
      this.press = null;
      if (p && !p.moved) this.onClick(this.toImage(e.clientX, e.clientY), p.target);
    }
  }

  class PlanView {
    constructor(fleet, plans, onSelect) {
      this.fleet = fleet;
      this.plans = plans;
      this.onSelect = onSelect;
      this.visible = false;
      this.editing = false; // the editor draws meanwhile
      this.images = new Map(); // url -> {state: 'loading'|'ok'|'error', width, height}
      this.zones = []; // [{key, root, line, halo, state}] of the plan drawn
      this.drawn = null; // the plan and picture they were drawn from
      this.wanted = null; // the sensor whose zone the next drawing centres on
      this.section = document.getElementById('plan');
      this.siteSelect = document.getElementById('plan-site');
      this.problemEl = document.getElementById('plan-problem');
      this.noneEl = document.getElementById('plan-none');
      this.bodyEl = document.getElementById('plan-body');
      this.offEl = document.getElementById('plan-off');
      this.offList = document.getElementById('plan-off-list');
      this.layer = document.getElementById('plan-zones');
      this.stage = new PlanStage(document.getElementById('plan-svg'));
      this.editor = null; // set by the editor, which takes the clicks while it draws
      this.stage.onClick = (point, target) => (this.editing ? this.editor.clickAt(point) : this.clicked(target));
      this.siteSelect.addEventListener('change', () => this.render(Date.now()));
      document.getElementById('plan-fit').addEventListener('click', () => this.stage.fit());
    }

    get site() {
      return this.siteSelect.value;
    }

    setVisible(visible) {
      this.visible = visible;
      this.section.hidden = !visible;
      if (visible) this.render(Date.now());
    }

    // The sites the broker told of, by their sensors or their plans.
    updateSites() {
      const names = new Set([...this.fleet.sensors.values()].map((s) => s.site));
      for (const site of this.plans.bySite.keys()) names.add(site);
      const sorted = [...names].sort((a, b) => a.localeCompare(b));
      const shown = [...this.siteSelect.options].map((o) => o.value);
      if (sorted.join('\n') === shown.join('\n')) return;
      const keep = this.siteSelect.value;
      this.siteSelect.replaceChildren(
        ...sorted.map((site) => {
          const o = document.createElement('option');
          o.value = site;
          o.textContent = site;
          return o;
        })
      );
      if (names.has(keep)) this.siteSelect.value = keep;
    }

    // The state of the chosen site's plan: {plan, url, width, height} to
    // draw, or {say, problem} instead.
    current() {
      const site = this.site;
      if (!site) return { say: 'Объектов пока нет: ждём сообщений регистраторов.' };
      const entry = this.plans.get(site);
      if (!entry) return { say: 'У объекта «' + site + '» нет плана.', none: true };
      const why = (text) => ({ say: 'План объекта «' + site + '» не показан: ' + text + '.', problem: true });
      if (entry.problem) return why(entry.problem);
      const url = imageUrl(site, entry.plan.image);
      const image = this.loadImage(url);
      if (image.state === 'loading') return { say: 'Загрузка картинки плана…' };
      if (image.state === 'error') return why('картинка ' + entry.plan.image + ' ' + image.why);
      const outside = fitsImage(entry.plan, image.width, image.height);
      if (outside) return why(outside);
      return { plan: entry.plan, url: image.src, width: image.width, height: image.height };
    }

    // A picture, read once: its size and where the SVG takes it from, once
    // `ready`; drawn again then. The broker's http_dir names no file's type,
    // and a browser shows an SVG only under its type: the bytes are fetched
    // and given the type their extension says.
    loadImage(url) {
      let image = this.images.get(url);
      if (image) return image;
      image = { state: 'loading', width: 0, height: 0, src: null, why: '' };
      this.images.set(url, image);
      image.ready = readImage(url).then(
        (read) => Object.assign(image, read, { state: 'ok' }),
        (e) => Object.assign(image, { state: 'error', why: e.message })
      );
      image.ready.then(() => this.render(Date.now()));
      return image;
    }

    render(now) {
      if (!this.visible) return;
      this.updateSites();
      if (this.editing) return;
      const c = this.current();
      this.problemEl.hidden = !c.problem;
      this.noneEl.hidden = !!c.problem || !c.say;
      setText(c.problem ? this.problemEl : document.getElementById('plan-none-text'), c.say || '');
      document.getElementById('plan-to-tiles').hidden = !c.none;
      this.bodyEl.hidden = !c.plan;
      if (!c.plan) {
        this.clear();
        return;
      }
      if (!this.drawn || this.drawn.plan !== c.plan || this.drawn.url !== c.url) this.draw(c);
      this.updateZones(now);
      this.renderOffPlan(c.plan);
      if (this.wanted) this.centreWanted();
    }

    // The drawn zones' states alone.
    renderStates(now) {
      if (this.visible && !this.editing && this.drawn) this.updateZones(now);
    }

    clear() {
      this.drawn = null;
      this.zones = [];
      this.layer.replaceChildren();
    }

    draw(c) {
      this.drawn = c;
      this.stage.show(c.url, c.width, c.height);
      this.zones = c.plan.zones.map((z) => this.makeZone(c.plan.site, z, c.width));
      this.layer.replaceChildren(...this.zones.map((z) => z.root));
    }

    makeZone(site, z, width) {
      const points = pointsAttr(z.points);
      const root = svgEl('g', {}, 'plan-zone');
      root.dataset.sensor = z.sensor;
      const halo = svgEl('polyline', { points }, 'zone-halo');
      const line = svgEl('polyline', { points }, 'zone-line');
      const [x, y] = labelAt(z.points);
      const text = svgEl('text', { x, y }, 'zone-label');
      // A label near an edge of the picture reads inwards from its line.
      if (x < width / 4) Object.assign(text.style, { textAnchor: 'start' });
      if (x > (3 * width) / 4) Object.assign(text.style, { textAnchor: 'end' });
      if (x < width / 4 || x > (3 * width) / 4) text.setAttribute('dx', x < width / 4 ? '0.5em' : '-0.5em');
      const name = svgEl('tspan', {}, 'zone-name');
      name.textContent = z.label;
      const state = svgEl('tspan', {}, 'zone-state');
      text.append(name, state);
      root.append(halo, line, text);
      return { key: site + '/' + z.sensor, zone: z, root, state };
    }

    updateZones(now) {
      for (const z of this.zones) {
        const { state, text } = zoneState(this.fleet, z.key, now);
        if (z.root.dataset.state !== state) z.root.dataset.state = state;
        setText(z.state, ' — ' + text);
      }
    }

    // The site's sensors the broker knows that no zone names.
    renderOffPlan(plan) {
      const on = new Set(plan.zones.map((z) => z.sensor));
      const off = [...this.fleet.sensors.values()].filter((s) => s.site === plan.site && !on.has(s.name));
      off.sort((a, b) => a.name.localeCompare(b.name));
      this.offEl.hidden = off.length === 0;
      const shown = off.map((s) => s.name).join('\n');
      if (this.offList.dataset.shown === shown) return;
      this.offList.dataset.shown = shown;
      this.offList.replaceChildren(
        ...off.map((s) => {
          const li = document.createElement('li');
          const b = document.createElement('button');
          b.type = 'button';
          b.textContent = s.name;
          b.addEventListener('click', () => this.onSelect(s.key));
          li.append(b);
          return li;
        })
      );
    }

    clicked(target) {
      const root = target && target.closest && target.closest('.plan-zone');
      const z = root && this.zones.find((x) => x.root === root);
      if (z && !this.editing) this.onSelect(z.key);
    }

    // The plan of a sensor's site, centred on its zone once drawn: false
    // when the site has no plan that shows the sensor.
    showSensor(key) {
      const s = this.fleet.sensors.get(key);
      const entry = s && this.plans.get(s.site);
      if (!entry || !entry.plan || !entry.plan.zones.some((z) => z.sensor === s.name)) return false;
      this.siteSelect.value = s.site;
      this.wanted = key;
      this.render(Date.now());
      return true;
    }

    centreWanted() {
      const mine = this.zones.filter((z) => z.key === this.wanted);
      if (mine.length === 0) return;
      this.wanted = null;
      this.stage.centreOn(mine.flatMap((z) => z.zone.points));
    }
  }

  root.TarvinPlanView = { PlanView, PlanStage, svgEl, pointsAttr, ZONE };
})(globalThis);
