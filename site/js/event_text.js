// The room's words for what the recorders journal: each event's line and
// details, and the times and durations in them. Plain strings only: the view
// sets them as text.
(function (root) {
  'use strict';

  const ALARM_TEXT = {
    alarm: 'ТРЕВОГА',
    quiet: 'спокойно',
    unknown: 'тревога: неизвестно',
    detection: 'проверка: обнаружение',
  };
  const EVENT_TEXT = {
    start: 'регистратор запущен',
    stop: 'регистратор остановлен',
    link_up: 'связь есть',
    link_lost: 'связь потеряна',
    port_closed: 'порт закрыт',
    port_reopened: 'порт открыт снова',
    wrong_firmware: 'чужая прошивка',
    alarm_begin: 'тревога',
    alarm_end: 'конец тревоги',
    alarm_known: 'состояние тревоги прочитано',
    balance: 'баланс',
    saved: 'осциллограмма сохранена',
    save_failed: 'осциллограмма не сохранена',
    mqtt_refused: 'брокер отказал',
    mqtt_dropped: 'потери при публикации',
    walk_test_begin: 'проверка начата',
    walk_test_end: 'проверка закончена',
    control_refused: 'команда отклонена',
    ack: 'тревога принята',
    ack_refused: 'подтверждение отклонено',
  };
  // The flanks' balance as journals since the value carry it; older ones
  // hold the sentence itself.
  const BALANCE_TEXT = {
    balanced: 'Фланги СЗ сбалансированы',
    first_flank_low: 'Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго',
    second_flank_low: 'Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого',
  };
  // Why a recorder refused an acknowledgement.
  const ACK_REFUSED_TEXT = {
    malformed: 'не понято',
    unknown_alarm: 'нет такой тревоги',
    comment_required: 'нет комментария',
    comment_too_long: 'комментарий длиннее 500 знаков',
    already_acknowledged: 'уже принято',
  };
  // How a walk test ended, when not by the operator.
  const WALK_END_TEXT = {
    limit: 'проверка закончена по лимиту времени',
    stop: 'проверка прервана: регистратор остановлен',
    link_lost: 'проверка прервана: связь потеряна',
  };

  // The local clock's time of an ISO time; the date too when not today.
  function clock(iso) {
    const d = new Date(iso);
    if (isNaN(d)) return iso == null ? '' : String(iso);
    const time = d.toLocaleTimeString('ru-RU', { hour12: false });
    return d.toDateString() === new Date().toDateString() ? time : d.toLocaleDateString('ru-RU') + ' ' + time;
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
    return String(e.operator ?? '?') + ': ' + why + (e.reason === 'already_acknowledged' ? ': ' + e.by : '');
  }

  // An event's line in the list: a detection and a walk test's end say what
  // they are. An `ack` does not say what it took: `begin` is the beginning of
  // the alarm it names, when the page knows it.
  function eventKind(e, begin = null) {
    const detection = (d) => ALARM_TEXT.detection + (isCount(d.detection) ? ' ' + d.detection : '');
    if (e.event === 'alarm_begin' && isCount(e.walk_test)) return detection(e);
    if (e.event === 'ack' && begin && isCount(begin.walk_test)) return detection(begin) + ' принято';
    if (e.event === 'alarm_end' && isCount(e.walk_test))
      return 'проверка: конец обнаружения' + (isCount(e.detection) ? ' ' + e.detection : '');
    if (e.event === 'walk_test_end') return WALK_END_TEXT[e.reason] || EVENT_TEXT.walk_test_end;
    return eventText(e.event);
  }

  // The number of a walk test, as the lines name it.
  const testNo = (n) => 'проверка №' + (isCount(n) ? n : '?');

  function walkTestDetail(e) {
    if (e.event === 'walk_test_begin') {
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
      case 'link_up':
      case 'wrong_firmware':
        return e.firmware ? 'прошивка ' + e.firmware : '';
      case 'alarm_begin':
        return isCount(e.walk_test) ? testNo(e.walk_test) : '';
      case 'alarm_end':
        return alarmEndDetail(e);
      case 'walk_test_begin':
      case 'walk_test_end':
        return walkTestDetail(e);
      case 'control_refused':
        return '«' + (e.line ?? '') + '»: ' + (e.reason ?? '');
      case 'alarm_known':
        return e.alarm_bits ? 'тревога' : 'тревоги нет';
      case 'balance':
        return BALANCE_TEXT[e.value] ?? (typeof e.text === 'string' ? e.text.trim() : '');
      case 'saved':
        return (TRIGGER_TEXT[e.trigger] || e.trigger) + ', ' + e.samples + ' точек';
      case 'save_failed':
        return e.reason;
      case 'mqtt_refused':
        return e.reason;
      case 'mqtt_dropped':
        return 'событий ' + e.events + ', файлов ' + e.files;
      case 'stop':
        return e.reason;
      case 'ack':
        return ackDetail(e);
      case 'ack_refused':
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

  root.TarvinEventText = {
    ALARM_TEXT, clock, age, duration, eventText, eventKind, eventDetail, bitsTitle, testNo, isCount,
  };
})(globalThis);
