#pragma once

#include "protocol/link_error.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace zelqon {

// The six things the link asks of a serial port. Every failure is raised as a
// LinkError; none is returned as a value.
//
// A service never shows anything to the operator: its failures travel to the
// operation that called it, which reports once, after its handler ends. A
// dialog opened from inside a port's error notification would spin a nested
// event loop in which that notification can fire again.
class PortService {
 public:
  using HangUpHandler = std::function<void(const LinkError&)>;

  virtual ~PortService() = default;

  // Chooses port n for the next open; only while closed.
  virtual void selectPortNumber(qint16 number) = 0;
  [[nodiscard]] virtual qint16 portNumber() const = 0;
  [[nodiscard]] virtual bool isOpen() const = 0;
  virtual void open() = 0;
  // Never drops bytes already written.
  virtual void close() = 0;
  // One byte per character, nothing added; the bytes are in the system's
  // hands when it returns.
  virtual void writeText(const QString& text) = 0;
  // Everything received and not yet read, in arrival order; empty when none.
  [[nodiscard]] virtual QString readAllPending() = 0;

  // Told once when an open port hangs up by itself (an adapter pulled out).
  // The port is closed by then; the next open finds the device again.
  void setHangUpHandler(HangUpHandler handler) { m_onHangUp = std::move(handler); }

 protected:
  void reportHangUp(const LinkError& error) const {
    if (m_onHangUp)
      m_onHangUp(error);
  }

 private:
  HangUpHandler m_onHangUp;
};

}  // namespace zelqon
