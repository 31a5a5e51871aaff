#pragma once

#include "protocol/line_settings.h"
#include "protocol/port_choice.h"
#include "serial/port_catalog.h"
#include "serial/port_service.h"

#include <QSerialPort>

#include <chrono>
#include <memory>

namespace zelqon {

// The port service on QSerialPort, for the ports of the machine's numbering:
// 19200 bit/s, 8 data bits, no parity, 1 stop bit, no flow control on every
// open. An open completes at once.
class SerialPortService final : public PortService {
  Q_OBJECT

 public:
  static constexpr qint32 kBaudRate = kLineBitRate;
  static constexpr std::chrono::milliseconds kWriteTimeout{2000};

  // `ports` is shared with whoever keeps the numbering up to date.
  explicit SerialPortService(std::shared_ptr<const PortCatalog> ports, QObject* parent = nullptr);
  explicit SerialPortService(PortCatalog ports, QObject* parent = nullptr);
  ~SerialPortService() override;

  // Chooses port n for the next open; a number below 1 is refused. The
  // caller closes the port first.
  void selectPortNumber(qint16 number);
  // Chooses the device at `path` for the next open, with no look at the
  // numbering; it is named by its path. The caller closes the port first.
  void selectDevice(const QString& path);
  [[nodiscard]] qint16 portNumber() const { return m_number; }

  [[nodiscard]] PortState state() const override { return m_state; }
  [[nodiscard]] QString displayName() const override;
  [[nodiscard]] OpenProgress open() override;
  void close() override;
  void writeText(const QString& text) override;
  [[nodiscard]] QString readAllPending() override;
  void requestDrain() override;

 private:
  void setState(PortState state);
  void onPortError(QSerialPort::SerialPortError error);
  void closeAfterHangUp();
  // Closes, tells the loss and raises DeviceGone when the device hung up.
  void raiseIfHungUp(LinkStep step);
  [[nodiscard]] LinkError portError(LinkStep step) const;
  [[nodiscard]] LinkError linkError(LinkStep step, LinkFault fault, const QString& reason = {}) const;
  void requireOpen(LinkStep step) const;

  std::shared_ptr<const PortCatalog> m_ports;
  QSerialPort m_port;
  qint16 m_number = 1;
  QString m_devicePath;  // when set, the device in use instead of list number m_number
  QString m_openLocation;
  PortState m_state = PortState::Closed;
};

}  // namespace zelqon
