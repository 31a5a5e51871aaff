#pragma once

#include <QString>

#include <stdexcept>

namespace zelqon {

// The step of a link operation that failed.
enum class LinkStep { SelectPort, Open, Write, Read, Close };

// Why it failed, as far as the operator can act on it.
enum class LinkFault {
  InvalidNumber,  // a port number the service does not take (0, negative, out of range)
  NoSuchPort,     // no device behind that number
  AccessDenied,   // no permission, or another program holds the port
  NotOpen,        // the port was closed under the operation
  DeviceGone,     // the device hung up or was unplugged
  Timeout,        // the system did not take the bytes in time
  Other,
};

// A failure of the serial link. Operations raise it and let it travel to the
// one trap at their own boundary.
class LinkError : public std::runtime_error {
 public:
  LinkError(LinkStep step, LinkFault fault, QString port, QString reason)
      : std::runtime_error(reason.toStdString()),
        m_step(step),
        m_fault(fault),
        m_port(std::move(port)),
        m_reason(std::move(reason)) {}

  [[nodiscard]] LinkStep step() const { return m_step; }
  [[nodiscard]] LinkFault fault() const { return m_fault; }
  // The port as the operator knows it, e.g. "COM3 (/dev/ttyUSB0)".
  [[nodiscard]] const QString& port() const { return m_port; }
  // The system's own words for the failure.
  [[nodiscard]] const QString& reason() const { return m_reason; }

 private:
  LinkStep m_step;
  LinkFault m_fault;
  QString m_port;
  QString m_reason;
};

// The operations an operator starts; each reports its own failure.
enum class Operation { SendRadio, SendAllRadios, FactoryProgramming, Atualizar, ChangePort };

struct OperationFailure {
  Operation operation = Operation::SendRadio;
  int radio = 0;  // for SendRadio, else 0
  LinkError error;
};

}  // namespace zelqon
