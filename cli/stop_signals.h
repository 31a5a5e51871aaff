#pragma once

#include <QObject>

class QSocketNotifier;

namespace zelqon::cli {

// SIGINT and SIGTERM as a Qt signal: the handler only writes a byte to a pipe
// whose reading end the event loop watches, so the program stops from there
// and can close its port in order. One instance at a time; the handlers go
// back to the system's defaults when it is destroyed.
class StopSignals final : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 signals:
  void stopRequested();

 private:
  void onReadable();

  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace zelqon::cli
