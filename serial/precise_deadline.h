#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace zelqon {

// One point in time, kept once, and a timer that tells when it has passed:
// expired() never comes before it, however early the system's timer fires.
// Started again, it forgets the earlier point.
class PreciseDeadline final : public QObject {
  Q_OBJECT

 public:
  explicit PreciseDeadline(QObject* parent = nullptr);

  void start(std::chrono::milliseconds within);
  void stop();

 signals:
  void expired();

 private:
  void onTimer();

  QDeadlineTimer m_deadline;
  QTimer m_timer;  // a child: runs only until the deadline has passed
};

}  // namespace zelqon
