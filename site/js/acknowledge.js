// An operator's "Принято": the comment asked for, then the acknowledgement
// published on the alarm's sensor's `ack/<login>`, where the broker's ACL
// lets a login publish under its own name only. The alarm turns acknowledged
// when its recorder journals the `ack`, on every page alike; this page only
// tells its operator how the press went.
(function (root) {
  'use strict';
  const { commentProblem, COMMENT_MAX } = root.TarvinAlarms;
  const { ACK_REFUSAL, clock } = root.TarvinEventText;

  const NOT_AUTHORIZED = 135; // MQTT 5 reason code of a publish the ACL refused

  // Where a login asks the broker whether it may acknowledge: an
  // acknowledgement's topic with an empty site and sensor, which the ACL
  // judges as any other (its '+' takes an empty level) and no recorder hears
  // (a recorder's site and sensor are never empty). Over MQTT 5 the broker
  // answers a QoS 1 publish it refuses with "not authorized"; over 3.1.1 it
  // would drop it unsaid, which is why the page speaks 5.
  const probeTopic = (login) => 'tarvin9///ack/' + login;

  // The recorder's reasons for refusing a press, as the operator reads them.
  const REFUSED_TEXT = {
    [ACK_REFUSAL.MALFORMED]: 'регистратор не понял подтверждение',
    [ACK_REFUSAL.UNKNOWN_ALARM]: 'регистратор не знает этой тревоги',
    [ACK_REFUSAL.COMMENT_REQUIRED]: 'нужен комментарий',
    [ACK_REFUSAL.COMMENT_TOO_LONG]: 'комментарий длиннее ' + COMMENT_MAX + ' знаков',
  };

  // 32 hex digits, unique per press: the recorder applies a replay once.
  function pressId() {
    const bytes = new Uint8Array(16);
    root.crypto.getRandomValues(bytes);
    return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  }

  const byId = (id) => document.getElementById(id);
  const notAllowed = (login) => 'нельзя принять: брокер не разрешает входу «' + login + '» подтверждать тревоги';

  class Acknowledger {
    constructor(fleet) {
      this.fleet = fleet;
      this.client = null;
      this.login = '';
      this.mayAck = null; // what the broker said of this login: true, false, or not yet
      this.key = null; // the alarm the form is open for
      this.pending = new Map(); // press id -> alarm key, until its recorder answers
      this.form = byId('ack-form');
      this.comment = byId('ack-comment');
      this.error = byId('ack-error');
      this.status = byId('ack-status');
      for (const b of this.form.querySelectorAll('.ack-preset'))
        b.addEventListener('click', () => {
          this.comment.value = b.textContent;
          this.comment.focus();
        });
      byId('ack-cancel').addEventListener('click', () => this.close());
      this.form.addEventListener('submit', (e) => {
        e.preventDefault();
        this.submit();
      });
    }

    // The connection presses go over, and the login the broker took; asks
    // the broker at once whether that login may acknowledge, and tells
    // `told` its answer (true or false).
    connected(client, login, told = () => {}) {
      this.client = client;
      this.login = login;
      this.mayAck = null;
      if (this.loginProblem()) return;
      // Empty and not retained: nothing is kept, nobody is told anything.
      client.publish(probeTopic(login), '', { qos: 1, retain: false }, (err) => {
        if (this.client !== client) return;
        if (err && err.code !== NOT_AUTHORIZED) return; // the connection went: asked again on the next
        this.mayAck = !err;
        told(this.mayAck);
      });
    }

    say(text) {
      this.status.textContent = text;
      this.status.hidden = !text;
    }

    loginProblem() {
      if (!this.login)
        return 'нельзя принять: страница вошла без имени, а подтверждение подписывается именем входа («Вход…»)';
      if (/[/+#]/.test(this.login)) return 'нельзя принять: имя входа «' + this.login + '» не годится для темы';
      return null;
    }

    // Why this page cannot acknowledge, or null.
    cannot() {
      if (!this.client || !this.client.connected) return 'нельзя принять: нет соединения с брокером';
      const problem = this.loginProblem();
      if (problem) return problem;
      if (this.mayAck === false) return notAllowed(this.login);
      if (this.mayAck === null)
        return 'нельзя принять: брокер ещё не ответил, может ли вход «' + this.login + '» подтверждать тревоги';
      return null;
    }

    // "Принято" for one alarm: the form asks for the comment.
    open(key) {
      const a = this.fleet.alarms.get(key);
      if (!a) return;
      if (a.ack) return this.say('уже принято: ' + a.ack.operator);
      const why = this.cannot();
      if (why) return this.say(why);
      if (!a.begin || a.seq === null) return this.say('нельзя принять: регистратор ещё не сообщил об этой тревоге');
      this.key = key;
      const kind = a.detection ? 'обнаружение при проверке' : 'тревога';
      byId('ack-alarm').textContent =
        'Принять: ' + a.site + ' / ' + a.sensor + ', ' + kind + ' с ' + clock(a.since);
      this.comment.value = '';
      this.comment.placeholder = a.detection ? 'не обязателен' : 'обязателен';
      this.error.textContent = '';
      this.say(''); // what was said of another alarm is not this one's
      this.form.hidden = false;
      this.comment.focus();
    }

    close() {
      this.key = null;
      this.form.hidden = true;
    }

    submit() {
      const a = this.key && this.fleet.alarms.get(this.key);
      if (!a || a.ack) return this.close();
      const comment = this.comment.value.trim();
      const problem = commentProblem(comment, a.detection);
      if (problem === 'too_long') {
        this.error.textContent =
          'Комментарий длиннее ' + COMMENT_MAX + ' знаков (' + [...comment].length + '): сократите его.';
        return;
      }
      if (problem === 'required') {
        this.error.textContent = 'Нужен комментарий: выберите из списка или напишите.';
        return;
      }
      const why = this.cannot();
      if (why) {
        this.error.textContent = why;
        return;
      }
      const id = pressId();
      const body = { alarm: a.seq, alarm_time: a.begin.time, comment, time: new Date().toISOString(), id };
      const topic = 'tarvin9/' + a.site + '/' + a.sensor + '/ack/' + this.login;
      const login = this.login;
      this.pending.set(id, a.key);
      this.close();
      this.say('отправлено: ждём ответа регистратора…');
      this.client.publish(topic, JSON.stringify(body), { qos: 1, retain: false }, (err) => {
        if (!err) return;
        this.pending.delete(id);
        this.say(err.code === NOT_AUTHORIZED ? notAllowed(login) : 'не отправлено: ' + (err.message || 'ошибка брокера'));
      });
    }

    // The recorder journalled an acknowledgement of `a`.
    acknowledged(a) {
      const mine = a.ack.id !== null && this.pending.delete(a.ack.id);
      if (mine) this.say('принято: ' + a.ack.operator);
      else if (this.key === a.key) {
        this.close();
        this.say('уже принято: ' + a.ack.operator);
      }
    }

    // The recorder refused a press: this page's own says why.
    refused(e) {
      if (typeof e.id !== 'string' || !this.pending.delete(e.id)) return;
      if (e.reason === ACK_REFUSAL.ALREADY_ACKNOWLEDGED)
        this.say('уже принято: ' + (typeof e.by === 'string' ? e.by : '?'));
      else this.say('не принято: ' + (REFUSED_TEXT[e.reason] || String(e.reason)));
    }
  }

  root.TarvinAcknowledge = { Acknowledger };
})(globalThis);
