#include "serial/network_port_service.h"

#include "protocol/overloaded.h"
#include "serial/socket_tuning.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace zelqon {

namespace {

using namespace std::chrono_literals;

// A short read the server sent before closing ("Port already in use" from
// ser2net) says more than any socket error.
constexpr qsizetype kLongestServerWords = 200;
// readAllPending takes at most this many rounds from the system per call, so
// a server that never pauses cannot hold the poll.
constexpr int kReadRounds = 8;
// How often a drain in progress looks at the server's acknowledgements, and
// an open rfc2217 link at its last answer.
constexpr auto kDrainCheck = 5ms;
constexpr auto kLinkCheck = 1000ms;

bool saysInUse(const QString& words) { return words.contains(QLatin1String("in use"), Qt::CaseInsensitive); }

// How a connection that fails before it is up is told; any other error as Other.
constexpr std::pair<QAbstractSocket::SocketError, LinkFault> kConnectFaults[] = {
    {QAbstractSocket::HostNotFoundError, LinkFault::HostNotFound},
    {QAbstractSocket::ConnectionRefusedError, LinkFault::ConnectionRefused},
    {QAbstractSocket::RemoteHostClosedError, LinkFault::ClosedAtOnce},
};

LinkFault connectFault(QAbstractSocket::SocketError error) {
  const auto* known = std::find_if(std::cbegin(kConnectFaults), std::cend(kConnectFaults),
                                   [error](const auto& entry) { return entry.first == error; });
  return known == std::cend(kConnectFaults) ? LinkFault::Other : known->second;
}

}  // namespace

NetworkPortService::NetworkPortService(NetworkAddress address, QObject* parent)
    : NetworkPortService(std::move(address), Timeouts{}, parent) {}

NetworkPortService::NetworkPortService(NetworkAddress address, Timeouts timeouts, QObject* parent)
    : NetworkPortService(std::move(address), TlsCredentials{}, timeouts, parent) {}

NetworkPortService::NetworkPortService(NetworkAddress address, TlsCredentials credentials, Timeouts timeouts,
                                       QObject* parent)
    : PortService(parent),
      m_address(std::move(address)),
      m_timeouts(timeouts),
      m_credentials(std::move(credentials)),
      m_probe(m_timeouts.probeIdle, m_timeouts.confirm) {
  m_deadline.setParent(this);
  connect(&m_deadline, &PreciseDeadline::expired, this, [this] { handle(DeadlineExpired{}); });
  m_drainTimer.setParent(this);
  m_drainTimer.setInterval(kDrainCheck);
  connect(&m_drainTimer, &QTimer::timeout, this, &NetworkPortService::checkDrain);
  m_linkTimer.setParent(this);
  m_linkTimer.setInterval(kLinkCheck);
  connect(&m_linkTimer, &QTimer::timeout, this, &NetworkPortService::checkLink);
}

NetworkPortService::~NetworkPortService() {
  const QSignalBlocker quiet(this);
  releaseConnection();
}

LinkError NetworkPortService::linkError(LinkStep step, LinkFault fault, const QString& reason) const {
  return LinkError(step, fault, displayName(), reason);
}

LinkError NetworkPortService::lostError(LinkStep step) const {
  return linkError(step, LinkFault::ConnectionLost, m_socket ? m_socket->errorString() : QString());
}

OpenProgress NetworkPortService::open() {
  if (m_state == PortState::Open)
    return OpenProgress::Open;
  raiseIfHungUp(LinkStep::Open);
  handle(OpenRequested{});
  return OpenProgress::Pending;
}

void NetworkPortService::close() { handle(CloseRequested{}); }

void NetworkPortService::handle(const Event& event) {
  // The only place the state changes.
  const auto setState = [this](PortState state) {
    if (m_state == state)
      return;
    m_state = state;
    emit stateChanged(state);
  };
  // An open in progress ends closed again, then openFailed() from the event
  // loop, also when Qt fails an address inside open(): the caller has heard
  // Pending first. A close or a new open since then makes it no news.
  const auto failOpen = [&](const LinkError& error) {
    releaseConnection();
    setState(PortState::Closed);
    QMetaObject::invokeMethod(
        this,
        [this, error, attempt = m_attempt] {
          if (attempt == m_attempt)
            emit openFailed(error);
        },
        Qt::QueuedConnection);
  };
  const auto refuseOpen = [&](LinkFault fault, const QString& reason = {}) {
    failOpen(linkError(LinkStep::Open, fault, reason));
  };
  const auto hangUp = [&](const LinkError& error) {
    releaseConnection();
    setState(PortState::Closed);
    emit hungUp(error);
  };
  const auto becomeOpen = [&] {
    m_deadline.stop();
    // The mark asked while negotiating tells, once, whether the server answers TIMING-MARK.
    if (m_codec && m_codec->marksAnswered() > 0) {
      m_confirmation = Confirmation::TimingMark;
      m_probe.start(std::chrono::steady_clock::now());
      m_linkTimer.start();
    }
    setState(PortState::Open);
  };
  // The connection is up and ready for the line: over tcp:// it carries the
  // line as it is, over rfc2217 once the server has confirmed the settings.
  const auto carryTheLine = [&] {
    if (!usesRfc2217()) {
      becomeOpen();
      return;
    }
    m_codec.emplace();
    send(m_codec->start() + m_codec->timingMark());
    askForQuickAcknowledgements(m_socket->socketDescriptor());
    m_deadline.start(m_timeouts.negotiate);
    setState(PortState::Negotiating);
    // The server may have spoken first.
    if (m_socket && m_socket->bytesAvailable() > 0)
      handle(BytesArrived{});
  };

  const Overloaded transitions{
      [&](const OpenRequested&) {
        switch (m_state) {
          case PortState::Closed:
            newConnection();
            setState(PortState::Connecting);
            m_deadline.start(m_timeouts.connect);
            if (usesTls())
              m_socket->connectToHostEncrypted(m_address.host, m_address.port);
            else
              m_socket->connectToHost(m_address.host, m_address.port);
            break;
          case PortState::Connecting:
          case PortState::Securing:
          case PortState::Negotiating:
          case PortState::Open:
          case PortState::HungUp:
            break;
        }
      },
      [&](const Connected&) {
        switch (m_state) {
          case PortState::Connecting:
            setLinkOptions();
            // Over TLS the handshake goes on by itself; the open's deadline still runs.
            if (usesTls())
              setState(PortState::Securing);
            else
              carryTheLine();
            break;
          case PortState::Closed:
          case PortState::Securing:
          case PortState::Negotiating:
          case PortState::Open:
          case PortState::HungUp:
            break;
        }
      },
      [&](const Encrypted&) {
        switch (m_state) {
          case PortState::Securing: {
            // Weighed every time, errors or none: a certificate the system
            // trusts is still refused when it is not the one kept.
            const TrustDecision decision = weighServer();
            if (const auto* refused = std::get_if<ServerRefused>(&decision))
              failOpen(linkError(LinkStep::Open, LinkFault::ServerNotProven).withServerRefused(*refused));
            else
              carryTheLine();
            break;
          }
          case PortState::Closed:
          case PortState::Connecting:
          case PortState::Negotiating:
          case PortState::Open:
          case PortState::HungUp:
            break;
        }
      },
      [&](const BytesArrived&) {
        switch (m_state) {
          case PortState::Negotiating: {
            takeIn(kReadBufferSize);
            askForQuickAcknowledgements(m_socket->socketDescriptor());
            const ComPortNegotiation& negotiation = m_codec->negotiation();
            if (negotiation.option == OptionAnswer::Refused) {
              refuseOpen(LinkFault::NotRfc2217);
            } else if (negotiation.option == OptionAnswer::Accepted && negotiation.allAnswered()) {
              if (negotiation.allConfirmed())
                becomeOpen();
              else
                failOpen(negotiationFailure());
            }
            break;
          }
          case PortState::Open:
            // Decoded now for the server's answers to marks; the data waits
            // for readAllPending, and beyond the bound in the socket, where
            // TCP holds a flooding server back. Over tcp:// everything waits
            // in the socket.
            if (m_codec) {
              takeIn(kReadRounds * kReadBufferSize);
              checkDrain();
            }
            break;
          case PortState::Closed:
          case PortState::Connecting:
          case PortState::Securing:
          case PortState::HungUp:
            break;
        }
      },
      [&](const SocketFailed& failed) {
        // Our own zero-wait reads end in a timeout; the deadline times an open.
        if (failed.error == QAbstractSocket::SocketTimeoutError && m_socket->state() == QAbstractSocket::ConnectedState)
          return;
        switch (m_state) {
          case PortState::Connecting:
            // Schannel weighs this computer's certificate as the connection comes up.
            refuseOpen(usesTls() ? securingFault(failed.error) : connectFault(failed.error), m_socket->errorString());
            break;
          case PortState::Securing:
            refuseOpen(securingFault(failed.error), m_socket->errorString());
            break;
          case PortState::Negotiating:
            if (failed.error == QAbstractSocket::RemoteHostClosedError)
              handle(ServerClosed{});
            else
              refuseOpen(LinkFault::Other, m_socket->errorString());
            break;
          case PortState::Open:
            if (m_socket->state() != QAbstractSocket::ConnectedState)
              handle(ServerClosed{});
            break;
          case PortState::Closed:
          case PortState::HungUp:
            break;
        }
      },
      [&](const ServerClosed&) {
        switch (m_state) {
          case PortState::Negotiating: {
            // What the server said before it closed (ser2net: "Port already in use").
            takeIn(kReadBufferSize);
            const QString words = serverWords();
            if (saysInUse(words))
              refuseOpen(LinkFault::PortInUse, words);
            else if (words.isEmpty())
              refuseOpen(closedAfterHandshake(), m_socket->errorString());
            else
              refuseOpen(LinkFault::ClosedAtOnce, words);
            break;
          }
          case PortState::Open:
            // Told once, from the event loop or by the call of ours that
            // meets it first; a connection made in between is not the one lost.
            m_linkTimer.stop();
            m_probe.stop();
            setState(PortState::HungUp);
            QMetaObject::invokeMethod(
                this,
                [this, attempt = m_attempt] {
                  if (attempt == m_attempt)
                    handle(LossTold{lostError(LinkStep::Read)});
                },
                Qt::QueuedConnection);
            break;
          case PortState::Closed:
          case PortState::Connecting:
          case PortState::Securing:
          case PortState::HungUp:
            break;
        }
      },
      [&](const DeadlineExpired&) {
        switch (m_state) {
          case PortState::Connecting:
          case PortState::Securing:
            refuseOpen(LinkFault::NoAnswer);
            break;
          case PortState::Negotiating:
            failOpen(negotiationFailure());
            break;
          case PortState::Closed:
          case PortState::Open:
          case PortState::HungUp:
            break;
        }
      },
      [&](const LossTold& loss) {
        switch (m_state) {
          case PortState::Open:
          case PortState::HungUp:
            hangUp(loss.error);
            break;
          case PortState::Closed:
          case PortState::Connecting:
          case PortState::Securing:
          case PortState::Negotiating:
            break;
        }
      },
      [&](const CloseRequested&) {
        ++m_attempt;
        switch (m_state) {
          case PortState::Connecting:
          case PortState::Securing:
          case PortState::Negotiating:
          case PortState::Open:
          case PortState::HungUp:
            releaseConnection();
            setState(PortState::Closed);
            break;
          case PortState::Closed:
            break;
        }
      },
  };
  std::visit(transitions, event);
}

void NetworkPortService::newConnection() {
  ++m_attempt;
  m_codec.reset();
  m_received.clear();
  m_unconfirmedBytes = 0;
  m_confirmation = Confirmation::TcpAcknowledgement;
  m_handedOver = 0;
  m_handshakeErrors.clear();
  m_socket = new QSslSocket(this);
  m_socket->setReadBufferSize(kReadBufferSize);
  connect(m_socket, &QSslSocket::connected, this, [this] { handle(Connected{}); });
  connect(m_socket, &QSslSocket::readyRead, this, [this] { handle(BytesArrived{}); });
  connect(m_socket, &QSslSocket::errorOccurred, this,
          [this](QAbstractSocket::SocketError error) { handle(SocketFailed{error}); });
  connect(m_socket, &QSslSocket::disconnected, this, [this] { handle(ServerClosed{}); });
  if (!usesTls()) {
    connect(m_socket, &QSslSocket::bytesWritten, this, [this](qint64 bytes) { m_handedOver += bytes; });
    return;
  }
  // What the system takes over TLS is the encrypted records, handshake and all.
  connect(m_socket, &QSslSocket::encryptedBytesWritten, this, [this](qint64 bytes) { m_handedOver += bytes; });
  m_socket->setSslConfiguration(
      serverTlsConfiguration(QSslConfiguration::defaultConfiguration(),
                             m_credentials.serverCertificate ? &*m_credentials.serverCertificate : nullptr));
  if (m_credentials.identity) {
    m_socket->setLocalCertificate(m_credentials.identity->certificate);
    m_socket->setPrivateKey(m_credentials.identity->key);
  }
  // The handshake is let through its errors only to show the certificate to
  // decideServerTrust, which weighs them before anything is written.
  connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
    m_handshakeErrors += errors;
    m_socket->ignoreSslErrors();
  });
  connect(m_socket, &QSslSocket::encrypted, this, [this] { handle(Encrypted{}); });
}

TrustDecision NetworkPortService::weighServer() const {
  const PresentedServer server{m_address.host, m_address.port, m_socket->peerCertificateChain(), m_handshakeErrors};
  return decideServerTrust(server, m_credentials.serverCertificate ? &*m_credentials.serverCertificate : nullptr,
                           TrustedServers(m_credentials.trustedFolder), QDateTime::currentDateTimeUtc());
}

LinkFault NetworkPortService::closedAfterHandshake() const {
  if (!usesTls())
    return LinkFault::ClosedAtOnce;
  // A TLS server that checks this computer's certificate after the handshake
  // (ser2net's clientauth) closes without a word when it finds none it allows.
  return m_credentials.identity ? LinkFault::ClientCertificateRefused : LinkFault::ClientCertificateRequired;
}

LinkFault NetworkPortService::securingFault(QAbstractSocket::SocketError error) const {
  switch (error) {
    case QAbstractSocket::SslHandshakeFailedError:
      return LinkFault::NotTls;  // a plain server's first words (a Telnet greeting) end the handshake
    case QAbstractSocket::SslInvalidUserDataError:
      // Windows' Schannel takes a certificate only for the use it names.
      return m_credentials.identity ? LinkFault::ClientCertificateUnusable : LinkFault::Other;
    default:
      return connectFault(error);
  }
}

void NetworkPortService::setLinkOptions() {
  m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  tuneSiteLink(m_socket->socketDescriptor());
}

bool NetworkPortService::allAcknowledged() const {
  // Over TLS, the records not yet handed to the system are held apart from the text.
  if (!m_socket || m_socket->bytesToWrite() > 0 || m_socket->encryptedBytesToWrite() > 0)
    return false;
  return sentBytes(m_socket->socketDescriptor(), m_handedOver) != SentBytes::Outstanding;
}

void NetworkPortService::takeIn(qsizetype limit) {
  if (!m_socket)
    return;
  const QByteArray bytes = m_socket->read(std::max<qsizetype>(limit - m_received.size(), 0));
  if (bytes.isEmpty())
    return;
  if (!m_codec) {
    m_received += bytes;
    return;
  }
  const quint64 answered = m_codec->marksAnswered();
  m_received += m_codec->decode(bytes);
  if (m_codec->marksAnswered() != answered)
    m_probe.answered(std::chrono::steady_clock::now());
  send(m_codec->takeReplies());
}

void NetworkPortService::send(const QByteArray& bytes) {
  if (bytes.isEmpty() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
    return;
  m_socket->write(bytes);
  m_socket->flush();  // as much as the system takes now, without waiting
}

LinkError NetworkPortService::negotiationFailure() const {
  const QString words = serverWords();
  const ComPortNegotiation& negotiation = m_codec->negotiation();
  if (saysInUse(words))
    return linkError(LinkStep::Open, LinkFault::PortInUse, words);
  if (negotiation.option != OptionAnswer::Accepted)
    return linkError(LinkStep::Open, LinkFault::NotRfc2217);
  if (std::none_of(negotiation.answered.cbegin(), negotiation.answered.cend(),
                   [](const auto& answer) { return answer.has_value(); }))
    return linkError(LinkStep::Open, LinkFault::ServerHung);
  QList<LineSettingAnswer> settings;
  const ComPortLine wanted;
  for (const ComPortSettingRecord& record : kComPortSettings) {
    if (negotiation.answer(record.setting) != SettingAnswer::Confirmed)
      settings.append({record.code, wanted.*record.wanted, negotiation.answered[size_t(record.setting)]});
  }
  return linkError(LinkStep::Open, LinkFault::SettingsRefused).withSettings(std::move(settings));
}

QString NetworkPortService::serverWords() const {
  QString words;
  for (const char c : m_received.left(kLongestServerWords))
    if (quint8(c) >= 0x20 && quint8(c) < 0x7f)
      words += QLatin1Char(c);
  return words.trimmed();
}

void NetworkPortService::raiseIfHungUp(LinkStep step) {
  if (m_state != PortState::HungUp)
    return;
  const LinkError error = lostError(step);
  handle(LossTold{error});
  throw error;
}

void NetworkPortService::releaseConnection() {
  m_deadline.stop();
  m_drainTimer.stop();
  m_linkTimer.stop();
  m_drain.cancel();
  m_probe.stop();
  m_codec.reset();
  m_received.clear();
  QSslSocket* socket = std::exchange(m_socket, nullptr);
  if (!socket)
    return;
  socket->disconnect(this);
  if (socket->state() != QAbstractSocket::ConnectedState) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  // Unread bytes at close make the system reset the connection, which may
  // throw away what it has not sent yet. Whatever a write left in Qt's
  // buffer goes out before the connection closes, bounded.
  socket->readAll();
  connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(m_timeouts.confirm, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  socket->disconnectFromHost();
}

void NetworkPortService::writeText(const QString& text) {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(LinkStep::Write, LinkFault::NotOpen);
  raiseIfHungUp(LinkStep::Write);
  const QByteArray latin1 = text.toLatin1();
  const QByteArray bytes = m_codec ? m_codec->encode(latin1) : latin1;
  if (m_socket->state() != QAbstractSocket::ConnectedState || m_socket->write(bytes) != bytes.size()) {
    const LinkError error = lostError(LinkStep::Write);
    handle(LossTold{error});
    throw error;
  }
  // As much as the system takes now; the rest from the event loop.
  m_socket->flush();
  m_unconfirmedBytes += latin1.size();
}

void NetworkPortService::requestDrain() {
  if (m_state != PortState::Open)
    return;  // a loss is told by hungUp(); a closed port has nothing to drain
  const auto now = std::chrono::steady_clock::now();
  const qint64 lineBytes = std::exchange(m_unconfirmedBytes, 0);
  switch (m_confirmation) {
    case Confirmation::TimingMark:
      send(m_codec->timingMark());
      m_drain.begin(now, lineBytes, m_timeouts.confirm, MarkAnswered{m_codec->marksAsked()});
      break;
    case Confirmation::TcpAcknowledgement:
      m_drain.begin(now, lineBytes, m_timeouts.confirm, EveryByteAcknowledged{});
      break;
  }
  m_drainTimer.start();
}

void NetworkPortService::checkDrain() {
  const WriteConfirmation::ServerProgress server{m_codec ? m_codec->marksAnswered() : 0,
                                                 [this] { return allAcknowledged(); }};
  switch (m_drain.check(std::chrono::steady_clock::now(), server)) {
    case WriteConfirmation::Outcome::Pending:
      break;
    case WriteConfirmation::Outcome::Drained:
      m_drainTimer.stop();
      emit drained();
      break;
    case WriteConfirmation::Outcome::NotConfirmed:
      m_drainTimer.stop();
      emit drainFailed(linkError(LinkStep::Write, LinkFault::NotConfirmed));
      break;
  }
}

void NetworkPortService::checkLink() {
  const quint64 unanswered = m_codec ? m_codec->marksAsked() - m_codec->marksAnswered() : 0;
  switch (m_probe.check(std::chrono::steady_clock::now(), unanswered, m_drain.state())) {
    case LinkProbe::Step::Wait:
      break;
    case LinkProbe::Step::AskForAnswer:
      send(m_codec->timingMark());
      break;
    case LinkProbe::Step::LinkSilent:
      handle(LossTold{linkError(LinkStep::Read, LinkFault::LinkSilent)});
      break;
  }
}

QString NetworkPortService::readAllPending() {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(LinkStep::Read, LinkFault::NotOpen);
  // Take in what the system holds now: without a turn of the event loop
  // since it arrived, the socket would not have seen it yet.
  for (int round = 0; round < kReadRounds; ++round) {
    takeIn(kReadRounds * kReadBufferSize);
    if (m_state == PortState::HungUp || !m_socket->waitForReadyRead(0))
      break;
  }
  takeIn(kReadRounds * kReadBufferSize);
  const QByteArray received = std::exchange(m_received, {});
  // What came before a loss is read first; the loss is told by the next
  // read, or from the event loop.
  if (received.isEmpty())
    raiseIfHungUp(LinkStep::Read);
  return QString::fromLatin1(received);
}

}  // namespace zelqon
