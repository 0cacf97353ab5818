// The page's wiring: the connection to the broker (MQTT.js over websockets),
// the login, the sound of an alarm, and the drawing of what arrives. The page
// subscribes; it publishes nothing but its operators' acknowledgements (and
// the empty question, at each login, whether the login may).
(function (root) {
  'use strict';

  // The pieces of the recorders' histories, the sensors' topics (not the
  // operators' acknowledgements, which only the recorders read), and a
  // central broker's bridges to the sites (mosquitto's notifications; the
  // broker may refuse these to the page's user). The broker hands out the
  // retained messages filter by filter, in this order: the history first,
  // so that a status whose alarm is a walk test's detection (the test ended
  // while it lasts) comes after the event that says so, and a page opened
  // then never calls it an alarm.
  // The sites' plans come last: a zone is drawn from the states already here.
  const TOPICS = ['tarvin9/+/+/history/#', 'tarvin9/+/+/+', 'tarvin9/+/plan', '$SYS/broker/connection/+/state'];
  // A large control room's page cannot read every sensor's whole night at
  // once (a hundred retained alarms each: 32 MB for 500 sensors take the page
  // minutes). Past this many sensors it reads at once what the room must
  // answer: the alarms each recorder keeps apart while they await their
  // acknowledgement or last (`history/open/<slot>`) and the link changes and
  // walk tests, in the same order as above; a site's whole night
  // (`history/alarm/<slot>`) when the operator asks for that site.
  const NIGHT_AT_ONCE = 100;
  const FIRST_TOPICS = ['tarvin9/+/+/history/open/#', 'tarvin9/+/+/history/link/#', ...TOPICS.slice(1)];
  const nightOf = (site) => 'tarvin9/' + site + '/+/history/alarm/#';
  const { EVENT } = root.TarvinEventText;
  const RENDER_EVERY_MS = 100; // tiles and lists are drawn in batches
  const STALE_CHECK_MS = 5000;
  const BANNER_AGES_MS = 1000;
  const SOUND_AGAIN_MS = 10000; // the tones again while an alarm awaits its acknowledgement
  // The libraries the page loads from its vendor/ folder, by the global each defines.
  const LIBRARIES = [
    ['mqtt', 'vendor/mqtt.min.js'],
    ['uPlot', 'vendor/uPlot.iife.min.js'],
  ];

  // A page served from a folder that was never prepared (a checkout without
  // scripts/site.sh) has no libraries: it says so rather than wait for a
  // connection that cannot come.
  const missing = LIBRARIES.filter(([name]) => !root[name]).map(([, file]) => file);
  if (missing.length > 0) {
    const connection = document.getElementById('connection');
    connection.textContent = 'не подключено: нет библиотек страницы';
    connection.dataset.state = 'off';
    const error = document.getElementById('page-error');
    error.textContent =
      'Страница не подготовлена: нет её библиотек (' + missing.join(', ') + '), без них она не подключится ' +
      'к брокеру. В копии исходников их кладёт в site/vendor/ команда scripts/site.sh; пакет tarvin9 ' +
      'ставит страницу с ними.';
    error.hidden = false;
    // Nothing else on the page can work: no tiles to wait for, no login.
    document.querySelector('main').hidden = true;
    for (const id of ['sound', 'login-open']) document.getElementById(id).hidden = true;
    return;
  }

  const fleet = new root.TarvinFleet.Fleet();
  const detail = new root.TarvinDetail.Detail(fleet);
  const acknowledger = new root.TarvinAcknowledge.Acknowledger(fleet);
  const view = new root.TarvinView.View(
    fleet,
    (key) => {
      askNight(key.split('/')[0]);
      detail.show(key);
    },
    (key) => acknowledger.open(key)
  );
  const plans = new root.TarvinPlan.Plans();
  const planView = new root.TarvinPlanView.PlanView(fleet, plans, (key) => detail.show(key));
  const planEditor = new root.TarvinPlanEditor.PlanEditor(fleet, plans, planView);
  let client = null;
  let renderTimer = null;
  let urgentTimer = null;
  let urgentSound = false;
  let zonesTimer = null;
  let eventsDirty = false;
  let audio = null;
  // The sites whose whole night the operator asked for, on a large control
  // room's page (null: every night is read on connecting).
  let nights = null;

  // The broker that served the page, over the same scheme's websockets.
  function defaultAddress() {
    if (location.protocol !== 'http:' && location.protocol !== 'https:') return '';
    return (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host;
  }

  function setConnection(text, state) {
    const e = document.getElementById('connection');
    e.textContent = text;
    e.dataset.state = state;
  }

  function scheduleRender() {
    if (renderTimer === null) renderTimer = setTimeout(render, RENDER_EVERY_MS);
  }

  // The banner is what the room waits for: drawn as soon as the messages
  // already here are read, once for all of them, so that a page opened on a
  // thousand retained alarms draws (and sounds) once, not a thousand times.
  function renderUrgent(sound) {
    urgentSound = urgentSound || sound;
    if (urgentTimer !== null) return;
    urgentTimer = setTimeout(() => {
      urgentTimer = null;
      view.renderTiles(Date.now());
      view.renderBanner();
      planView.render(Date.now());
      if (urgentSound) beep();
      urgentSound = false;
    }, 0);
  }

  // The plan's zones follow a sensor's state and status at once, not with
  // the next batch: a guard looks at where, and recolouring the shown plan's
  // zones is cheap.
  function renderZones() {
    if (zonesTimer !== null) return;
    zonesTimer = setTimeout(() => {
      zonesTimer = null;
      planView.renderStates(Date.now());
    }, 0);
  }

  function render() {
    renderTimer = null;
    view.renderTiles(Date.now());
    view.renderBanner();
    view.renderBridges();
    planView.render(Date.now());
    if (eventsDirty) view.renderEvents();
    eventsDirty = false;
    detail.render();
  }

  // Three short tones. A browser lets a page sound only after a click on it:
  // until then the header offers "Включить звук".
  function beep() {
    if (!audio || audio.state !== 'running') return;
    const start = audio.currentTime;
    for (let i = 0; i < 3; ++i) {
      const osc = audio.createOscillator();
      const gain = audio.createGain();
      osc.frequency.value = 880;
      gain.gain.setValueAtTime(0.25, start + i * 0.3);
      gain.gain.setValueAtTime(0, start + i * 0.3 + 0.18);
      osc.connect(gain).connect(audio.destination);
      osc.start(start + i * 0.3);
      osc.stop(start + i * 0.3 + 0.2);
    }
  }
  function wakeSound() {
    const Context = root.AudioContext || root.webkitAudioContext;
    if (!Context) return;
    if (!audio) audio = new Context();
    const shown = () => (document.getElementById('sound').hidden = audio.state === 'running');
    audio.onstatechange = shown;
    if (audio.state === 'suspended') audio.resume().then(shown, shown);
    shown();
  }
  document.addEventListener('click', wakeSound);

  function onMessage(topic, payload, packet) {
    if (plans.apply(topic, payload)) return scheduleRender();
    const props = packet.properties || {};
    let name = props.userProperties && props.userProperties.name;
    if (Array.isArray(name)) name = name[0];
    const change = fleet.apply(topic, payload, typeof name === 'string' ? name : '', Date.now());
    if (!change) return;
    if (change.event) eventsDirty = true;
    const acked = change.acked ? [].concat(change.acked) : [];
    for (const a of acked) acknowledger.acknowledged(a);
    if (change.event && change.event.event.event === EVENT.ACK_REFUSED) acknowledger.refused(change.event.event);
    // A new alarm, and an acknowledgement (the other screens stop calling),
    // are not left for the next batch.
    if (change.alarmBegan || acked.length) renderUrgent(change.alarmBegan);
    if (change.kind === 'state' || change.kind === 'status') renderZones();
    scheduleRender();
  }

  function connect(address, user, password) {
    if (client) client.end(true);
    fleet.connected = false;
    render();
    if (!address) {
      setConnection('укажите адрес брокера', 'off');
      showLogin('');
      return;
    }
    setConnection('подключение к ' + address + '…', 'connecting');
    const options = {
      protocolVersion: 5,
      clean: true,
      reconnectPeriod: 1000,
      connectTimeout: 10000,
      clientId: 'tarvin9-page-' + Math.random().toString(16).slice(2, 10),
      resubscribe: false, // subscribed on every connection below
    };
    if (user) {
      options.username = user;
      options.password = password;
    }
    client = root.mqtt.connect(address, options);
    const me = client;
    let refused = false;
    client.on('connect', () => {
      fleet.connected = true;
      const connected = 'подключено: ' + address;
      planEditor.connected(me, user);
      acknowledger.connected(me, user, (may) => {
        if (me === client && me.connected && !may) setConnection(connected + ' (' + user + ', только просмотр)', 'on');
      });
      setConnection(connected + (user ? ' (' + user + ')' : ''), 'on');
      hideLogin();
      subscribe(me);
      render();
    });
    client.on('message', onMessage);
    client.on('close', () => {
      if (me !== client || refused) return;
      if (fleet.connected) {
        fleet.connected = false;
        render();
      }
      setConnection('нет соединения с брокером ' + address + ', повтор…', 'off');
    });
    client.on('error', (err) => {
      // A refused login does not mend itself: ask for another.
      const code = err && err.code;
      if (code === 134 || code === 135 || code === 4 || code === 5) {
        refused = true;
        me.end(true);
        // The first try is without a name: a broker that wants one is no fault.
        if (!user) {
          setConnection('нужен вход', 'off');
          showLogin('Брокер пускает только по имени и паролю: войдите.');
          return;
        }
        setConnection('брокер отказал во входе', 'off');
        showLogin('Брокер отказал во входе: неверное имя или пароль, или нет прав.');
      }
    });
  }

  // How many sensors the broker holds decides what is read on connecting:
  // their retained link states first (small, at QoS 0, so the broker sends
  // them at once, before its answer to the next subscription), counted.
  function subscribe(me) {
    const sensors = new Set();
    const count = (topic) => sensors.add(topic);
    me.on('message', count);
    me.subscribe('tarvin9/+/+/state', { qos: 0 }, () => {
      me.subscribe('$SYS/broker/connection/+/state', { qos: 0 }, () => {
        me.removeListener('message', count);
        if (me !== client) return;
        if (sensors.size > NIGHT_AT_ONCE && nights === null) nights = new Set();
        document.getElementById('night-note').hidden = nights === null;
        me.subscribe(nights === null ? TOPICS : [...FIRST_TOPICS, ...[...nights].map(nightOf)], { qos: 1 });
        me.unsubscribe('tarvin9/+/+/state');
      });
    });
  }

  // A site's whole night, once the operator asks for it (a large room's page).
  function askNight(site) {
    if (nights === null || !site || nights.has(site)) return;
    nights.add(site);
    if (client && client.connected) client.subscribe(nightOf(site), { qos: 1 });
  }

  function showLogin(message) {
    const form = document.getElementById('login');
    document.getElementById('login-message').textContent = message;
    form.hidden = false;
  }
  function hideLogin() {
    document.getElementById('login').hidden = true;
    document.getElementById('login-password').value = '';
  }

  // The tiles or the plan, one at a time.
  function showView(plan) {
    document.getElementById('tiles-view').hidden = plan;
    document.getElementById('show-tiles').setAttribute('aria-pressed', String(!plan));
    document.getElementById('show-plan').setAttribute('aria-pressed', String(plan));
    planView.setVisible(plan);
  }

  // An alarm in the banner, clicked: its zone on its site's plan, or its
  // tile when no plan shows it.
  function showAlarm(key) {
    const a = fleet.alarms.get(key);
    if (!a) return;
    showView(true);
    if (planView.showSensor(a.sensorKey)) return;
    showView(false);
    const tile = view.tiles.get(a.sensorKey);
    if (tile) tile.root.scrollIntoView({ block: 'center' });
  }

  function start() {
    wakeSound(); // allowed at once where the browser lets pages sound
    const address = defaultAddress();
    document.getElementById('login-address').value = address;
    document.getElementById('login-open').addEventListener('click', () => showLogin(''));
    document.getElementById('login').addEventListener('submit', (e) => {
      e.preventDefault();
      connect(
        document.getElementById('login-address').value.trim(),
        document.getElementById('login-user').value.trim(),
        document.getElementById('login-password').value
      );
    });
    // The banner's "Принято" takes the oldest alarm first, as the room answers them.
    document.getElementById('acknowledge').addEventListener('click', () => {
      const oldest = fleet.unacknowledged()[0];
      if (oldest) acknowledger.open(oldest.key);
    });
    document.getElementById('filter-site').addEventListener('change', (e) => askNight(e.target.value));
    document.getElementById('filter-sensor').addEventListener('change', (e) => askNight(e.target.value.split('/')[0]));
    document.getElementById('show-tiles').addEventListener('click', () => showView(false));
    document.getElementById('show-plan').addEventListener('click', () => showView(true));
    document.getElementById('plan-to-tiles').addEventListener('click', () => showView(false));
    document.getElementById('banner-list').addEventListener('click', (e) => {
      const li = e.target.closest('li');
      if (li) showAlarm(li.dataset.key);
    });
    // Staleness shows even when nothing arrives; so do the alarms' ages.
    setInterval(() => {
      view.renderTiles(Date.now());
      planView.render(Date.now());
    }, STALE_CHECK_MS);
    setInterval(() => view.renderBanner(), BANNER_AGES_MS);
    setInterval(() => {
      if (fleet.unacknowledged().length > 0) beep();
    }, SOUND_AGAIN_MS);
    connect(address, '', '');
  }

  start();
})(globalThis);
