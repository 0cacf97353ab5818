// The names the page reads the recorders' messages by, each named once here
// (events, alarm states, a refused acknowledgement's and a walk test's end's
// reasons), and the room's words for them: each event's line and details, and
// the times and durations in them. Plain strings only: the view sets them as
// text.
(function (root) {
  'use strict';

  // A tile's alarm, as the fleet judges it from the status, and its words.
  const ALARM = Object.freeze({ ALARM: 'alarm', QUIET: 'quiet', UNKNOWN: 'unknown', DETECTION: 'detection' });
  const ALARM_TEXT = {
    [ALARM.ALARM]: 'ТРЕВОГА',
    [ALARM.QUIET]: 'спокойно',
    [ALARM.UNKNOWN]: 'тревога: неизвестно',
    [ALARM.DETECTION]: 'проверка: обнаружение',
  };
  // The path to the alarm receiving centre (ПЦН) as a status names it (null:
  // not known, or no centre), and what a tile says of it: only that it is down.
  const CENTRE = Object.freeze({ UP: 'up', DOWN: 'down' });
  const CENTRE_TEXT = { [CENTRE.DOWN]: 'ПЦН: нет связи' };
  // Every event a recorder journals, by the name the journal writes (the
  // recorder's own table, journal/journal_events.h, and names.test.mjs holds
  // the two together), and its line in the list. An event without a line is
  // shown by its name, as one a later recorder writes is.
  const EVENTS = [
    ['START', 'start', 'регистратор запущен'],
    ['STOP', 'stop', 'регистратор остановлен'],
    ['LINK_UP', 'link_up', 'связь есть'],
    ['LINK_LOST', 'link_lost', 'связь потеряна'],
    ['PORT_OPEN_FAILED', 'port_open_failed', null],
    ['PORT_CLOSED', 'port_closed', 'порт закрыт'],
    ['PORT_REOPENED', 'port_reopened', 'порт открыт снова'],
    ['PORT_REOPEN_FAILED', 'port_reopen_failed', null],
    ['WRONG_FIRMWARE', 'wrong_firmware', 'чужая прошивка'],
    ['ALARM_BEGIN', 'alarm_begin', 'тревога'],
    ['ALARM_END', 'alarm_end', 'конец тревоги'],
    ['ALARM_KNOWN', 'alarm_known', 'состояние тревоги прочитано'],
    ['BALANCE', 'balance', 'баланс'],
    ['SAVED', 'saved', 'осциллограмма сохранена'],
    ['SAVE_FAILED', 'save_failed', 'осциллограмма не сохранена'],
    ['SUMMARY', 'summary', null],
    ['WALK_TEST_BEGIN', 'walk_test_begin', 'проверка начата'],
    ['WALK_TEST_END', 'walk_test_end', 'проверка закончена'],
    ['CONTROL_REFUSED', 'control_refused', 'команда отклонена'],
    ['SETTINGS_REFUSED', 'settings_refused', null],
    ['MQTT_REFUSED', 'mqtt_refused', 'брокер отказал'],
    ['MQTT_DROPPED', 'mqtt_dropped', 'потери при публикации'],
    ['ACK', 'ack', 'тревога принята'],
    ['ACK_REFUSED', 'ack_refused', 'подтверждение отклонено'],
    ['CENTRE_ACKED', 'dc09_acked', 'ПЦН подтвердил'],
    ['CENTRE_PATH_DOWN', 'dc09_path_down', 'ПЦН: нет связи'],
    ['CENTRE_PATH_UP', 'dc09_path_up', 'ПЦН: связь есть'],
    ['CENTRE_DROPPED', 'dc09_dropped', 'в ПЦН не передано: очередь полна'],
  ];
  const EVENT = Object.freeze(Object.fromEntries(EVENTS.map(([key, name]) => [key, name])));
  const EVENT_TEXT = Object.fromEntries(EVENTS.filter(([, , text]) => text).map(([, name, text]) => [name, text]));
  // The flanks' balance as journals since the value carry it (the engine's
  // names, held to them by names.test.mjs); older ones hold the sentence itself.
  const BALANCE_TEXT = {
    balanced: 'Фланги СЗ сбалансированы',
    first_flank_low: 'Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго',
    second_flank_low: 'Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого',
  };
  // Why a recorder refused an acknowledgement.
  const ACK_REFUSAL = Object.freeze({
    MALFORMED: 'malformed',
    UNKNOWN_ALARM: 'unknown_alarm',
    COMMENT_REQUIRED: 'comment_required',
    COMMENT_TOO_LONG: 'comment_too_long',
    ALREADY_ACKNOWLEDGED: 'already_acknowledged',
  });
  const ACK_REFUSED_TEXT = {
    [ACK_REFUSAL.MALFORMED]: 'не понято',
    [ACK_REFUSAL.UNKNOWN_ALARM]: 'нет такой тревоги',
    [ACK_REFUSAL.COMMENT_REQUIRED]: 'нет комментария',
    [ACK_REFUSAL.COMMENT_TOO_LONG]: 'комментарий длиннее 500 знаков',
    [ACK_REFUSAL.ALREADY_ACKNOWLEDGED]: 'уже принято',
  };
  // How a walk test ended: by the operator, or cut short (the recorder's
  // reasons, which happen to share the names of the events that cut it).
  const WALK_END = Object.freeze({ OPERATOR: 'operator', LIMIT: 'limit', STOP: 'stop', LINK_LOST: 'link_lost' });
  const WALK_END_TEXT = {
    [WALK_END.LIMIT]: 'проверка закончена по лимиту времени',
    [WALK_END.STOP]: 'проверка прервана: регистратор остановлен',
    [WALK_END.LINK_LOST]: 'проверка прервана: связь потеряна',
  };

  // The local clock's time of an ISO time; the date too when not today.
  // toLocaleTimeString builds its formatter anew on every call: with five
  // hundred tiles and their alarms redrawn it took most of a page's time, so
  // the formatters are made once (with the options toLocale*String takes by
  // default) and each time's text kept for the day.
  const TIME_FORMAT = new Intl.DateTimeFormat('ru-RU', { hour12: false, hour: 'numeric', minute: 'numeric', second: 'numeric' });
  const DATE_FORMAT = new Intl.DateTimeFormat('ru-RU', { year: 'numeric', month: 'numeric', day: 'numeric' });
  const CLOCK_KEEP = 5000;
  let clockDay = '';
  const clockTexts = new Map();
  function clock(iso) {
    const today = new Date().toDateString();
    if (today !== clockDay || clockTexts.size > CLOCK_KEEP) {
      clockDay = today;
      clockTexts.clear();
    }
    const key = String(iso);
    let text = clockTexts.get(key);
    if (text === undefined) {
      const d = new Date(iso);
      if (isNaN(d)) return iso == null ? '' : String(iso);
      const time = TIME_FORMAT.format(d);
      text = d.toDateString() === today ? time : DATE_FORMAT.format(d) + ' ' + time;
      clockTexts.set(key, text);
    }
    return text;
  }

  const TRIGGER_TEXT = { alarm: 'по тревоге', level: 'по порогу' };

  function eventText(name) {
    return EVENT_TEXT[name] || String(name);
  }

  const isCount = (v) => Number.isInteger(v) && v >= 0;

  // A measured value as the room reads it (a decimal comma), or a dash.
  function num(v) {
    return typeof v === 'number' && isFinite(v) ? v.toLocaleString('ru-RU', { maximumFractionDigits: 1 }) : '—';
  }

  function duration(seconds) {
    if (typeof seconds !== 'number' || !isFinite(seconds)) return '';
    const s = Math.round(seconds);
    return (s >= 60 ? Math.floor(s / 60) + ' мин ' : '') + (s % 60) + ' с';
  }

  // How long ago, in the room's words.
  function age(ms) {
    const s = Math.max(0, Math.floor(ms / 1000));
    if (s < 60) return s + ' с назад';
    if (s < 3600) return Math.floor(s / 60) + ' мин назад';
    return Math.floor(s / 3600) + ' ч ' + (Math.floor(s / 60) % 60) + ' мин назад';
  }

  // An `ack`'s operator and comment; the comment is quoted text, whatever it
  // holds, and a detection's may be none.
  function ackDetail(e) {
    const comment = String(e.comment ?? '');
    const parts = [String(e.operator ?? '?') + (comment ? ': «' + comment + '»' : '')];
    if (duration(e.seconds_to_ack)) parts.push('через ' + duration(e.seconds_to_ack));
    return parts.join(', ');
  }

  function ackRefusedDetail(e) {
    const why = ACK_REFUSED_TEXT[e.reason] || String(e.reason ?? '');
    return String(e.operator ?? '?') + ': ' + why + (e.reason === ACK_REFUSAL.ALREADY_ACKNOWLEDGED ? ': ' + e.by : '');
  }

  // An event's line in the list: a detection and a walk test's end say what
  // they are. An `ack` does not say what it took: `begin` is the beginning of
  // the alarm it names, when the page knows it.
  function eventKind(e, begin = null) {
    const detection = (d) => ALARM_TEXT.detection + (isCount(d.detection) ? ' ' + d.detection : '');
    if (e.event === EVENT.ALARM_BEGIN && isCount(e.walk_test)) return detection(e);
    if (e.event === EVENT.ACK && begin && isCount(begin.walk_test)) return detection(begin) + ' принято';
    if (e.event === EVENT.ALARM_END && isCount(e.walk_test))
      return 'проверка: конец обнаружения' + (isCount(e.detection) ? ' ' + e.detection : '');
    if (e.event === EVENT.WALK_TEST_END) return WALK_END_TEXT[e.reason] || EVENT_TEXT[EVENT.WALK_TEST_END];
    return eventText(e.event);
  }

  // The number of a walk test, as the lines name it.
  const testNo = (n) => 'проверка №' + (isCount(n) ? n : '?');

  function walkTestDetail(e) {
    if (e.event === EVENT.WALK_TEST_BEGIN) {
      const parts = [testNo(e.walk_test)];
      if (typeof e.note === 'string' && e.note) parts.push('«' + e.note + '»');
      if (typeof e.limit_min === 'number') parts.push('лимит ' + num(e.limit_min) + ' мин');
      return parts.join(', ');
    }
    // walk_test_end: the operator's count of passes, or none when the test was cut short.
    const parts = [testNo(e.walk_test)];
    // A pass that raised two alarms is one detected pass: `detected` counts
    // passes (journals written before it counted alarms, and the two agreed).
    if (isCount(e.passes)) {
      const detected = isCount(e.detected) ? e.detected : e.detections;
      const alarms = isCount(e.detected) && isCount(e.detections) && e.detections > e.detected
        ? ' (тревог: ' + e.detections + ')' : '';
      parts.push('проходов ' + e.passes, 'обнаружено ' + num(detected) + alarms, 'пропущено ' + num(e.missed));
    }
    else parts.push('обнаружений ' + num(e.detections));
    if (duration(e.seconds)) parts.push('длилась ' + duration(e.seconds));
    return parts.join(', ');
  }

  // What an alarm's end measured: the peak of the useful signal, the
  // threshold then, the margin between them and the time at or over it.
  function alarmEndDetail(e) {
    const parts = [];
    if (isCount(e.walk_test)) parts.push(testNo(e.walk_test));
    if (typeof e.peak === 'number')
      parts.push(
        'пик ' + num(e.peak),
        'порог ' + num(e.threshold),
        'запас ' + num(e.margin),
        'над порогом ' + num(e.over_threshold_s) + ' с'
      );
    return parts.join(', ');
  }

  // The event's own details in a few words.
  function eventDetail(e) {
    switch (e.event) {
      case EVENT.LINK_UP:
      case EVENT.WRONG_FIRMWARE:
        return e.firmware ? 'прошивка ' + e.firmware : '';
      case EVENT.ALARM_BEGIN:
        return isCount(e.walk_test) ? testNo(e.walk_test) : '';
      case EVENT.ALARM_END:
        return alarmEndDetail(e);
      case EVENT.WALK_TEST_BEGIN:
      case EVENT.WALK_TEST_END:
        return walkTestDetail(e);
      case EVENT.CONTROL_REFUSED:
        return '«' + (e.line ?? '') + '»: ' + (e.reason ?? '');
      case EVENT.ALARM_KNOWN:
        return e.alarm_bits ? 'тревога' : 'тревоги нет';
      case EVENT.BALANCE:
        return BALANCE_TEXT[e.value] ?? (typeof e.text === 'string' ? e.text.trim() : '');
      case EVENT.SAVED:
        return (TRIGGER_TEXT[e.trigger] || e.trigger) + ', ' + e.samples + ' точек';
      case EVENT.SAVE_FAILED:
        return e.reason;
      case EVENT.MQTT_REFUSED:
        return e.reason;
      case EVENT.MQTT_DROPPED:
        return 'событий ' + e.events + ', файлов ' + e.files;
      case EVENT.STOP:
        return e.reason;
      case EVENT.ACK:
        return ackDetail(e);
      case EVENT.ACK_REFUSED:
        return ackRefusedDetail(e);
      default:
        return '';
    }
  }

  // Which of the sensor's two alarm signals an event's `alarm_bits` name
  // (0x02 and 0x04 of its status word), for the line's tooltip: an operator
  // needs only whether there is an alarm, an engineer may want which.
  const BITS_TEXT = { 2: 'первый (0x02)', 4: 'второй (0x04)', 6: 'оба (0x02 и 0x04)' };
  function bitsTitle(e) {
    if (!isCount(e.alarm_bits) || e.alarm_bits === 0) return '';
    return 'сигналы тревоги датчика: ' + (BITS_TEXT[e.alarm_bits] || e.alarm_bits);
  }

  const api = {
    EVENT, ALARM, ACK_REFUSAL, WALK_END, CENTRE, EVENT_TEXT, BALANCE_TEXT, ALARM_TEXT, CENTRE_TEXT,
    clock, age, duration, eventText, eventKind, eventDetail, bitsTitle, testNo, isCount,
  };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TarvinEventText = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
