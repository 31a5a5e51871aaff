#pragma once

#include "protocol/link_error.h"
#include "protocol/monitor_text.h"
#include "protocol/programming_commands.h"
#include "serial/port_service.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace zelqon {

// The one serial port of the program, opened on demand by whatever needs it,
// and the receive monitor that polls it.
class SerialLink final : public QObject, public ControllerLink {
  Q_OBJECT

 public:
  using FailureObserver = std::function<void(const OperationFailure&)>;

  SerialLink(std::unique_ptr<PortService> service, MonitorText& monitor, QObject* parent = nullptr);
  ~SerialLink() override;

  // If the port is not open, open it. Raises LinkError.
  void ensurePortOpen() override;
  // Writes the text unchanged. Raises LinkError.
  void writeText(const QString& text) override;

  // The port list lost the focus: close the port, then take the list's text
  // as the new port number. The port stays closed until it is next needed.
  void changePort(const QString& listText);
  // Opens on demand and appends what arrived to the monitor. Silent on
  // failure: it runs every second and simply tries again.
  void pollReceive();
  void clearMonitor();
  // Closes the port if open, for the program's end; never raises.
  void closePort();

  // Waits while the window keeps painting: input is held until the pause ends
  // and no poll runs meanwhile, so a sequence's commands and the controller's
  // answers keep their order.
  void pauseKeepingDisplay(std::chrono::milliseconds duration);

  [[nodiscard]] bool isOpen() const { return m_service->isOpen(); }
  [[nodiscard]] qint16 portNumber() const { return m_service->portNumber(); }

  // Where the failures of the port change go; the poll's stay silent.
  void setFailureObserver(FailureObserver observer) { m_observer = std::move(observer); }

 signals:
  // The open port hung up by itself; said once per loss.
  void connectionLost(const QString& port, const QString& reason);

 private:
  std::unique_ptr<PortService> m_service;
  MonitorText& m_monitor;
  FailureObserver m_observer;
  bool m_pausing = false;
};

}  // namespace zelqon
