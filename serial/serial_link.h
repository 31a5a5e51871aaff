#pragma once

#include "protocol/link_error.h"
#include "serial/port_service.h"

#include <QObject>

#include <memory>

namespace zelqon {

// The one serial port of the program, chosen by number and opened on demand
// by whatever needs it. Every operation raises LinkError on failure.
class SerialLink final : public QObject {
  Q_OBJECT

 public:
  explicit SerialLink(std::unique_ptr<PortService> service, QObject* parent = nullptr);
  ~SerialLink() override;

  // If the port is not open, open it.
  void ensurePortOpen();
  // Writes the text unchanged, one byte per character, nothing added.
  void writeText(const QString& text);
  // Opens on demand and returns everything received and not yet read.
  [[nodiscard]] QString readPending();
  // Closes the port if it is open; a failure to close is raised.
  void closeIfOpen();
  // Chooses the port for the next open; the port must be closed.
  void selectPortNumber(qint16 number);
  // Closes the port if open, for the program's end; never raises.
  void closePort();

  [[nodiscard]] bool isOpen() const { return m_service->isOpen(); }
  [[nodiscard]] qint16 portNumber() const { return m_service->portNumber(); }

 signals:
  // The open port hung up by itself; said once per loss.
  void connectionLost(const zelqon::LinkError& error);

 private:
  std::unique_ptr<PortService> m_service;
};

}  // namespace zelqon
