#include "serial/network_port_service.h"

#include <QMetaObject>
#include <QStringList>

namespace zelqon {

namespace {

// A short read the server sent before closing ("Port already in use" from
// ser2net) says more than any socket error.
constexpr qsizetype kLongestServerWords = 200;
// readAllPending takes at most this many rounds from the system per call, so
// a server that never pauses cannot hold the poll.
constexpr int kReadRounds = 8;

QString settingName(ComPortSetting setting) {
  switch (setting) {
    case ComPortSetting::BaudRate:
      return QStringLiteral("velocidade");
    case ComPortSetting::DataSize:
      return QStringLiteral("bits de dados");
    case ComPortSetting::Parity:
      return QStringLiteral("paridade");
    case ComPortSetting::StopSize:
      return QStringLiteral("bits de parada");
    case ComPortSetting::Control:
      return QStringLiteral("controle de fluxo");
  }
  return {};
}

// Which settings the server did not confirm, and what it said instead.
QString settingsReason(const ComPortNegotiation& negotiation, const ComPortLine& wanted) {
  QStringList parts;
  for (int i = 0; i < kComPortSettingCount; ++i) {
    const auto setting = ComPortSetting(i);
    if (negotiation.answer(setting) == SettingAnswer::Changed)
      parts.append(QStringLiteral("%1 %2 em vez de %3")
                       .arg(settingName(setting))
                       .arg(*negotiation.answered[size_t(i)])
                       .arg(wanted.value(setting)));
    else if (negotiation.answer(setting) == SettingAnswer::Waiting)
      parts.append(QStringLiteral("%1 sem confirmação").arg(settingName(setting)));
  }
  return QStringLiteral("o servidor respondeu: ") + parts.join(QStringLiteral(", "));
}

}  // namespace

NetworkPortService::NetworkPortService(NetworkAddress address, QObject* parent)
    : NetworkPortService(std::move(address), Timeouts{}, parent) {}

NetworkPortService::NetworkPortService(NetworkAddress address, Timeouts timeouts, QObject* parent)
    : PortService(parent), m_address(std::move(address)), m_timeouts(timeouts) {
  m_socket.setParent(this);
  m_socket.setReadBufferSize(kReadBufferSize);
  m_deadline.setParent(this);
  m_deadline.setSingleShot(true);
  connect(&m_socket, &QTcpSocket::connected, this, &NetworkPortService::onConnected);
  connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkPortService::onReadyRead);
  connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkPortService::onSocketError);
  connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkPortService::onDisconnected);
  connect(&m_deadline, &QTimer::timeout, this, &NetworkPortService::onDeadline);
}

NetworkPortService::~NetworkPortService() {
  m_socket.disconnect(this);
  if (m_state != PortState::Closed)
    finishClose();
}

LinkError NetworkPortService::linkError(LinkStep step, LinkFault fault, const QString& reason) const {
  return LinkError(step, fault, displayName(), reason);
}

LinkError NetworkPortService::lostError(LinkStep step) const {
  return linkError(step, LinkFault::ConnectionLost, m_socket.errorString());
}

void NetworkPortService::setState(PortState state) {
  if (m_state == state)
    return;
  m_state = state;
  emit stateChanged(state);
}

OpenProgress NetworkPortService::open() {
  if (m_state == PortState::Open)
    return OpenProgress::Open;
  if (m_state != PortState::Closed)
    return OpenProgress::Pending;
  ++m_attempt;
  m_codec.reset();
  m_received.clear();
  setState(PortState::Connecting);
  m_deadline.start(m_timeouts.connect);
  m_socket.connectToHost(m_address.host, m_address.port);
  return OpenProgress::Pending;
}

void NetworkPortService::onConnected() {
  if (m_state != PortState::Connecting)
    return;
  m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  if (!usesRfc2217()) {
    m_deadline.stop();
    setState(PortState::Open);
    return;
  }
  m_codec.emplace();
  m_socket.write(m_codec->start());
  m_socket.flush();
  m_deadline.start(m_timeouts.negotiate);
  setState(PortState::Negotiating);
  // The server may have spoken first.
  if (m_socket.bytesAvailable() > 0)
    onReadyRead();
}

void NetworkPortService::onReadyRead() {
  // Once open, bytes wait in the socket for readAllPending: the poll decides
  // when they are read, and the read buffer's limit holds a flood back.
  if (m_state != PortState::Negotiating)
    return;
  takeIn(kReadBufferSize);
  checkNegotiation();
}

void NetworkPortService::takeIn(qsizetype limit) {
  const QByteArray bytes = m_socket.read(std::max<qsizetype>(limit - m_received.size(), 0));
  if (bytes.isEmpty())
    return;
  if (!m_codec) {
    m_received += bytes;
    return;
  }
  m_received += m_codec->decode(bytes);
  sendReplies();
}

void NetworkPortService::sendReplies() {
  const QByteArray replies = m_codec->takeReplies();
  if (replies.isEmpty() || m_socket.state() != QAbstractSocket::ConnectedState)
    return;
  m_socket.write(replies);
  m_socket.flush();
}

void NetworkPortService::checkNegotiation() {
  const ComPortNegotiation& negotiation = m_codec->negotiation();
  if (negotiation.option == OptionAnswer::Refused) {
    failOpen(LinkFault::NotRfc2217, QStringLiteral("o servidor recusou a opção COM-PORT (RFC 2217)"));
  } else if (negotiation.option == OptionAnswer::Accepted && negotiation.allAnswered()) {
    if (negotiation.allConfirmed()) {
      m_deadline.stop();
      setState(PortState::Open);
    } else {
      failOpen(LinkFault::SettingsRefused, settingsReason(negotiation, ComPortLine{}));
    }
  }
}

void NetworkPortService::onDeadline() {
  if (m_state == PortState::Connecting) {
    failOpen(LinkFault::NoAnswer,
             QStringLiteral("sem conexão em %1 s").arg(double(m_timeouts.connect.count()) / 1000.0));
  } else if (m_state == PortState::Negotiating) {
    if (m_codec->negotiation().option == OptionAnswer::Accepted)
      failOpen(LinkFault::SettingsRefused, settingsReason(m_codec->negotiation(), ComPortLine{}));
    else
      failOpen(LinkFault::NotRfc2217, QStringLiteral("sem resposta à opção COM-PORT (RFC 2217) em %1 s")
                                          .arg(double(m_timeouts.negotiate.count()) / 1000.0));
  }
}

void NetworkPortService::onSocketError(QAbstractSocket::SocketError error) {
  // Our own zero-wait reads end in a timeout; the deadline times an open.
  if (error == QAbstractSocket::SocketTimeoutError)
    return;
  switch (m_state) {
    case PortState::Connecting:
      switch (error) {
        case QAbstractSocket::HostNotFoundError:
          failOpen(LinkFault::HostNotFound, m_socket.errorString());
          break;
        case QAbstractSocket::ConnectionRefusedError:
          failOpen(LinkFault::ConnectionRefused, m_socket.errorString());
          break;
        case QAbstractSocket::RemoteHostClosedError:
          failOpen(LinkFault::ClosedAtOnce, m_socket.errorString());
          break;
        default:
          failOpen(LinkFault::Other, m_socket.errorString());
          break;
      }
      break;
    case PortState::Negotiating:
      if (error == QAbstractSocket::RemoteHostClosedError)
        onDisconnected();
      else
        failOpen(LinkFault::Other, m_socket.errorString());
      break;
    case PortState::Open:
      if (m_socket.state() != QAbstractSocket::ConnectedState)
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
    failOpen(LinkFault::ClosedAtOnce, words.isEmpty() ? m_socket.errorString() : words);
  } else if (m_state == PortState::Open) {
    // Not through setState: still open until the loss is told, once, from
    // the event loop or by the call of ours that meets it first.
    m_state = PortState::HungUp;
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
  const LinkError error = linkError(LinkStep::Open, fault, reason);
  dropConnection();
  emit stateChanged(PortState::Closed);
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

void NetworkPortService::hangUp() {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    return;
  const LinkError error = lostError(LinkStep::Read);
  dropConnection();
  emit stateChanged(PortState::Closed);
  emit hungUp(error);
}

void NetworkPortService::hangUpIfLost() {
  // Queued: a new connection made in between is not the one that was lost.
  if (m_state == PortState::HungUp)
    hangUp();
}

void NetworkPortService::dropConnection() {
  m_deadline.stop();
  // Closed first: whatever the socket signals while it goes is no news.
  m_state = PortState::Closed;
  m_socket.abort();
  m_codec.reset();
  m_received.clear();
}

void NetworkPortService::close() {
  ++m_attempt;
  if (m_state == PortState::Closed)
    return;
  finishClose();
  emit stateChanged(PortState::Closed);
}

void NetworkPortService::finishClose() {
  if (m_state == PortState::Open && m_socket.state() == QAbstractSocket::ConnectedState) {
    // Hand over whatever a write left in Qt's buffer before the socket goes.
    while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(int(m_timeouts.write.count()))) {
    }
    // Unread bytes at close make the system reset the connection, which
    // may throw away what it has not sent yet.
    m_socket.readAll();
    m_socket.disconnectFromHost();
  }
  dropConnection();
}

void NetworkPortService::writeText(const QString& text) {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(LinkStep::Write, LinkFault::NotOpen);
  const QByteArray latin1 = text.toLatin1();
  const QByteArray bytes = m_codec ? m_codec->encode(latin1) : latin1;
  const auto lost = [this] {
    const LinkError error = lostError(LinkStep::Write);
    hangUp();
    return error;
  };
  if (m_state == PortState::HungUp || m_socket.state() != QAbstractSocket::ConnectedState ||
      m_socket.write(bytes) != bytes.size())
    throw lost();
  // Written in one piece and handed to the system now, so that a close or a
  // long pause right after cannot hold the bytes back.
  m_socket.flush();
  while (m_socket.bytesToWrite() > 0) {
    if (!m_socket.waitForBytesWritten(int(m_timeouts.write.count()))) {
      if (m_state == PortState::HungUp || m_socket.state() != QAbstractSocket::ConnectedState)
        throw lost();
      throw linkError(LinkStep::Write, LinkFault::Timeout, m_socket.errorString());
    }
  }
  if (m_state == PortState::HungUp)
    throw lost();
}

QString NetworkPortService::readAllPending() {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(LinkStep::Read, LinkFault::NotOpen);
  // Take in what the system holds now: without a turn of the event loop
  // since it arrived, the socket would not have seen it yet.
  for (int round = 0; round < kReadRounds; ++round) {
    takeIn(kReadRounds * kReadBufferSize);
    if (m_state == PortState::HungUp || !m_socket.waitForReadyRead(0))
      break;
  }
  takeIn(kReadRounds * kReadBufferSize);
  const QByteArray received = std::exchange(m_received, {});
  // What came before a loss is read first; the loss is told by the next
  // read, or from the event loop.
  if (m_state == PortState::HungUp && received.isEmpty()) {
    const LinkError error = lostError(LinkStep::Read);
    hangUp();
    throw error;
  }
  return QString::fromLatin1(received);
}

}  // namespace zelqon
