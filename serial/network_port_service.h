#pragma once

#include "protocol/port_choice.h"
#include "serial/link_probe.h"
#include "serial/port_service.h"
#include "serial/precise_deadline.h"
#include "serial/rfc2217_codec.h"
#include "serial/tls_credentials.h"
#include "serial/write_confirmation.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

#include <chrono>
#include <optional>
#include <variant>

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
// With rfc2217+tls:// and tcp+tls:// the connection is TLS 1.2 or later, and
// the server must prove who it is (decideServerTrust) before a byte of the
// program's goes to it; all of the above holds over TLS alike.
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
  NetworkPortService(NetworkAddress address, TlsCredentials credentials, Timeouts timeouts, QObject* parent = nullptr);
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
  [[nodiscard]] Confirmation confirmation() const { return m_confirmation; }

 private:
  // Where the connection stands, and what moves it on. handle() holds every
  // transition and is the only place the state changes; where no arrow
  // leaves a state for an event, the state stays as it is.
  //
  //                            connected, TLS             trusted
  //                         +-----------------> Securing ------------+
  //           open          |                      |                 v    rfc2217        every setting confirmed
  //   Closed -------> Connecting - connected, plain -------> (the line) ------> Negotiating ----------------> Open
  //   ^ ^ ^             |                          |                 |  tcp            |                    ^ | |
  //   | | |             |                          |                 +-----------------|--------------------+ | |
  //   | | |  not found, |  not TLS, not trusted,   |          refused, settings        |                      | |
  //   | | |  refused,   |  closed, no answer in    |          changed, closed,         |                      | |
  //   | | |  failed, no |  time                    |          failed, no answer        |                      | |
  //   | | |  answer in  |                          |          in time                  |                      | |
  //   | | |  time       |                          |                                   |                      | |
  //   | | +-------------+--------------------------+-----------------------------------+  (openFailed)        | |
  //   | |                     a write failed, the link went silent (hungUp)                                   | |
  //   | +-------------------------------------------------------------------------------------------------------+ |
  //   |                                                                   the server closed                        |
  //   |                                                                                                            v
  //   +-- the loss told (hungUp): from the event loop, or by the call that meets it first -------------------- HungUp
  //
  //   close: Closed from any state.
  struct OpenRequested {};
  struct Connected {};
  // The TLS handshake is done; the server is not trusted yet.
  struct Encrypted {};
  struct BytesArrived {};
  struct SocketFailed {
    QAbstractSocket::SocketError error;
  };
  struct ServerClosed {};
  struct DeadlineExpired {};
  // An open connection's loss, told now.
  struct LossTold {
    LinkError error;
  };
  struct CloseRequested {};
  using Event = std::variant<OpenRequested, Connected, Encrypted, BytesArrived, SocketFailed, ServerClosed,
                             DeadlineExpired, LossTold, CloseRequested>;
  void handle(const Event& event);

  // A socket of its own for a new attempt, nothing kept from the last.
  void newConnection();
  void setLinkOptions();
  // Takes in what the socket holds, decoded, and sends the codec's answers.
  void takeIn(qsizetype limit);
  void send(const QByteArray& bytes);
  void checkDrain();
  void checkLink();
  [[nodiscard]] bool allAcknowledged() const;
  // Throws the loss after telling it, when the connection is gone.
  void raiseIfHungUp(LinkStep step);
  // Lets the connection go: it hands over what is still buffered on its own,
  // with no news for this service.
  void releaseConnection();
  // Why a negotiation that ended without every setting confirmed failed.
  [[nodiscard]] LinkError negotiationFailure() const;
  [[nodiscard]] LinkError linkError(LinkStep step, LinkFault fault, const QString& reason = {}) const;
  [[nodiscard]] LinkError lostError(LinkStep step) const;
  [[nodiscard]] QString serverWords() const;
  [[nodiscard]] bool usesRfc2217() const { return m_address.protocol == NetworkProtocol::Rfc2217; }
  [[nodiscard]] bool usesTls() const { return m_address.security == NetworkSecurity::Tls; }
  // Whether the server showed who it is as the credentials ask.
  [[nodiscard]] TrustDecision weighServer() const;
  // A server that closed with nothing to say, past the TLS handshake.
  [[nodiscard]] LinkFault closedAfterHandshake() const;
  // How a handshake's failure is told.
  [[nodiscard]] LinkFault securingFault(QAbstractSocket::SocketError error) const;

  NetworkAddress m_address;
  Timeouts m_timeouts;
  TlsCredentials m_credentials;
  QPointer<QSslSocket> m_socket;       // one per connection, encrypted or not; a child of this service
  QList<QSslError> m_handshakeErrors;  // weighed by decideServerTrust once the handshake is done
  PreciseDeadline m_deadline;          // runs only while connecting and negotiating
  QTimer m_drainTimer;                 // runs only while a drain is asked for
  QTimer m_linkTimer;                  // runs only while the probe is on
  std::optional<Rfc2217Codec> m_codec;
  WriteConfirmation m_drain;
  LinkProbe m_probe;
  PortState m_state = PortState::Closed;
  Confirmation m_confirmation = Confirmation::TcpAcknowledgement;
  QByteArray m_received;          // decoded, not yet read
  qint64 m_unconfirmedBytes = 0;  // written since the last drain was asked for
  qint64 m_handedOver = 0;        // bytes the system has taken on this connection, encrypted over TLS
  // Counts opens and closes, so that news told from the event loop is
  // dropped once the attempt it belongs to is over.
  quint64 m_attempt = 0;
};

}  // namespace zelqon
