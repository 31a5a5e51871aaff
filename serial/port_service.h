#pragma once

#include "protocol/link_error.h"

#include <QObject>
#include <QString>

namespace zelqon {

// Where a port stands. A network port passes through Connecting (Securing,
// where a TLS server must prove who it is, and Negotiating, where the server
// must agree to the line settings) on its way to Open; a serial port opens
// at once.
//
// HungUp: the open port's device or server went away, and the loss has not
// been told yet. It is told once, by hungUp() from the event loop or by the
// first call that meets it, whichever comes first; the port is Closed by
// then. In HungUp, readAllPending() still returns what arrived before the
// loss; once nothing is left, it and writeText() and open() tell the loss and
// raise it (DeviceGone, ConnectionLost or LinkSilent).
enum class PortState { Closed, Connecting, Securing, Negotiating, Open, HungUp };

// How an open ended: at once, or later from the event loop.
enum class OpenProgress { Open, Pending };

// What the link asks of a port: open on demand, write, read what arrived,
// close. Every failure of a call is raised as a LinkError; none is returned
// as a value. What happens later, from the event loop, is told by signals.
//
// A service never shows anything to the operator: its failures travel to the
// operation that called it, which reports once, after its handler ends. A
// dialog opened from inside a port's error notification would spin a nested
// event loop in which that notification can fire again.
class PortService : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~PortService() override = default;

  [[nodiscard]] virtual PortState state() const = 0;
  [[nodiscard]] bool isOpen() const { return state() == PortState::Open; }
  // The port as the operator named it, for notices: "COM3 (/dev/ttyUSB0)",
  // "rfc2217://site:2217".
  [[nodiscard]] virtual QString displayName() const = 0;

  // Starts opening a closed port. Open: usable now. Pending: it goes on from
  // the event loop and ends with stateChanged(Open) or openFailed(). Raises
  // LinkError when it fails at once. Does nothing but say Open when open.
  [[nodiscard]] virtual OpenProgress open() = 0;
  // Closes, or gives up an open in progress. Never drops bytes already
  // written; never raises.
  virtual void close() = 0;
  // One byte per character (Latin-1), nothing added. Never waits: a serial
  // port has the bytes in the system's hands when it returns, a network port
  // hands them over from the event loop.
  virtual void writeText(const QString& text) = 0;
  // Asks to hear, once, when everything written so far has gone out on the
  // controller's line as far as the port can tell: drained(), or
  // drainFailed() when that is not confirmed in time. A serial port has the
  // bytes out when its write returns and says drained() at once, inside this
  // call; a network port waits for the server. Closing drops the wish.
  virtual void requestDrain() = 0;
  // Everything received and not yet read, in arrival order, one character
  // per byte; empty when none.
  [[nodiscard]] virtual QString readAllPending() = 0;

 signals:
  void stateChanged(zelqon::PortState state);
  // A pending open failed; the port is Closed again.
  void openFailed(const zelqon::LinkError& error);
  // The open port went away by itself (an adapter pulled out, a server gone),
  // told once per loss. The port is closed by then; the next open tries again.
  void hungUp(const zelqon::LinkError& error);
  void drained();
  void drainFailed(const zelqon::LinkError& error);
};

}  // namespace zelqon
