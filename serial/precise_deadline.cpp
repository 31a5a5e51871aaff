#include "serial/precise_deadline.h"

#include <algorithm>

namespace zelqon {

PreciseDeadline::PreciseDeadline(QObject* parent) : QObject(parent) {
  m_timer.setParent(this);
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &PreciseDeadline::onTimer);
}

void PreciseDeadline::start(std::chrono::milliseconds within) {
  m_deadline = QDeadlineTimer(within, Qt::PreciseTimer);
  m_timer.start(within);
}

void PreciseDeadline::stop() { m_timer.stop(); }

void PreciseDeadline::onTimer() {
  // A timer that fired before its time waits for the rest.
  if (!m_deadline.hasExpired()) {
    m_timer.start(std::chrono::milliseconds(std::max<qint64>(m_deadline.remainingTime(), 1)));
    return;
  }
  emit expired();
}

}  // namespace zelqon
