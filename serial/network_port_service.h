#pragma once

#include "protocol/port_choice.h"
#include "serial/port_service.h"
#include "serial/rfc2217_codec.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>
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
// Nothing here blocks the event loop: opening connects, then (rfc2217) waits
// for the server to confirm each line setting, and ends in stateChanged(Open)
// or openFailed(); writes are handed to the system from the event loop. The
// program only ever connects out; it opens no server.
//
// What was written counts as out (requestDrain) once the server has
// confirmed it and the line has had time to send it at 19200 bit/s. Over
// rfc2217 the server confirms by answering a Telnet TIMING-MARK; a server
// that did not answer the one asked while negotiating, and every tcp://
// server, confirms by acknowledging every byte at the TCP level.
//
// A link that goes silent without closing is noticed: over rfc2217 an idle
// open port asks for a TIMING-MARK now and then and counts the link lost when
// none comes back; over tcp:// the system's keepalive and its limit on
// unacknowledged data close the connection.
class NetworkPortService final : public PortService {
  Q_OBJECT

 public:
  // Sized for a link with a round trip of a second, and a cellular link that
  // has to wake up before its first connection.
  struct Timeouts {
    std::chrono::milliseconds connect{10000};   // host lookup and connection
    std::chrono::milliseconds negotiate{5000};  // the server's confirmations of the line settings
    std::chrono::milliseconds confirm{8000};    // the server's confirmation of what was written
    std::chrono::milliseconds probeIdle{4000};  // idle time before the link is asked for an answer
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
  void requestDrain() override;

  // How an open port's writes are confirmed.
  enum class Confirmation { TimingMark, TcpAcknowledgement };
  [[nodiscard]] Confirmation confirmation() const;

 private:
  // A drain asked for: first the server's confirmation, then the line time.
  struct Drain {
    quint64 mark = 0;                         // the TIMING-MARK to be answered; 0 when by acknowledgement
    qint64 lineBytes = 0;                     // bytes still to go out on the line after the confirmation
    QDeadlineTimer deadline;                  // for the confirmation
    std::optional<QDeadlineTimer> onTheLine;  // from the confirmation on
  };

  void onConnected();
  void onReadyRead();
  void onSocketError(QAbstractSocket::SocketError error);
  void onDisconnected();
  void onDeadline();
  // Ends an open that the server has not completed, telling why.
  void failPendingOpen();
  void checkNegotiation();
  void checkDrain();
  void checkLink();
  // Takes in what the socket holds, decoded, and sends the codec's answers.
  void takeIn(qsizetype limit);
  void send(const QByteArray& bytes);
  void setState(PortState state);
  void setLinkOptions();
  [[nodiscard]] bool allAcknowledged() const;
  // Ends an open in progress: closed again, then openFailed().
  void failOpen(const LinkError& error);
  void failOpen(LinkFault fault, const QString& reason = {});
  // An open connection went down: closed, then hungUp() once.
  void hangUp(const LinkError& error);
  void hangUpIfLost();
  // Throws the loss after telling it, when the connection is gone.
  void raiseIfHungUp(LinkStep step);
  // Lets the connection go: it hands over what is still buffered on its own,
  // with no news for this service.
  void releaseConnection();
  [[nodiscard]] LinkError linkError(LinkStep step, LinkFault fault, const QString& reason = {}) const;
  [[nodiscard]] LinkError lostError(LinkStep step) const;
  [[nodiscard]] QString serverWords() const;
  [[nodiscard]] bool usesRfc2217() const { return m_address.protocol == NetworkProtocol::Rfc2217; }

  NetworkAddress m_address;
  Timeouts m_timeouts;
  QPointer<QTcpSocket> m_socket;  // one per connection; a child of this service
  QTimer m_deadline;              // runs only while opening
  QDeadlineTimer m_openDeadline;
  QTimer m_drainTimer;  // runs only while a drain is asked for
  QTimer m_linkTimer;   // runs only while open over rfc2217
  std::optional<Rfc2217Codec> m_codec;
  std::optional<Drain> m_drain;
  PortState m_state = PortState::Closed;
  QByteArray m_received;            // decoded, not yet read
  qint64 m_unconfirmedBytes = 0;    // written since the last drain was asked for
  bool m_answersMarks = false;      // the server answered the mark asked while negotiating
  qint64 m_handedOver = 0;          // bytes the system has taken on this connection
  QElapsedTimer m_sinceLinkAnswer;  // rfc2217: since the last mark was answered
  std::optional<QElapsedTimer> m_probeSent;
  // Counts opens and closes, so that a failure told from the event loop is
  // dropped once the attempt it belongs to is over.
  quint64 m_attempt = 0;
};

}  // namespace zelqon
