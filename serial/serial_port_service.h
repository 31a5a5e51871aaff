#pragma once

#include "serial/port_catalog.h"
#include "serial/port_service.h"

#include <QObject>
#include <QSerialPort>

#include <chrono>
#include <memory>

namespace zelqon {

// The port service on QSerialPort: 19200 bit/s, 8 data bits, no parity,
// 1 stop bit, no flow control on every open.
class SerialPortService final : public QObject, public PortService {
  Q_OBJECT

 public:
  static constexpr qint32 kBaudRate = 19200;
  static constexpr std::chrono::milliseconds kWriteTimeout{2000};

  // `ports` is shared with whoever keeps the numbering up to date.
  explicit SerialPortService(std::shared_ptr<const PortCatalog> ports, QObject* parent = nullptr);
  explicit SerialPortService(PortCatalog ports, QObject* parent = nullptr);
  ~SerialPortService() override;

  void selectPortNumber(qint16 number) override;
  [[nodiscard]] qint16 portNumber() const override { return m_number; }
  [[nodiscard]] bool isOpen() const override { return m_port.isOpen(); }
  void open() override;
  void close() override;
  void writeText(const QString& text) override;
  [[nodiscard]] QString readAllPending() override;

 private:
  void onPortError(QSerialPort::SerialPortError error);
  void closeAfterHangUp();
  // Closes and raises DeviceGone when the device hung up during `step`.
  void raiseIfHungUp(LinkStep step);
  [[nodiscard]] LinkError portError(LinkStep step) const;
  [[nodiscard]] LinkError linkError(LinkStep step, LinkFault fault, const QString& reason = {}) const;
  void requireOpen(LinkStep step) const;

  std::shared_ptr<const PortCatalog> m_ports;
  QSerialPort m_port;
  qint16 m_number = 1;
  QString m_openLocation;
  bool m_hungUp = false;  // seen since the last open, not yet acted on
  int m_callDepth = 0;    // inside one of our own synchronous calls
};

}  // namespace zelqon
