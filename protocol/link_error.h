#pragma once

#include "protocol/server_refusal.h"

#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

namespace zelqon {

// The step of a link operation that failed.
enum class LinkStep { SelectPort, Open, Write, Read };

// Why it failed, as far as the operator can act on it.
enum class LinkFault {
  InvalidNumber,  // a port number the service does not take (0, negative, out of range)
  NoSuchPort,     // no device behind that number
  AccessDenied,   // no permission, or another program holds the port
  NotOpen,        // the port was closed under the operation
  DeviceGone,     // the device hung up or was unplugged
  Timeout,        // the system did not take the bytes in time
  Interrupted,    // the operator stopped the operation (Ctrl+C)
  Internal,       // the program itself slipped; the reason says where
  // A serial line behind a network server:
  HostNotFound,       // the server's name does not resolve
  ConnectionRefused,  // nothing listens on that port
  NoAnswer,           // the server did not answer in time
  ClosedAtOnce,       // the server closed the connection as soon as it opened (its port is taken)
  PortInUse,          // the server said its serial port is in use by another client
  NotRfc2217,         // the server does not speak RFC 2217 (no answer to the option, or a refusal)
  ServerHung,         // the server took the RFC 2217 option, then answered nothing more
  SettingsRefused,    // the server refused or changed the line settings asked for
  NotConfirmed,       // the server did not confirm in time that it took what was written
  ConnectionLost,     // an open connection went down
  LinkSilent,         // an open connection stopped answering, with no word from the system
  // A network server met over TLS (rfc2217+tls://, tcp+tls://):
  NotTls,                     // a TLS form, but the server answered in plain (or its TLS is unusable)
  ServerNotProven,            // the server's certificate did not prove it is the server meant (serverRefused())
  ClientCertificateRequired,  // the server closed after the handshake: it wants this computer's certificate
  ClientCertificateRefused,   // the server closed after the handshake: it did not accept the one sent
  ClientCertificateUnusable,  // this system's TLS could not present this computer's certificate
  NetworkSupportMissing,      // the program's network module could not be loaded (a broken installation)
  Other,
};

// A line setting a network server did not confirm: RFC 2217's request code,
// the value asked for, and the one the server answered (none if it did not).
struct LineSettingAnswer {
  int code = 0;
  quint32 wanted = 0;
  std::optional<quint32> answered;
};

// A failure of the serial link. Operations raise it and let it travel to the
// one trap at their own boundary.
class LinkError : public std::runtime_error {
 public:
  LinkError(LinkStep step, LinkFault fault, QString port, QString reason, QString device = {})
      : std::runtime_error(reason.toStdString()),
        m_step(step),
        m_fault(fault),
        m_port(std::move(port)),
        m_reason(std::move(reason)),
        m_device(std::move(device)) {}

  [[nodiscard]] LinkStep step() const { return m_step; }
  [[nodiscard]] LinkFault fault() const { return m_fault; }
  // The port as the operator knows it, e.g. "COM3 (/dev/ttyUSB0)".
  [[nodiscard]] const QString& port() const { return m_port; }
  // The system's own words for the failure.
  [[nodiscard]] const QString& reason() const { return m_reason; }
  // The device the port stands for ("/dev/ttyUSB0", "COM3"); empty when none.
  [[nodiscard]] const QString& device() const { return m_device; }
  // SettingsRefused: each setting the server did not confirm.
  [[nodiscard]] const QList<LineSettingAnswer>& settings() const { return m_settings; }
  LinkError& withSettings(QList<LineSettingAnswer> settings) {
    m_settings = std::move(settings);
    return *this;
  }
  // ServerNotProven: why the server was not trusted, and what it showed.
  [[nodiscard]] const std::optional<ServerRefused>& serverRefused() const { return m_serverRefused; }
  LinkError& withServerRefused(ServerRefused refused) {
    m_serverRefused = std::move(refused);
    return *this;
  }

 private:
  LinkStep m_step;
  LinkFault m_fault;
  QString m_port;
  QString m_reason;
  QString m_device;
  QList<LineSettingAnswer> m_settings;
  std::optional<ServerRefused> m_serverRefused;
};

}  // namespace zelqon
