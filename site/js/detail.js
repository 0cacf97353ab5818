// One sensor's detail: its recent summaries as a chart (useful signal's
// maximum and threshold's minimum, and the margin when the summaries carry
// one) and its last oscillogram, with the oscillogram as CSV to download.
(function (root) {
  'use strict';

  const { CHART } = root.TarvinFleet;
  const COLOURS = { useful: '#ff9f43', threshold: '#4dabf7', margin: '#51cf66', input: '#b197fc' };

  function axes(timeAxis) {
    const axis = { stroke: '#c9d1d9', grid: { stroke: '#30363d' }, ticks: { stroke: '#30363d' } };
    const x = Object.assign({}, axis);
    // A 24-hour clock, as the room reads it.
    if (timeAxis) x.space = 90;
    if (timeAxis)
      x.values = (u, splits) => {
        const seconds = splits.length > 1 && splits[1] - splits[0] < 60;
        const format = { hour: '2-digit', minute: '2-digit', second: seconds ? '2-digit' : undefined };
        return splits.map((t) => new Date(t * 1000).toLocaleTimeString('ru-RU', format));
      };
    return [x, Object.assign({}, axis)];
  }

  class Detail {
    constructor(fleet) {
      this.fleet = fleet;
      this.key = null;
      this.panel = document.getElementById('detail');
      this.title = document.getElementById('detail-title');
      this.trendBox = document.getElementById('trend');
      this.trendNote = document.getElementById('trend-note');
      this.oscBox = document.getElementById('osc');
      this.oscNote = document.getElementById('osc-note');
      this.csvLink = document.getElementById('osc-csv');
      // The broker keeps neither summaries nor oscillograms: the page has
      // only those that came since it opened.
      this.openedAt = Date.now();
      this.trend = null;
      this.trendShape = '';
      this.osc = null;
      this.shownOsc = null;
      this.csvUrl = null;
      document.getElementById('detail-close').addEventListener('click', () => this.show(null));
      window.addEventListener('resize', () => this.resize());
    }

    show(key) {
      this.key = key;
      this.panel.hidden = key === null;
      this.dropCharts();
      if (key !== null) this.render();
    }

    dropCharts() {
      if (this.trend) this.trend.destroy();
      if (this.osc) this.osc.destroy();
      this.trend = this.osc = null;
      this.trendShape = '';
      this.trendRevision = -1;
      this.shownOsc = undefined; // the note is written even when there is none
      this.trendBox.replaceChildren();
      this.oscBox.replaceChildren();
    }

    width(box) {
      return Math.max(300, box.clientWidth || this.panel.clientWidth - 40);
    }

    resize() {
      if (this.trend) this.trend.setSize({ width: this.width(this.trendBox), height: 220 });
      if (this.osc) this.osc.setSize({ width: this.width(this.oscBox), height: 260 });
    }

    sinceOpened() {
      return 'с открытия страницы в ' + root.TarvinEventText.clock(new Date(this.openedAt).toISOString());
    }

    // Called after messages for the shown sensor.
    render() {
      const s = this.key && this.fleet.sensors.get(this.key);
      if (!s) return;
      this.title.textContent = s.site + ' / ' + s.name;
      this.renderTrend(s);
      this.renderOscillogram(s);
    }

    renderTrend(s) {
      // Drawn again only when a point came or changed.
      if (this.trend && this.trendRevision === s.chart.revision) return;
      this.trendRevision = s.chart.revision;
      const points = s.chart.points;
      const withMargin = points.some((p) => p.margin !== null && p.margin !== undefined);
      const opened = this.sinceOpened();
      const partial = Date.now() - this.openedAt < 3600e3 ? ' Показано ' + opened + ': более ранних брокер не хранит.' : '';
      this.trendNote.textContent =
        s.chart.source === CHART.SUMMARY
          ? 'Сводки регистратора: максимум полезного сигнала и минимум порога за период.' + partial
          : s.chart.source === CHART.SAMPLES
          ? 'По выборкам регистратора: максимум полезного сигнала и минимум порога за 5 с.' + partial
          : 'Ни сводок, ни выборок ' + opened + ' не было. Сводки регистратор присылает, пока идёт ' +
            'график датчика; частые выборки для этого графика — если их включил администратор объекта.';
      this.trendBox.dataset.points = String(points.length);
      if (points.length === 0) return;
      const data = [
        points.map((p) => p.t / 1000),
        points.map((p) => p.useful),
        points.map((p) => p.threshold),
      ];
      if (withMargin) data.push(points.map((p) => (p.margin === undefined ? null : p.margin)));
      const shape = withMargin ? 'margin' : 'plain';
      if (this.trend && shape === this.trendShape) {
        this.trend.setData(data);
        return;
      }
      if (this.trend) this.trend.destroy();
      const series = [
        {},
        { label: 'полезный, макс.', stroke: COLOURS.useful, width: 2 },
        { label: 'порог, мин.', stroke: COLOURS.threshold, width: 2 },
      ];
      if (withMargin) series.push({ label: 'запас', stroke: COLOURS.margin, width: 1.5 });
      this.trendShape = shape;
      this.trend = new root.uPlot(
        {
          width: this.width(this.trendBox),
          height: 220,
          series,
          axes: axes(true),
          legend: { live: false },
          // Two minutes at least, so a few first points do not stretch over years.
          scales: { x: { range: (u, min, max) => [Math.min(min, max - 120), max] } },
        },
        data,
        this.trendBox
      );
    }

    renderOscillogram(s) {
      const o = s.oscillogram;
      if (o === this.shownOsc) return;
      this.shownOsc = o;
      if (this.osc) this.osc.destroy();
      this.osc = null;
      if (this.csvUrl) URL.revokeObjectURL(this.csvUrl);
      this.csvUrl = null;
      this.csvLink.hidden = !o;
      this.oscBox.dataset.points = o ? String(o.data.count) : '0';
      if (!o) {
        this.oscNote.textContent =
          'Осциллограмм ' + this.sinceOpened() + ' не было: брокер их не хранит, здесь будет следующая, ' +
          'что сохранит регистратор.';
        return;
      }
      this.oscNote.textContent = o.name + ' (' + o.data.count + ' точек)';
      const d = o.data;
      const index = Array.from({ length: d.count }, (_, i) => i);
      // The window draws threshold, useful and input; ekNoise and ekClimate
      // are in the CSV.
      this.osc = new root.uPlot(
        {
          width: this.width(this.oscBox),
          height: 260,
          scales: { x: { time: false } },
          series: [
            { label: 'точка' },
            { label: 'порог', stroke: COLOURS.threshold, width: 2 },
            { label: 'полезный', stroke: COLOURS.useful, width: 2 },
            { label: 'входной', stroke: COLOURS.input, width: 1 },
          ],
          axes: axes(false),
          legend: { live: false },
        },
        [index, Array.from(d.threshold), Array.from(d.useful), Array.from(d.input)],
        this.oscBox
      );
      this.csvUrl = URL.createObjectURL(new Blob([root.TarvinOscillogram.csv(d)], { type: 'text/csv' }));
      this.csvLink.href = this.csvUrl;
      this.csvLink.download = o.name.replace(/\.bin$/i, '') + '.csv';
    }
  }

  root.TarvinDetail = { Detail };
})(globalThis);
