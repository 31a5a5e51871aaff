#pragma once

#include <QObject>

class QSocketNotifier;

namespace zelqon::cli {

// Ctrl+C as a Qt signal, so the program stops from the event loop and can
// close its port in order. On POSIX systems SIGINT and SIGTERM: the handler
// only writes a byte to a pipe whose reading end the event loop watches. On
// Windows the console's Ctrl+C and Ctrl+Break, told from the thread Windows
// calls the handler on. One instance at a time; the handlers go back to the
// system's defaults when it is destroyed.
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
