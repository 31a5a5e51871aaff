#include "serial/network_port_service.h"

#include "protocol/line_settings.h"
#include "serial/socket_tuning.h"

#include <QMetaObject>

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

}  // namespace

NetworkPortService::NetworkPortService(NetworkAddress address, QObject* parent)
    : NetworkPortService(std::move(address), Timeouts{}, parent) {}

NetworkPortService::NetworkPortService(NetworkAddress address, Timeouts timeouts, QObject* parent)
    : PortService(parent), m_address(std::move(address)), m_timeouts(timeouts) {
  m_deadline.setParent(this);
  m_deadline.setSingleShot(true);
  m_deadline.setTimerType(Qt::PreciseTimer);
  connect(&m_deadline, &QTimer::timeout, this, &NetworkPortService::onDeadline);
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

void NetworkPortService::setState(PortState state) {
  if (m_state == state)
    return;
  m_state = state;
  emit stateChanged(state);
}

NetworkPortService::Confirmation NetworkPortService::confirmation() const {
  return usesRfc2217() && m_answersMarks ? Confirmation::TimingMark : Confirmation::TcpAcknowledgement;
}

OpenProgress NetworkPortService::open() {
  switch (m_state) {
    case PortState::Open:
      return OpenProgress::Open;
    case PortState::HungUp:
      raiseIfHungUp(LinkStep::Open);
      break;
    case PortState::Connecting:
    case PortState::Negotiating:
      return OpenProgress::Pending;
    case PortState::Closed:
      break;
  }
  ++m_attempt;
  m_codec.reset();
  m_received.clear();
  m_unconfirmedBytes = 0;
  m_answersMarks = false;
  m_handedOver = 0;
  m_socket = new QTcpSocket(this);
  m_socket->setReadBufferSize(kReadBufferSize);
  connect(m_socket, &QTcpSocket::connected, this, &NetworkPortService::onConnected);
  connect(m_socket, &QTcpSocket::readyRead, this, &NetworkPortService::onReadyRead);
  connect(m_socket, &QTcpSocket::errorOccurred, this, &NetworkPortService::onSocketError);
  connect(m_socket, &QTcpSocket::disconnected, this, &NetworkPortService::onDisconnected);
  connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { m_handedOver += bytes; });
  setState(PortState::Connecting);
  m_openDeadline = QDeadlineTimer(m_timeouts.connect, Qt::PreciseTimer);
  m_deadline.start(m_timeouts.connect);
  m_socket->connectToHost(m_address.host, m_address.port);
  return OpenProgress::Pending;
}

void NetworkPortService::setLinkOptions() {
  m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  tuneSiteLink(m_socket->socketDescriptor());
}

bool NetworkPortService::allAcknowledged() const {
  if (!m_socket || m_socket->bytesToWrite() > 0)
    return false;
  return sentBytes(m_socket->socketDescriptor(), m_handedOver) != SentBytes::Outstanding;
}

void NetworkPortService::onConnected() {
  if (m_state != PortState::Connecting)
    return;
  setLinkOptions();
  if (!usesRfc2217()) {
    m_deadline.stop();
    setState(PortState::Open);
    return;
  }
  m_codec.emplace();
  // The mark tells, once, whether the server answers TIMING-MARK.
  send(m_codec->start() + m_codec->timingMark());
  askForQuickAcknowledgements(m_socket->socketDescriptor());
  m_openDeadline = QDeadlineTimer(m_timeouts.negotiate, Qt::PreciseTimer);
  m_deadline.start(m_timeouts.negotiate);
  setState(PortState::Negotiating);
  // The server may have spoken first.
  if (m_socket->bytesAvailable() > 0)
    onReadyRead();
}

void NetworkPortService::onReadyRead() {
  if (m_state == PortState::Negotiating) {
    takeIn(kReadBufferSize);
    askForQuickAcknowledgements(m_socket->socketDescriptor());
    checkNegotiation();
  } else if (m_state == PortState::Open && m_codec) {
    // Decoded now for the server's answers to marks; the data waits for
    // readAllPending, and beyond the bound in the socket, where TCP holds a
    // flooding server back. Over tcp:// everything waits in the socket.
    takeIn(kReadRounds * kReadBufferSize);
    checkDrain();
  }
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
    m_sinceLinkAnswer.start();
  send(m_codec->takeReplies());
}

void NetworkPortService::send(const QByteArray& bytes) {
  if (bytes.isEmpty() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
    return;
  m_socket->write(bytes);
  m_socket->flush();  // as much as the system takes now, without waiting
}

void NetworkPortService::checkNegotiation() {
  const ComPortNegotiation& negotiation = m_codec->negotiation();
  if (negotiation.option == OptionAnswer::Refused) {
    failOpen(LinkFault::NotRfc2217);
  } else if (negotiation.option == OptionAnswer::Accepted && negotiation.allAnswered()) {
    if (negotiation.allConfirmed()) {
      m_deadline.stop();
      m_answersMarks = m_codec->marksAnswered() > 0;
      m_sinceLinkAnswer.start();
      m_probeSent.reset();
      m_linkTimer.start();
      setState(PortState::Open);
    } else {
      failPendingOpen();
    }
  }
}

void NetworkPortService::onDeadline() {
  // Never early: a timer that fired before its time waits for the rest.
  if (!m_openDeadline.hasExpired()) {
    m_deadline.start(std::chrono::milliseconds(std::max<qint64>(m_openDeadline.remainingTime(), 1)));
    return;
  }
  failPendingOpen();
}

void NetworkPortService::failPendingOpen() {
  if (m_state == PortState::Connecting) {
    failOpen(LinkFault::NoAnswer);
    return;
  }
  if (m_state != PortState::Negotiating)
    return;
  const QString words = serverWords();
  const ComPortNegotiation& negotiation = m_codec->negotiation();
  if (saysInUse(words)) {
    failOpen(LinkFault::PortInUse, words);
  } else if (negotiation.option != OptionAnswer::Accepted) {
    failOpen(LinkFault::NotRfc2217);
  } else if (std::none_of(negotiation.answered.cbegin(), negotiation.answered.cend(),
                          [](const auto& answer) { return answer.has_value(); })) {
    failOpen(LinkFault::ServerHung);
  } else {
    QList<LineSettingAnswer> settings;
    const ComPortLine wanted;
    for (const ComPortSettingRecord& record : kComPortSettings) {
      if (negotiation.answer(record.setting) != SettingAnswer::Confirmed)
        settings.append({record.code, wanted.*record.wanted, negotiation.answered[size_t(record.setting)]});
    }
    failOpen(linkError(LinkStep::Open, LinkFault::SettingsRefused).withSettings(std::move(settings)));
  }
}

void NetworkPortService::onSocketError(QAbstractSocket::SocketError error) {
  // Our own zero-wait reads end in a timeout; the deadline times an open.
  if (error == QAbstractSocket::SocketTimeoutError && m_socket->state() == QAbstractSocket::ConnectedState)
    return;
  switch (m_state) {
    case PortState::Connecting:
      switch (error) {
        case QAbstractSocket::HostNotFoundError:
          failOpen(LinkFault::HostNotFound, m_socket->errorString());
          break;
        case QAbstractSocket::ConnectionRefusedError:
          failOpen(LinkFault::ConnectionRefused, m_socket->errorString());
          break;
        case QAbstractSocket::RemoteHostClosedError:
          failOpen(LinkFault::ClosedAtOnce, m_socket->errorString());
          break;
        default:
          failOpen(LinkFault::Other, m_socket->errorString());
          break;
      }
      break;
    case PortState::Negotiating:
      if (error == QAbstractSocket::RemoteHostClosedError)
        onDisconnected();
      else
        failOpen(LinkFault::Other, m_socket->errorString());
      break;
    case PortState::Open:
      if (m_socket->state() != QAbstractSocket::ConnectedState)
        onDisconnected();
      break;
    case PortState::Closed:
    case PortState::HungUp:
      break;
  }
}

void NetworkPortService::onDisconnected() {
  if (m_state == PortState::Negotiating) {
    // What the server said before it closed (ser2net: "Port already in use").
    takeIn(kReadBufferSize);
    const QString words = serverWords();
    failOpen(saysInUse(words) ? LinkFault::PortInUse : LinkFault::ClosedAtOnce,
             words.isEmpty() ? m_socket->errorString() : words);
  } else if (m_state == PortState::Open) {
    // Told once, from the event loop or by the call of ours that meets it first.
    setState(PortState::HungUp);
    QMetaObject::invokeMethod(this, &NetworkPortService::hangUpIfLost, Qt::QueuedConnection);
  }
}

QString NetworkPortService::serverWords() const {
  QString words;
  for (const char c : m_received.left(kLongestServerWords))
    if (quint8(c) >= 0x20 && quint8(c) < 0x7f)
      words += QLatin1Char(c);
  return words.trimmed();
}

void NetworkPortService::failOpen(LinkFault fault, const QString& reason) {
  failOpen(linkError(LinkStep::Open, fault, reason));
}

void NetworkPortService::failOpen(const LinkError& error) {
  releaseConnection();
  setState(PortState::Closed);
  // Told from the event loop, also when Qt fails an address inside open():
  // the caller has heard Pending first. A close or a new open since then
  // makes it no news.
  QMetaObject::invokeMethod(
      this,
      [this, error, attempt = m_attempt] {
        if (attempt == m_attempt)
          emit openFailed(error);
      },
      Qt::QueuedConnection);
}

void NetworkPortService::hangUp(const LinkError& error) {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    return;
  releaseConnection();
  setState(PortState::Closed);
  emit hungUp(error);
}

void NetworkPortService::hangUpIfLost() {
  // Queued: a new connection made in between is not the one that was lost.
  if (m_state == PortState::HungUp)
    hangUp(lostError(LinkStep::Read));
}

void NetworkPortService::raiseIfHungUp(LinkStep step) {
  if (m_state != PortState::HungUp)
    return;
  const LinkError error = lostError(step);
  hangUp(error);
  throw error;
}

void NetworkPortService::releaseConnection() {
  m_deadline.stop();
  m_drainTimer.stop();
  m_linkTimer.stop();
  m_drain.reset();
  m_probeSent.reset();
  m_codec.reset();
  m_received.clear();
  QTcpSocket* socket = std::exchange(m_socket, nullptr);
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
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(m_timeouts.confirm, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  socket->disconnectFromHost();
}

void NetworkPortService::close() {
  ++m_attempt;
  if (m_state == PortState::Closed)
    return;
  releaseConnection();
  setState(PortState::Closed);
}

void NetworkPortService::writeText(const QString& text) {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(LinkStep::Write, LinkFault::NotOpen);
  raiseIfHungUp(LinkStep::Write);
  const QByteArray latin1 = text.toLatin1();
  const QByteArray bytes = m_codec ? m_codec->encode(latin1) : latin1;
  if (m_socket->state() != QAbstractSocket::ConnectedState || m_socket->write(bytes) != bytes.size()) {
    const LinkError error = lostError(LinkStep::Write);
    hangUp(error);
    throw error;
  }
  // As much as the system takes now; the rest from the event loop.
  m_socket->flush();
  m_unconfirmedBytes += latin1.size();
}

void NetworkPortService::requestDrain() {
  if (m_state != PortState::Open)
    return;  // a loss is told by hungUp(); a closed port has nothing to drain
  Drain drain;
  drain.lineBytes = std::exchange(m_unconfirmedBytes, 0);
  drain.deadline = QDeadlineTimer(m_timeouts.confirm, Qt::PreciseTimer);
  if (confirmation() == Confirmation::TimingMark) {
    send(m_codec->timingMark());
    drain.mark = m_codec->marksAsked();
  }
  m_drain = drain;
  m_drainTimer.start();
}

void NetworkPortService::checkDrain() {
  if (!m_drain)
    return;
  if (!m_drain->onTheLine) {
    const bool confirmed = m_drain->mark > 0 ? m_codec->marksAnswered() >= m_drain->mark : allAcknowledged();
    if (!confirmed) {
      if (m_drain->deadline.hasExpired()) {
        m_drain.reset();
        m_drainTimer.stop();
        emit drainFailed(linkError(LinkStep::Write, LinkFault::NotConfirmed));
      }
      return;
    }
    const auto lineTime =
        std::chrono::nanoseconds(m_drain->lineBytes * kLineBitsPerByte * 1'000'000'000LL / kLineBitRate);
    m_drain->onTheLine = QDeadlineTimer(lineTime, Qt::PreciseTimer);
  }
  if (!m_drain->onTheLine->hasExpired())
    return;
  m_drain.reset();
  m_drainTimer.stop();
  emit drained();
}

void NetworkPortService::checkLink() {
  if (m_state != PortState::Open || !m_answersMarks)
    return;
  if (m_codec->marksAnswered() == m_codec->marksAsked()) {
    m_probeSent.reset();
    if (!m_drain && m_sinceLinkAnswer.elapsed() >= m_timeouts.probeIdle.count()) {
      send(m_codec->timingMark());
      m_probeSent.emplace().start();
    }
    return;
  }
  if (m_drain)
    return;  // the drain's own bound tells
  if (!m_probeSent)
    m_probeSent.emplace().start();
  if (m_probeSent->elapsed() >= m_timeouts.confirm.count())
    hangUp(linkError(LinkStep::Read, LinkFault::LinkSilent));
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
