#pragma once

#include "protocol/port_address.h"
#include "serial/port_service.h"
#include "serial/rfc2217_codec.h"

#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <optional>

namespace zelqon {

// The controller's serial line behind a network serial server (ser2net and
// the like) at a repeater site. With rfc2217:// the program sets the line to
// 19200 8N1 itself, over Telnet's COM-PORT option; with tcp:// the bytes go
// as they are and the server's own configuration sets the line.
//
// Opening never blocks the event loop: it connects, then (rfc2217) waits for
// the server to confirm each line setting, and ends in stateChanged(Open) or
// openFailed(). The program only ever connects out; it opens no server.
class NetworkPortService final : public PortService {
  Q_OBJECT

 public:
  struct Timeouts {
    std::chrono::milliseconds connect{5000};    // host lookup and connection
    std::chrono::milliseconds negotiate{3000};  // the server's confirmations
    std::chrono::milliseconds write{2000};      // the system taking a write
  };
  // What Qt holds of the server's bytes between two reads; beyond it TCP
  // holds a flooding server back.
  static constexpr qint64 kReadBufferSize = 16 * 1024;

  explicit NetworkPortService(NetworkAddress address, QObject* parent = nullptr);
  NetworkPortService(NetworkAddress address, Timeouts timeouts, QObject* parent = nullptr);
  ~NetworkPortService() override;

  [[nodiscard]] PortState state() const override { return m_state; }
  [[nodiscard]] QString displayName() const override { return m_address.text(); }
  [[nodiscard]] const NetworkAddress& address() const { return m_address; }

  [[nodiscard]] OpenProgress open() override;
  void close() override;
  void writeText(const QString& text) override;
  [[nodiscard]] QString readAllPending() override;

 private:
  void onConnected();
  void onReadyRead();
  void onSocketError(QAbstractSocket::SocketError error);
  void onDisconnected();
  void onDeadline();
  void checkNegotiation();
  // Takes in what the socket holds, decoded, and sends the codec's answers.
  void takeIn(qsizetype limit);
  void sendReplies();
  void setState(PortState state);
  // Ends an open in progress: closed again, then openFailed().
  void failOpen(LinkFault fault, const QString& reason);
  // An open connection went down: closed, then hungUp() once.
  void hangUp();
  void hangUpIfLost();
  // Flushes what was written and lets the connection go, with no signal.
  void finishClose();
  // Closed at once: whatever the socket signals while it goes is no news.
  void dropConnection();
  [[nodiscard]] LinkError linkError(LinkStep step, LinkFault fault, const QString& reason = {}) const;
  [[nodiscard]] LinkError lostError(LinkStep step) const;
  [[nodiscard]] QString serverWords() const;
  [[nodiscard]] bool usesRfc2217() const { return m_address.protocol == NetworkProtocol::Rfc2217; }

  NetworkAddress m_address;
  Timeouts m_timeouts;
  QTcpSocket m_socket;
  QTimer m_deadline;  // runs only while opening
  std::optional<Rfc2217Codec> m_codec;
  PortState m_state = PortState::Closed;
  QByteArray m_received;  // decoded, not yet read
  // Counts opens and closes, so that a failure told from the event loop is
  // dropped once the attempt it belongs to is over.
  quint64 m_attempt = 0;
};

}  // namespace zelqon
