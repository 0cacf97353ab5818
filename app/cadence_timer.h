// TimerRv, Timer1 and Timer2 as the window's documentation names them: each is
// the window's view of one of the session's cadences, its interval and whether
// it runs read from the session's schedule. None of them fires: the window
// steps the session from one timer, in the session's order.
#pragma once

#include <QObject>
#include <chrono>

#include "session/sensor_session.h"

namespace tarvin {

class CadenceTimer : public QObject {
 public:
  using Cadence = SessionSchedule::Cadence;

  CadenceTimer(QObject* owner, const char* name, SensorSession& session, Cadence cadence,
               std::chrono::milliseconds interval)
      : QObject(owner), session_(session), cadence_(cadence), interval_(interval) {
    setObjectName(QString::fromLatin1(name));
  }

  bool isActive() const { return session_.Schedule().Running(cadence_); }
  int interval() const { return static_cast<int>(interval_.count()); }
  // The one timer behind all three is precise.
  Qt::TimerType timerType() const { return Qt::PreciseTimer; }
  // The cadence left out of the schedule from now on.
  void stop() { session_.Halt(cadence_); }

 private:
  SensorSession& session_;
  Cadence cadence_;
  std::chrono::milliseconds interval_;
};

}  // namespace tarvin
